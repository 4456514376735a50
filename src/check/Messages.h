#pragma once

#include <QString>

// The texts the check, the save and the clear show, exactly as the user sees them in Italian.
namespace check::msg {

inline const QString Attention = QStringLiteral("Attenzione!");
inline const QString Correct = QStringLiteral("La formula è corretta.");
inline const QString NotCorrect = QStringLiteral("La formula non risulta essere corretta.");
inline const QString SaveAnyway = QStringLiteral("Desideri salvarla comunque?");
inline const QString ConfirmClear = QStringLiteral("Confermi l'eliminazione della formula?");

// Not one of the window's dialogs: the description of the error a save raises instead of
// writing a formula that could not be opened again; %1 the length of its SQL form, %2 the limit.
inline const QString TooLong = QStringLiteral(
    "La formula è troppo lunga per essere salvata: la sua forma SQL conta %1 caratteri e, riletta dal "
    "database, supererebbe il limite di %2 caratteri del testo. Accorcia la formula e salvala di nuovo.");

inline const QString CorrectTitle = QStringLiteral("Controllo sintassi formula avvenuta con successo");
inline const QString NotCorrectTitle = QStringLiteral("Controllo sintassi formula fallita");
inline const QString SaveTitle = QStringLiteral("Controllo sintassi formula");
inline const QString ClearTitle = QStringLiteral("Informazione");

inline constexpr int CorrectCode = 64;       // information icon, OK
inline constexpr int NotCorrectCode = 48;    // exclamation icon, OK
inline constexpr int SaveAnywayCode = 308;   // Yes/No, exclamation icon, No as default
inline constexpr int ConfirmClearCode = 324; // Yes/No, information icon, No as default

inline const QString CrLf = QStringLiteral("\r\n");

} // namespace check::msg
