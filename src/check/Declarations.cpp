#include "check/Declarations.h"

#include <array>

namespace check {

namespace {

struct Declaration {
    const char* variable;
    const char* type;
};

// The eleven quotation elements, in the order of the token dictionary.
constexpr std::array<Declaration, 11> QuotationElements{{
    {"PREZZO", "decimal(17,6)"},
    {"SC1PERC", "decimal(6,3)"},
    {"SC2PERC", "decimal(6,3)"},
    {"SC3PERC", "decimal(6,3)"},
    {"SC4PERC", "decimal(6,3)"},
    {"SC5PERC", "decimal(6,3)"},
    {"SC6PERC", "decimal(6,3)"},
    {"SCIMP", "decimal(14,6)"},
    {"MAG1PERC", "decimal(6,3)"},
    {"MAG2PERC", "decimal(6,3)"},
    {"MAGIMP", "decimal(14,6)"},
}};

// The quotation prefixes: the computed quotation, the incoming one and the current one.
constexpr std::array<const char*, 3> QuotationPrefixes{{"@OUT", "@IN", "@ATT"}};

// Lines 34 to 138, in block order (not the order of the token dictionary).
constexpr std::array<Declaration, 105> FieldDeclarations{{
    {"@DITTA", "DECIMAL(5,0)"},
    {"@DO11_CODSEDE_CG31", "DECIMAL(5,0)"},
    {"@DO30_ID_CO1A", "BIGINT"},
    {"@DO11_TIPODOC", "DECIMAL(2,0)"},
    {"@DO11_STIPODOC", "DECIMAL(2,0)"},
    {"@DO11_SEZDOC", "CHAR(2)"},
    {"@DATARIF", "DATETIME"},
    {"@DO30_CODDEP_MG58", "CHAR(2)"},
    {"@DO11_CODPAG_CG62", "CHAR(6)"},
    {"@DO14_CODTIPOSPED_MG93", "CHAR(3)"},
    {"@DO14_CODPORTO_MG91", "CHAR(3)"},
    {"@DO14_CODIMBALLO_MG95", "CHAR(3)"},
    {"@DO14_CODASPETTO_MG99", "CHAR(3)"},
    {"@DO14_CODCAUTRASP_MG13", "CHAR(3)"},
    {"@DO14_VETTORE1_MG14", "CHAR(3)"},
    {"@DO14_VETTORE2_MG14", "CHAR(3)"},
    {"@COLLI", "DECIMAL(10,3)"},
    {"@PESONETTO", "DECIMAL(14,5)"},
    {"@PESOLORDO", "DECIMAL(14,5)"},
    {"@VOLUME", "DECIMAL(14,5)"},
    {"@QTA1", "DECIMAL(14,3)"},
    {"@QTA2", "DECIMAL(14,3)"},
    {"@DO29_AGENTE_MG17", "NCHAR(20)"},
    {"@DO11_CLIFOR_CG44", "DECIMAL(6,0)"},
    {"@DO11_CLIFORFATT", "DECIMAL(6,0)"},
    {"@CG16_CODICE_CG07", "DECIMAL(4,0)"},
    {"@CG16_PROV", "CHAR(2)"},
    {"@MG19_MACROCAT", "CHAR(3)"},
    {"@MG19_CATEG", "CHAR(3)"},
    {"@MG19_SOTTOCAT", "CHAR(3)"},
    {"@MG19_MACROAREA", "CHAR(3)"},
    {"@MG19_AREA", "CHAR(3)"},
    {"@MG19_ZONA", "CHAR(3)"},
    {"@MG19_RAGGRCF1", "CHAR(3)"},
    {"@MG19_RAGGRCF2", "CHAR(3)"},
    {"@MG19_RAGGCRF3", "CHAR(3)"}, // C, R, F: spelt as the token dictionary spells it
    {"@CG44_INTERMEDIO_CG40", "DECIMAL(2,0)"},
    {"@CG44_AGENTE_MG17", "NCHAR(20)"},
    {"@MG19_AREANIELSEN_MG0E", "CHAR(15)"},
    {"@DO11_CLIFORDEST", "CHAR(4)"},
    {"@DO30_CODART_MG66", "CHAR(25)"},
    {"@MG66_FAM_MG53", "CHAR(4)"},
    {"@MG66_SFAM_MG54", "CHAR(4)"},
    {"@MG66_GRUPPO_MG55", "CHAR(4)"},
    {"@MG66_SGRUPPO_MG56", "CHAR(4)"},
    {"@MG66_GRUPFIS_MG61", "CHAR(12)"},
    {"@MG66_MARCA_MG64", "CHAR(12)"},
    {"@MG66_GRUSTAT1_MG74", "CHAR(4)"},
    {"@MG66_GRUSTAT2_MG75", "CHAR(4)"},
    {"@MG66_GRUSTAT3_MG76", "CHAR(4)"},
    {"@MG66_GRUSTAT4_MG77", "CHAR(4)"},
    {"@MG66_CLASC_MG63", "CHAR(3)"},
    {"@DO39_CODCONFEZ_MG96", "CHAR(12)"},
    {"@MG66_INDSTATO_MG6W", "DECIMAL(2,0)"},
    {"@DO14_TOTCOLLI", "DECIMAL(10,3)"},
    {"@DO14_PESOLORDO", "DECIMAL(14,5)"},
    {"@DO14_PESONETTO", "DECIMAL(14,5)"},
    {"@DO14_VOLUME", "DECIMAL(14,5)"},
    {"@DO13_TOTMERCE1", "DECIMAL(15,2)"},
    {"@DO13_TOTMERCE1_VAL", "DECIMAL(15,2)"},
    {"@DO13_TOTMERCE2", "DECIMAL(15,2)"},
    {"@DO13_TOTMERCE2_VAL", "DECIMAL(15,2)"},
    {"@DO13_TOTMERCE3", "DECIMAL(15,2)"},
    {"@DO13_TOTMERCE3_VAL", "DECIMAL(15,2)"},
    {"@DO13_TOTMERCE4", "DECIMAL(15,2)"},
    {"@DO13_TOTMERCE4_VAL", "DECIMAL(15,2)"},
    {"@DO13_TOTCOSTO", "DECIMAL(15,2)"},
    {"@DO13_TOTCOSTO_VAL", "DECIMAL(15,2)"},
    {"@DO13_TOTLORDOMERCE", "DECIMAL(15,2)"},
    {"@DO13_TOTLORDOMERCE_VAL", "DECIMAL(15,2)"},
    {"@DO13_TOTNETTOMERCE", "DECIMAL(15,2)"},
    {"@DO13_TOTNETTOMERCE_VAL", "DECIMAL(15,2)"},
    {"@DO13_TOTIMPONIBILE", "DECIMAL(15,2)"},
    {"@DO13_TOTIMPONIBILE_VAL", "DECIMAL(15,2)"},
    {"@DO13_TOTIVA", "DECIMAL(15,2)"},
    {"@DO13_TOTIVA_VAL", "DECIMAL(15,2)"},
    {"@DO13_TOTAPAGARE", "DECIMAL(15,2)"},
    {"@DO13_TOTAPAGARE_VAL", "DECIMAL(15,2)"},
    {"@DO13_TOTDOCUMENTO", "DECIMAL(15,2)"},
    {"@DO13_TOTDOCUMENTO_VAL", "DECIMAL(15,2)"},
    {"@DO41_CODPROGETTO", "CHAR(25)"},
    {"@DO41_CODSPROGETTO", "DECIMAL(4,0)"},
    {"@DO41_CODCOMMESSA", "CHAR(25)"},
    {"@DO41_CODSCOMMESSA", "DECIMAL(4,0)"},
    {"@DO41_NODO_PD0C", "CHAR(25)"},
    {"@DO41_ATTIVITA_PD0D", "CHAR(25)"},
    {"@DO41_SPESA_PD64", "CHAR(25)"},
    {"@PD68_TIPO_PD1D", "CHAR(10)"},
    {"@PD68_STATO_PD1E", "CHAR(10)"},
    {"@PD68_CLASSEA_PD1F", "CHAR(10)"},
    {"@PD68_CLASSEB_PD1G", "CHAR(10)"},
    {"@PD68_CLASSEC_PD1H", "CHAR(10)"},
    {"@PD18_TIPOPROD_PD20", "CHAR(2)"},
    {"@PD18_CODPROV_PD21", "CHAR(2)"},
    {"@PD18_CODREP_PD07", "CHAR(5)"},
    {"@DO46_CODFASE", "DECIMAL(5,0)"},
    {"@DO46_CODREPARTO", "CHAR(5)"},
    {"@DO46_MACCHINAALT", "CHAR(20)"},
    {"@DO46_ATTREZZO_PD26", "CHAR(25)"},
    {"@DO46_KITATT_PD56", "CHAR(20)"},
    {"@PD2B_CODQUAL_PD2A", "CHAR(5)"},
    {"@CM06_CODART_MG66", "CHAR(25)"},
    {"@CLIFORDOC", "DECIMAL(6,0)"},
    {"@IDLEGAMEDISTINTA", "DECIMAL(19,0)"},
    {"@DO11_DOCUM_MG36", "CHAR(14)"},
}};

// The configurator option, declared after the block (see OptionDeclaration()).
constexpr Declaration Option{"@DO30_OPZIONE_MG5E", "CHAR(20)"};

const QString LineEnd = QStringLiteral("\r\n");

// "declare <variable>" padded with blanks so that "AS <type>" starts in column 47.
QString upperCaseLine(const char* variable, const char* type) {
    return (QStringLiteral("declare ") + QLatin1String(variable))
               .leftJustified(DeclarationTypeColumn - 1, u' ') +
           QStringLiteral("AS ") + QLatin1String(type) + LineEnd;
}

// The block is the same text every time: it is built once, and every caller shares it.
QString buildBlock() {
    QString block;
    block.reserve(7200);
    for (const char* prefix : QuotationPrefixes) {
        for (const Declaration& element : QuotationElements) {
            block += QStringLiteral("declare ") + QLatin1String(prefix) + QLatin1String(element.variable) +
                     QStringLiteral(" as ") + QLatin1String(element.type) + QStringLiteral(" ") + LineEnd;
        }
    }
    for (const Declaration& field : FieldDeclarations)
        block += upperCaseLine(field.variable, field.type);
    return block;
}

} // namespace

QString BuildDeclarations() {
    static const QString block = buildBlock();
    return block;
}

QString OptionDeclaration() {
    static const QString line = upperCaseLine(Option.variable, Option.type);
    return line;
}

QString CheckDeclarations() {
    static const QString text = BuildDeclarations() + OptionDeclaration();
    return text;
}

QString ProductionDeclarations() {
    static const QString text = CheckDeclarations() + upperCaseLine("@CM01_IDCATEGORIA", "XML") +
                                upperCaseLine("@MG5F_CODICEVAR", "XML");
    return text;
}

const QList<DeclaredVariable>& declaredVariables() {
    static const QList<DeclaredVariable> variables = [] {
        QList<DeclaredVariable> all;
        for (const char* prefix : QuotationPrefixes)
            for (const Declaration& element : QuotationElements)
                all.append(
                    {QLatin1String(prefix) + QLatin1String(element.variable), QLatin1String(element.type)});
        for (const Declaration& field : FieldDeclarations)
            all.append({QLatin1String(field.variable), QLatin1String(field.type)});
        all.append({QLatin1String(Option.variable), QLatin1String(Option.type)});
        return all;
    }();
    return variables;
}

} // namespace check
