#pragma once

#include <QString>
#include <QStringList>

// The texts of the diagnostics and of the message strip, in Italian as the user sees them; they
// pass through the host's translation service (English in data/translations/diagnostics_en.ts).
namespace diagnostics::msg {

inline const QString UnknownLabel = QStringLiteral("Etichetta sconosciuta %1.");
inline const QString UnknownCategory = QStringLiteral("Categoria inesistente per la ditta: %1.");
inline const QString UnknownVariant = QStringLiteral("Variante inesistente per la ditta: %1.");
inline const QString Perhaps = QStringLiteral("Forse: %1");
inline const QString LabelInText = QStringLiteral(
    "L'etichetta %1 è dentro una stringa o un commento: la traduzione la sostituisce lo stesso.");
inline const QString Unbalanced = QStringLiteral("Delimitatore %1 senza il suo corrispondente.");
// %1 the plain wording below, %2 the message number, %3 the engine's or server's own text.
inline const QString EngineMessage = QStringLiteral("%1 (Msg %2: %3)");
inline const QString SyntaxError = QStringLiteral("Sintassi non corretta");
inline const QString MisplacedKeyword = QStringLiteral("Parola chiave fuori posto");
inline const QString Unclosed = QStringLiteral("Stringa o nome non chiuso");
inline const QString UnclosedComment = QStringLiteral("Commento non chiuso");
inline const QString UndeclaredVariable = QStringLiteral("Variabile non dichiarata");
inline const QString UnknownName = QStringLiteral("Nome non riconosciuto");
inline const QString GenericError = QStringLiteral("Errore");

// The message strip: where the check's message is ("Riga 3, colonna 7: ..." / "Riga 3: ...").
inline const QString AtLineColumn = QStringLiteral("Riga %1, colonna %2: %3");
inline const QString AtLine = QStringLiteral("Riga %1: %2");
inline const QString Saved = QStringLiteral("Formula salvata");
inline const QString Unsaved = QStringLiteral("Modifiche non salvate");

// Every text above, for translating them all at once.
inline QStringList all() {
    return {UnknownLabel,  UnknownCategory, UnknownVariant,   Perhaps,  LabelInText,     Unbalanced,
            EngineMessage, SyntaxError,     MisplacedKeyword, Unclosed, UnclosedComment, UndeclaredVariable,
            UnknownName,   GenericError,    AtLineColumn,     AtLine,   Saved,           Unsaved};
}

} // namespace diagnostics::msg
