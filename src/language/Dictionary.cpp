#include "language/Dictionary.h"

#include <QtGlobal>

namespace language {

namespace {

struct RawEntry {
    const char* baseText;
    const char* variable;
    Group group;
};

// The eleven quotation elements: base text and element code, in the order of the quotation.
struct QuotationElement {
    const char* baseText;
    const char* code;
};

constexpr QuotationElement kQuotationElements[] = {
    {"Prezzo lordo", "PREZZO"},
    {"Sconto 1%", "SC1PERC"},
    {"Sconto 2%", "SC2PERC"},
    {"Sconto 3%", "SC3PERC"},
    {"Sconto 4%", "SC4PERC"},
    {"Sconto 5%", "SC5PERC"},
    {"Sconto 6%", "SC6PERC"},
    {"Sconto importo", "SCIMP"},
    {"Maggiorazione 1%", "MAG1PERC"},
    {"Maggiorazione 2%", "MAG2PERC"},
    {"Maggiorazione importo", "MAGIMP"},
};

// Entries 34 to 139, in table order. Base texts are UTF-8 and spelt exactly as the labels
// must read (spaces, apostrophes, accents and full stops included).
constexpr RawEntry kFieldEntries[] = {
    // Document
    {"Ditta", "@DITTA", Group::Document},                                 // 34
    {"Sede", "@DO11_CODSEDE_CG31", Group::Document},                      // 35
    {"Divisione (di riga)", "@DO30_ID_CO1A", Group::Document},            // 36
    {"Tipo documento", "@DO11_TIPODOC", Group::Document},                 // 37
    {"Sottotipo documento", "@DO11_STIPODOC", Group::Document},           // 38
    {"Codice documento", "@DO11_DOCUM_MG36", Group::Document},            // 39
    {"Sezionale", "@DO11_SEZDOC", Group::Document},                       // 40
    {"Data riferimento", "@DATARIF", Group::Document},                    // 41
    {"Deposito (di riga)", "@DO30_CODDEP_MG58", Group::Document},         // 42
    {"Condizione di pagamento", "@DO11_CODPAG_CG62", Group::Document},    // 43
    {"Tipo spedizione", "@DO14_CODTIPOSPED_MG93", Group::Document},       // 44
    {"Porto", "@DO14_CODPORTO_MG91", Group::Document},                    // 45
    {"Imballo", "@DO14_CODIMBALLO_MG95", Group::Document},                // 46
    {"Aspetto dei beni", "@DO14_CODASPETTO_MG99", Group::Document},       // 47
    {"Causale del trasporto", "@DO14_CODCAUTRASP_MG13", Group::Document}, // 48
    {"Vettore 1", "@DO14_VETTORE1_MG14", Group::Document},                // 49
    {"Vettore 2", "@DO14_VETTORE2_MG14", Group::Document},                // 50
    {"Colli (di riga)", "@COLLI", Group::Document},                       // 51
    {"Peso netto (di riga)", "@PESONETTO", Group::Document},              // 52
    {"Peso lordo (di riga)", "@PESOLORDO", Group::Document},              // 53
    {"Volume (di riga)", "@VOLUME", Group::Document},                     // 54
    {"Quantita' 1 (di riga)", "@QTA1", Group::Document},                  // 55
    {"Quantita' 2 (di riga)", "@QTA2", Group::Document},                  // 56
    {"Agente (di testata)", "@DO29_AGENTE_MG17", Group::Document},        // 57
    // Customer or supplier
    {"Codice cli/for", "@DO11_CLIFOR_CG44", Group::CustomerSupplier},             // 58
    {"Codice cli/for fatturazione", "@DO11_CLIFORFATT", Group::CustomerSupplier}, // 59
    {"Stato estero cli/for", "@CG16_CODICE_CG07", Group::CustomerSupplier},       // 60
    {"Provincia cli/for", "@CG16_PROV", Group::CustomerSupplier},                 // 61
    {"Macrocategoria cli/for", "@MG19_MACROCAT", Group::CustomerSupplier},        // 62
    {"Categoria cli/for", "@MG19_CATEG", Group::CustomerSupplier},                // 63
    {"Sottocategoria cli/for", "@MG19_SOTTOCAT", Group::CustomerSupplier},        // 64
    {"Macroarea cli/for", "@MG19_MACROAREA", Group::CustomerSupplier},            // 65
    {"Area cli/for", "@MG19_AREA", Group::CustomerSupplier},                      // 66
    {"Zona cli/for", "@MG19_ZONA", Group::CustomerSupplier},                      // 67
    {"Raggr. cli/for 1", "@MG19_RAGGRCF1", Group::CustomerSupplier},              // 68
    {"Raggr. cli/for 2", "@MG19_RAGGRCF2", Group::CustomerSupplier},              // 69
    {"Raggr. cli/for 3", "@MG19_RAGGCRF3", Group::CustomerSupplier},              // 70 (RAGGCRF3 as declared)
    {"Intermedio cli/for", "@CG44_INTERMEDIO_CG40", Group::CustomerSupplier},     // 71
    {"Agente cli/for", "@CG44_AGENTE_MG17", Group::CustomerSupplier},             // 72
    {"Area Nielsen cli/for", "@MG19_AREANIELSEN_MG0E", Group::CustomerSupplier},  // 73
    {"Destinatario cli/for", "@DO11_CLIFORDEST", Group::CustomerSupplier},        // 74
    {"Cli/for documento", "@CLIFORDOC", Group::CustomerSupplier},                 // 75
    {"ID Nodo distinta cli/for", "@IDLEGAMEDISTINTA", Group::CustomerSupplier},   // 76
    // Item
    {"Codice articolo", "@DO30_CODART_MG66", Group::Item},         // 77
    {"Famiglia", "@MG66_FAM_MG53", Group::Item},                   // 78
    {"Sottofamiglia", "@MG66_SFAM_MG54", Group::Item},             // 79
    {"Gruppo", "@MG66_GRUPPO_MG55", Group::Item},                  // 80
    {"Sottogruppo", "@MG66_SGRUPPO_MG56", Group::Item},            // 81
    {"Gruppo fiscale", "@MG66_GRUPFIS_MG61", Group::Item},         // 82
    {"Marca", "@MG66_MARCA_MG64", Group::Item},                    // 83
    {"Gruppo stat. 1", "@MG66_GRUSTAT1_MG74", Group::Item},        // 84
    {"Gruppo stat. 2", "@MG66_GRUSTAT2_MG75", Group::Item},        // 85
    {"Gruppo stat. 3", "@MG66_GRUSTAT3_MG76", Group::Item},        // 86
    {"Gruppo stat. 4", "@MG66_GRUSTAT4_MG77", Group::Item},        // 87
    {"Classe sconto", "@MG66_CLASC_MG63", Group::Item},            // 88
    {"Confezione (di riga)", "@DO39_CODCONFEZ_MG96", Group::Item}, // 89
    {"Stato", "@MG66_INDSTATO_MG6W", Group::Item},                 // 90
    // Document totals
    {"Totale colli", "@DO14_TOTCOLLI", Group::DocumentTotals},                     // 91
    {"Peso lordo totale", "@DO14_PESOLORDO", Group::DocumentTotals},               // 92
    {"Peso netto totale", "@DO14_PESONETTO", Group::DocumentTotals},               // 93
    {"Volume totale", "@DO14_VOLUME", Group::DocumentTotals},                      // 94
    {"Totale merce 1", "@DO13_TOTMERCE1", Group::DocumentTotals},                  // 95
    {"Totale merce 1 val.", "@DO13_TOTMERCE1_VAL", Group::DocumentTotals},         // 96
    {"Totale merce 2", "@DO13_TOTMERCE2", Group::DocumentTotals},                  // 97
    {"Totale merce 2 val.", "@DO13_TOTMERCE2_VAL", Group::DocumentTotals},         // 98
    {"Totale merce 3", "@DO13_TOTMERCE3", Group::DocumentTotals},                  // 99
    {"Totale merce 3 val.", "@DO13_TOTMERCE3_VAL", Group::DocumentTotals},         // 100
    {"Totale merce 4", "@DO13_TOTMERCE4", Group::DocumentTotals},                  // 101
    {"Totale merce 4 val.", "@DO13_TOTMERCE4_VAL", Group::DocumentTotals},         // 102
    {"Totale costo", "@DO13_TOTCOSTO", Group::DocumentTotals},                     // 103
    {"Totale costo val.", "@DO13_TOTCOSTO_VAL", Group::DocumentTotals},            // 104
    {"Totale lordo merce", "@DO13_TOTLORDOMERCE", Group::DocumentTotals},          // 105
    {"Totale lordo merce val.", "@DO13_TOTLORDOMERCE_VAL", Group::DocumentTotals}, // 106
    {"Totale netto merce", "@DO13_TOTNETTOMERCE", Group::DocumentTotals},          // 107
    {"Totale netto merce val.", "@DO13_TOTNETTOMERCE_VAL", Group::DocumentTotals}, // 108
    {"Totale imponibile", "@DO13_TOTIMPONIBILE", Group::DocumentTotals},           // 109
    {"Totale imponibile val.", "@DO13_TOTIMPONIBILE_VAL", Group::DocumentTotals},  // 110
    {"Totale iva", "@DO13_TOTIVA", Group::DocumentTotals},                         // 111
    {"Totale iva val.", "@DO13_TOTIVA_VAL", Group::DocumentTotals},                // 112
    {"Totale a pagare", "@DO13_TOTAPAGARE", Group::DocumentTotals},                // 113
    {"Totale a pagare val.", "@DO13_TOTAPAGARE_VAL", Group::DocumentTotals},       // 114
    {"Totale documento", "@DO13_TOTDOCUMENTO", Group::DocumentTotals},             // 115
    {"Totale documento val.", "@DO13_TOTDOCUMENTO_VAL", Group::DocumentTotals},    // 116
    // Project
    {"Progetto", "@DO41_CODPROGETTO", Group::Project},       // 117
    {"Sottoprogetto", "@DO41_CODSPROGETTO", Group::Project}, // 118
    {"Commessa", "@DO41_CODCOMMESSA", Group::Project},       // 119
    {"Sottocommessa", "@DO41_CODSCOMMESSA", Group::Project}, // 120
    {"Nodo", "@DO41_NODO_PD0C", Group::Project},             // 121
    {"Attività", "@DO41_ATTIVITA_PD0D", Group::Project},     // 122
    {"Spesa", "@DO41_SPESA_PD64", Group::Project},           // 123
    {"Tipo progetto", "@PD68_TIPO_PD1D", Group::Project},    // 124
    {"Stato progetto", "@PD68_STATO_PD1E", Group::Project},  // 125
    {"Classe A", "@PD68_CLASSEA_PD1F", Group::Project},      // 126
    {"Classe B", "@PD68_CLASSEB_PD1G", Group::Project},      // 127
    {"Classe C", "@PD68_CLASSEC_PD1H", Group::Project},      // 128
    // Production
    {"Tipo prodotto", "@PD18_TIPOPROD_PD20", Group::Production},       // 129
    {"Provenienza", "@PD18_CODPROV_PD21", Group::Production},          // 130
    {"Reparto", "@PD18_CODREP_PD07", Group::Production},               // 131
    {"Fase (di dettaglio)", "@DO46_CODFASE", Group::Production},       // 132
    {"Reparto (di dettaglio)", "@DO46_CODREPARTO", Group::Production}, // 133
    {"Macchina", "@DO46_MACCHINAALT", Group::Production},              // 134
    {"Attrezzo", "@DO46_ATTREZZO_PD26", Group::Production},            // 135
    {"Kit attrezzo", "@DO46_KITATT_PD56", Group::Production},          // 136
    {"Qualifica", "@PD2B_CODQUAL_PD2A", Group::Production},            // 137
    // Configurator: the labels are "[Modello]" and "[Opzione]" (see Dictionary::label)
    {"Modello", "@CM06_CODART_MG66", Group::Configurator},  // 138
    {"Opzione", "@DO30_OPZIONE_MG5E", Group::Configurator}, // 139
};

QList<Entry> buildEntries() {
    QList<Entry> list;
    list.reserve(Dictionary::EntryCount);
    struct Quotation {
        const char* suffix;
        const char* prefix;
        Group group;
    };
    const Quotation quotations[] = {{"", "@OUT", Group::QuotationOut},
                                    {" - IN", "@IN", Group::QuotationIn},
                                    {" - CURR", "@ATT", Group::QuotationCurrent}};
    for (const Quotation& q : quotations) {
        // The suffix is shared by the entries of the group; texts are converted once.
        const QString suffix = QString::fromUtf8(q.suffix);
        const QString prefix = QString::fromUtf8(q.prefix);
        for (const QuotationElement& e : kQuotationElements) {
            Entry entry;
            entry.number = static_cast<int>(list.size()) + 1;
            entry.baseText = QString::fromUtf8(e.baseText);
            entry.suffix = suffix;
            entry.variable = prefix + QLatin1StringView(e.code);
            entry.group = q.group;
            list.append(entry);
        }
    }
    for (const RawEntry& r : kFieldEntries) {
        Entry entry;
        entry.number = static_cast<int>(list.size()) + 1;
        entry.baseText = QString::fromUtf8(r.baseText);
        entry.variable = QString::fromUtf8(r.variable);
        entry.group = r.group;
        list.append(entry);
    }
    Q_ASSERT(list.size() == Dictionary::EntryCount);
    return list;
}

} // namespace

const QList<Entry>& Dictionary::entries() {
    static const QList<Entry> list = buildEntries();
    return list;
}

const Entry& Dictionary::entry(int number) {
    Q_ASSERT(number >= 1 && number <= EntryCount);
    return entries().at(number - 1);
}

const QList<PrefixPair>& Dictionary::prefixPairs() {
    static const QList<PrefixPair> pairs = {{66, 73},   {95, 96},   {97, 98},   {99, 100},
                                            {101, 102}, {103, 104}, {105, 106}, {107, 108},
                                            {109, 110}, {111, 112}, {113, 114}, {115, 116}};
    return pairs;
}

QStringList Dictionary::quotationBaseTexts() {
    QStringList texts;
    for (const QuotationElement& e : kQuotationElements)
        texts.append(QString::fromUtf8(e.baseText));
    return texts;
}

QStringList Dictionary::quotationElementCodes() {
    QStringList codes;
    for (const QuotationElement& e : kQuotationElements)
        codes.append(QString::fromUtf8(e.code));
    return codes;
}

QString Dictionary::labelFromTranslation(const Entry& entry, const QString& translatedBaseText) {
    QString label;
    label.reserve(translatedBaseText.size() + entry.suffix.size() + 2);
    label.append(QLatin1Char('[')).append(translatedBaseText).append(entry.suffix).append(QLatin1Char(']'));
    return label;
}

QString Dictionary::label(const Entry& entry, Direction direction, const TranslateFn& translate) {
    if (entry.number == OptionEntry)
        return QStringLiteral("[Opzione]");
    if (entry.number == ModelEntry && direction == Direction::ToSql)
        return QStringLiteral("[Modello]");
    return labelFromTranslation(entry, translate(entry.baseText));
}

QString Dictionary::label(int number, Direction direction, const TranslateFn& translate) {
    return label(entry(number), direction, translate);
}

} // namespace language
