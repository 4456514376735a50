#include "check/ServerMessageTexts.h"

#include "language/Dictionary.h"
#include "language/PositionMap.h"
#include "tsql/base/Messages.h"

#include <QRegularExpression>

namespace check {

namespace {

// The explanations, by message number. The numbers are those a formula's check or trial run
// meets most: syntax, names, types and conversions, arithmetic, sub-queries, limits.
const QList<MessageExplanation> Table = {
    {102, "Sintassi non corretta vicino a '%1'."},
    {105, "Testo non chiuso: manca l'apice finale dopo '%1'."},
    {109, "L'istruzione INSERT elenca più colonne dei valori che dà."},
    {110, "L'istruzione INSERT dà più valori delle colonne che elenca."},
    {111, "'%1' deve essere la prima istruzione del batch."},
    {113, "Commento non chiuso: manca '*/'."},
    {116, "Una sottoquery usata come valore può restituire una colonna sola."},
    {127, "Il numero di righe di TOP non può essere negativo."},
    {130, "Una funzione di aggregazione non può contenere un'altra aggregazione o una sottoquery."},
    {132, "L'etichetta '%1' è già dichiarata."},
    {133, "GOTO verso l'etichetta '%1', che non è dichiarata."},
    {134, "La variabile %1 è già dichiarata."},
    {135, "BREAK fuori da un ciclo WHILE."},
    {136, "CONTINUE fuori da un ciclo WHILE."},
    {137, "La variabile %1 non è dichiarata."},
    {141, "Una SELECT che assegna variabili non può anche restituire righe."},
    {156, "Sintassi non corretta vicino alla parola chiave %1."},
    {174, "La funzione %1 vuole %2 argomenti."},
    {189, "La funzione %1 vuole da %2 a %3 argomenti."},
    {195, "'%1' non è una funzione né un'opzione che il server conosce."},
    {206, "Tipi incompatibili: %1 non si accorda con %2."},
    {207, "La colonna '%1' non esiste."},
    {208, "La tabella o vista '%1' non esiste."},
    {209, "Il nome di colonna '%1' è ambiguo: indica la tabella."},
    {217, "Troppi livelli di procedure o funzioni annidate (limite %1)."},
    {220, "Valore troppo grande per il tipo %1 (valore %2)."},
    {232, "Valore troppo grande per il tipo %1 (valore %2)."},
    {241, "Il testo non si converte in una data o un'ora."},
    {242, "La conversione da %1 a %2 dà un valore fuori dall'intervallo ammesso."},
    {244, "Il valore '%2' (%1) è troppo grande per il tipo %3."},
    {245, "Il valore '%2' (%1) non si converte nel tipo %3."},
    {248, "Il valore '%2' (%1) è troppo grande per il tipo %3."},
    {263, "Manca la tabella da cui leggere."},
    {402, "I tipi %1 e %2 non sono compatibili nell'operatore %3."},
    {512, "La sottoquery restituisce più di un valore dove se ne attende uno solo."},
    {515, "La colonna '%1' non ammette il valore NULL."},
    {529, "La conversione da %1 a %2 non è ammessa."},
    {536, "Lunghezza non valida passata alla funzione %1."},
    {537, "Lunghezza non valida passata a LEFT o SUBSTRING."},
    {547, "L'istruzione viola un vincolo del database."},
    {1007, "Il numero '%1' ha più delle 38 cifre ammesse."},
    {1014, "Valore non valido in TOP o FETCH."},
    {1087, "La variabile tabella %1 non è dichiarata."},
    {1222, "Attesa di un blocco scaduta: un'altra sessione tiene i dati."},
    {2601, "Chiave duplicata: la riga esiste già."},
    {2627, "Chiave duplicata: la riga esiste già in '%1'."},
    {2628, "Testo troppo lungo per la colonna '%2' della tabella '%1'."},
    {2812, "La procedura '%1' non esiste."},
    {3617, "Il server non ha risposto in tempo."},
    {3623,
     "Operazione in virgola mobile non valida (per esempio la radice o il logaritmo di un numero negativo)."},
    {4104, "Il nome '%1' non corrisponde a nessuna tabella o colonna."},
    {4121, "Non esiste né la colonna '%1' né la funzione '%2'."},
    {4145, "Qui serve una condizione (un confronto), non un valore."},
    {8114, "Il tipo %1 non si converte in %2."},
    {8115, "Valore troppo grande convertendo %1 nel tipo %2."},
    {8116, "Il tipo %1 non è ammesso come argomento della funzione %2."},
    {8117, "Il tipo %1 non è ammesso per l'operatore %2."},
    {8120, "La colonna '%1.%2' non è in una funzione di aggregazione né nel GROUP BY."},
    {8134, "Divisione per zero."},
    {8144, "Troppi argomenti per la procedura o la funzione."},
    {8152, "Testo troppo lungo per la colonna."},
    {10709, "Le righe di un costruttore di tabella devono avere lo stesso numero di colonne."},
    {40001, "Il batch è stato fermato dopo %1 giri di un ciclo."},
};

const QString RowColumn = QStringLiteral("riga %1, colonna %2");
const QString RowOnly = QStringLiteral("riga %1");
// %1 the place in words ("Riga 3, colonna 7"), %2 the explanation.
const QString PlacedExplanation = QStringLiteral("%1: %2");
// %1 the explanation, %2 the message number, %3 the server's text.
const QString ExplainedServerText = QStringLiteral("%1 (Msg %2: %3)");

QString capitalised(QString text) {
    if (!text.isEmpty())
        text[0] = text.at(0).toUpper();
    return text;
}

// A server text of the engine as a pattern: its arguments as lazy groups, the rest literal.
QRegularExpression patternOf(std::u16string_view text) {
    const QString t = QString::fromUtf16(text.data(), qsizetype(text.size()));
    QString pattern = QStringLiteral("^");
    qsizetype from = 0;
    static const QRegularExpression placeholder(QStringLiteral("%[1-9]"));
    for (auto it = placeholder.globalMatch(t); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        pattern += QRegularExpression::escape(t.mid(from, m.capturedStart() - from));
        pattern += QStringLiteral("(?<a%1>.*?)").arg(m.captured().mid(1));
        from = m.capturedEnd();
    }
    pattern += QRegularExpression::escape(t.mid(from)) + u'$';
    return QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption);
}

} // namespace

std::optional<ServerMessage> parseServerMessage(const QString& message) {
    static const QRegularExpression header(
        QStringLiteral(R"(^Msg (\d+), Level (\d+), State (\d+)(?:, Line (\d+))?: )"));
    const QRegularExpressionMatch m = header.match(message);
    if (!m.hasMatch())
        return std::nullopt;
    ServerMessage out;
    out.number = m.captured(1).toInt();
    out.level = m.captured(2).toInt();
    out.state = m.captured(3).toInt();
    out.line = m.captured(4).toInt();
    out.text = message.mid(m.capturedLength());
    static const QRegularExpression column(QStringLiteral(R"( \(column (\d+)\)$)"));
    const QRegularExpressionMatch c = column.match(out.text);
    if (c.hasMatch()) {
        out.column = c.captured(1).toInt();
        out.text.chop(c.capturedLength());
    }
    return out;
}

const QList<MessageExplanation>& messageExplanations() {
    return Table;
}

std::optional<QStringList> messageArguments(int number, const QString& serverText) {
    for (const tsql::MessageDef& def : tsql::kMessages) {
        if (def.number != number)
            continue;
        const int count = tsql::placeholderCount(def.text);
        if (count == 0) {
            if (serverText == QString::fromUtf16(def.text.data(), qsizetype(def.text.size())))
                return QStringList();
            continue;
        }
        const QRegularExpressionMatch m = patternOf(def.text).match(serverText);
        if (!m.hasMatch())
            continue;
        QStringList args;
        for (int i = 1; i <= count; ++i)
            args << m.captured(QStringLiteral("a%1").arg(i));
        return args;
    }
    return std::nullopt;
}

QString explainMessage(int number, const QString& serverText, const TranslateFn& translate,
                       const NamesFn& names) {
    const auto row = std::find_if(Table.begin(), Table.end(),
                                  [&](const MessageExplanation& e) { return e.number == number; });
    if (row == Table.end())
        return {};
    const QString italian = QString::fromUtf8(row->italian);
    QString text = translate ? translate(italian) : italian;
    static const QRegularExpression placeholder(QStringLiteral("%([1-9])"));
    if (!italian.contains(placeholder))
        return text;
    const std::optional<QStringList> args = messageArguments(number, serverText);
    if (!args)
        return {};
    // Every %n in one pass, so an argument's own "%1" stays as it is.
    QString out;
    qsizetype from = 0;
    for (auto it = placeholder.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const int n = m.captured(1).toInt();
        if (n > args->size())
            return {};
        out += text.mid(from, m.capturedStart() - from);
        const QString arg = args->at(n - 1);
        out += names ? names(arg) : arg;
        from = m.capturedEnd();
    }
    return out + text.mid(from);
}

QString placeInWords(int line, int column, const TranslateFn& translate) {
    const auto tr = [&](const QString& s) { return translate ? translate(s) : s; };
    if (line <= 0)
        return {};
    return column > 0 ? tr(RowColumn).arg(line).arg(column) : tr(RowOnly).arg(line);
}

QString describeServerMessage(const QString& message, const TranslateFn& translate, const NamesFn& names,
                              int line, int column) {
    const std::optional<ServerMessage> m = parseServerMessage(message);
    if (!m)
        return names ? names(message) : message;
    const auto tr = [&](const QString& s) { return translate ? translate(s) : s; };
    const QString serverText = names ? names(m->text) : m->text;
    const QString explanation = explainMessage(m->number, m->text, translate, names);
    // An explanation that says the server's text again (the English window) is not repeated. The
    // arguments go in one pass: a "%1" in the server's text stays as it is.
    const QString number = QString::number(m->number);
    const QString body = explanation.isEmpty() || explanation == serverText
                             ? QStringLiteral("%1 (Msg %2)").arg(serverText, number)
                             : tr(ExplainedServerText).arg(explanation, number, serverText);
    const QString place =
        placeInWords(line >= 0 ? line : m->line, column >= 0 ? column : m->column, translate);
    return place.isEmpty() ? body : tr(PlacedExplanation).arg(capitalised(place), body);
}

QStringList serverMessageTexts() {
    QStringList all;
    for (const MessageExplanation& e : Table)
        all << QString::fromUtf8(e.italian);
    all << RowColumn << RowOnly << PlacedExplanation << ExplainedServerText;
    return all;
}

DisplayNames::DisplayNames(const TranslateFn& translateFn) {
    const TranslateFn translate = translateFn ? translateFn : [](const QString& s) { return s; };
    // Later entries never take a variable an earlier one gave: the first label of a variable wins.
    for (const language::Entry& e : language::Dictionary::entries()) {
        const QString key = e.variable.toUpper();
        if (m_labels.contains(key))
            continue;
        try {
            m_labels.insert(key, language::Dictionary::label(e, language::Direction::ToDisplay, translate));
        } catch (...) {
            // A label the translation service cannot give stays a variable in the messages.
        }
    }
}

void DisplayNames::setTranslation(const QString& display, const QString& sql,
                                  const language::PositionMap& map) {
    m_standIns.clear();
    for (const int entry :
         {language::Dictionary::CategoryPlaceholderEntry, language::Dictionary::VariantPlaceholderEntry}) {
        const QString variable = language::Dictionary::entry(entry).variable;
        const QRegularExpression word(QRegularExpression::escape(variable) + QStringLiteral(R"((?![\w@#$]))"),
                                      QRegularExpression::CaseInsensitiveOption);
        // The first stand-in that replaced a reference names it; one that stands for the label of
        // the entry itself keeps that label.
        for (auto it = word.globalMatch(sql); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            if (!map.isReplaced(m.capturedStart()))
                continue;
            const auto [start, end] = map.sourceRange(m.capturedStart(), m.capturedEnd());
            const QString written = display.mid(start, end - start);
            if (written.startsWith(u'{') || written.startsWith(u'|')) {
                m_standIns.insert(variable.toUpper(), written);
                break;
            }
        }
    }
}

QString DisplayNames::apply(const QString& text) const {
    static const QRegularExpression variable(QStringLiteral(R"((?<![\w@#$])@[A-Za-z_][\w@#$]*)"));
    QString out;
    qsizetype from = 0;
    for (auto it = variable.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString key = m.captured().toUpper();
        const auto standIn = m_standIns.constFind(key);
        const QString written = standIn != m_standIns.constEnd() ? *standIn : m_labels.value(key);
        if (written.isEmpty())
            continue;
        out += text.mid(from, m.capturedStart() - from) + written;
        from = m.capturedEnd();
    }
    return out + text.mid(from);
}

} // namespace check
