#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace language {
class PositionMap;
}

// Short explanations of the server's most frequent messages in the window's language, put before
// the server's own text wherever a check or a trial run shows one (the message strip, the trial
// panel, the verification window). The server's text stays whole beside it (tooltip, copy).
namespace check {

// A server message as the check reports it: "Msg N, Level L, State S, Line R: text (column C)".
struct ServerMessage {
    int number = 0;
    int level = 0;
    int state = 0;
    int line = 0;   // 0: none given
    int column = 0; // 0: none given
    QString text;   // the server's text, without the header and the column
};

// The parts of a message in that form; nullopt for any other text.
std::optional<ServerMessage> parseServerMessage(const QString& message);

// One row of the table: a message number and its explanation in Italian (the source text of the
// translation). %1, %2, ... in it are the arguments of the server's text, in the order the
// server's text gives them.
struct MessageExplanation {
    int number;
    const char* italian;
};
const QList<MessageExplanation>& messageExplanations();

// The arguments of a server text of message `number`, read against the texts the engine gives
// that number (e.g. "Incorrect syntax near ','." gives ","); nullopt when no text of that number
// has the text's form.
std::optional<QStringList> messageArguments(int number, const QString& serverText);

using TranslateFn = std::function<QString(const QString&)>;
using NamesFn = std::function<QString(const QString&)>;

// The explanation of a server text of message `number` in the window's language, with the
// arguments put in (each passed through `names` first, when given); empty when the table has no
// row for the number, or the row needs arguments the text does not give.
QString explainMessage(int number, const QString& serverText, const TranslateFn& translate,
                       const NamesFn& names = {});

// "riga 3, colonna 7", "riga 3" or empty (line 0), in the window's language.
QString placeInWords(int line, int column, const TranslateFn& translate);

// What a window shows for a check's message: the explanation first, the place in words, and the
// server's text after it with its number (the server's text alone when the table has no
// explanation). `message` in the check's form; any other text comes back with only the names
// replaced. `line` and `column`, when given (> 0), replace the message's own (the formula's line
// instead of the batch's).
QString describeServerMessage(const QString& message, const TranslateFn& translate, const NamesFn& names = {},
                              int line = -1, int column = -1);

// Every text above, for translating them all at once.
QStringList serverMessageTexts();

// The names of the SQL form in a message put back as the user wrote them: a dictionary variable
// ("@OUTPREZZO") becomes its label ("[Prezzo lordo]"), and the check's stand-ins of a category or
// a variant become the reference the formula wrote there.
class DisplayNames {
public:
    // Labels through `translate` (the window's language).
    explicit DisplayNames(const TranslateFn& translate);
    // The check-mode SQL text sent for `display` (its map from `sql` back to `display`): the
    // stand-ins are resolved to the references they replaced.
    void setTranslation(const QString& display, const QString& sql, const language::PositionMap& map);
    // `text` with every dictionary variable in it replaced (whole names only, any case).
    QString apply(const QString& text) const;
    NamesFn fn() const {
        return [this](const QString& s) { return apply(s); };
    }

private:
    QHash<QString, QString> m_labels;   // upper-case variable -> label
    QHash<QString, QString> m_standIns; // upper-case stand-in variable -> the reference written
};

} // namespace check
