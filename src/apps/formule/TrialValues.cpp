#include "TrialValues.h"

#include "Command.h"
#include "Help.h"

namespace formule_cli {

void addTrialRecordOptions(CommandLine& parser) {
    parser.addOption(QCommandLineOption(
        ContextOption, QStringLiteral("Il contesto di modifica: 0 condizione, 1 listino, 2 manutenzione."),
        QStringLiteral("N")));
    parser.addOption(QCommandLineOption(IdOption, QStringLiteral("L'id del record."), QStringLiteral("ID")));
}

std::optional<int> contextOf(const QCommandLineParser& parser) {
    const auto context = parseContext(parser.value(ContextOption));
    if (!context)
        throw Usage{tx(QStringLiteral("--context deve essere 0, 1 o 2, non \"%1\""))
                        .arg(parser.value(ContextOption))};
    return context;
}

qint64 idOf(const QCommandLineParser& parser) {
    const WholeNumber id = parseWholeNumber(parser.value(IdOption));
    if (!id.error.isEmpty())
        throw Usage{tx(QStringLiteral("--id vuole l'id del record: %1")).arg(id.error)};
    return id.value;
}

void addTrialValueOptions(CommandLine& parser) {
    parser.addOption(QCommandLineOption(
        SetOption,
        QStringLiteral(
            "Valore di un elemento: la sua etichetta senza parentesi o la sua variabile (@ATTPREZZO). "
            "Numeri e date come li scrive la lingua (--lang): 1.000,5 e 31/12/2026 in italiano, "
            "1,000.5 e 12/31/2026 in inglese; -12.5 e 2026-12-31 in entrambe."),
        QStringLiteral("NAME=VALUE")));
    parser.addOption(QCommandLineOption(CategoryOption, QStringLiteral("Valore di una categoria, per id."),
                                        QStringLiteral("ID=VALUE")));
    parser.addOption(QCommandLineOption(VariantOption, QStringLiteral("Valore di una variante, per codice."),
                                        QStringLiteral("CODE=VALUE")));
}

std::pair<QString, QString> assignment(const QString& text, const QString& option) {
    const qsizetype eq = text.indexOf(u'=');
    if (eq <= 0)
        throw Usage{tx(QStringLiteral("--%1 vuole NOME=VALORE, non \"%2\"")).arg(option, text)};
    return {text.left(eq).trimmed(), text.mid(eq + 1)};
}

QList<check::TrialInput> trialValues(const QCommandLineParser& parser,
                                     const check::TrialTranslateFn& translate) {
    QList<check::TrialInput> out;
    for (const QString& value : parser.values(SetOption)) {
        const auto [name, text] = assignment(value, SetOption);
        const std::optional<check::TrialElement> element = check::elementNamed(name, translate);
        if (!element)
            throw Usage{tx(QStringLiteral(
                               "elemento sconosciuto \"%1\" (un'etichetta senza parentesi o una variabile)"))
                            .arg(name)};
        out.append({*element, text});
    }
    for (const QString& value : parser.values(CategoryOption)) {
        const auto [id, text] = assignment(value, CategoryOption);
        const WholeNumber number = parseWholeNumber(id);
        if (!number.error.isEmpty())
            throw Usage{
                tx(QStringLiteral("--category vuole l'id della categoria, un numero intero, non \"%1\""))
                    .arg(id)};
        out.append({{check::TrialElement::Kind::Category, QString::number(number.value), {}, false}, text});
    }
    for (const QString& value : parser.values(VariantOption)) {
        const auto [code, text] = assignment(value, VariantOption);
        out.append({{check::TrialElement::Kind::Variant, code, {}, false}, text});
    }
    return out;
}

} // namespace formule_cli
