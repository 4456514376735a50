#pragma once

#include <QString>

// The texts of the trial run, in Italian as the user sees them; the host's translation service
// gives the other languages (data/translations/trial_en.ts).
namespace check::trialmsg {

// Values that do not fit: %1 the value, %2 the type or the length.
inline const QString NotANumber = QStringLiteral("«%1» non è un numero valido per %2");
inline const QString TooLarge = QStringLiteral("%1 non sta in %2");
inline const QString TooLong = QStringLiteral("«%1» supera i %2 caratteri");
inline const QString NotADate = QStringLiteral("«%1» non è una data (aaaa-mm-gg oppure gg/mm/aaaa)");
inline const QString LineBreak = QStringLiteral("un valore non può andare a capo");
// %1 the element, %2 one of the texts above.
inline const QString ValueRefused = QStringLiteral("Valore non ammesso per %1: %2");
// The formula ended (RETURN) before its outputs were read.
inline const QString NoOutputs =
    QStringLiteral("La formula è terminata prima che i risultati fossero letti (RETURN)");

} // namespace check::trialmsg

namespace check::trialmsg {

// Which evaluation ran a trial run (the trial panel's line under the outputs, formule eval
// --explain). %1 what the compiled evaluator left to the engine ("EXEC"), %2 its line in the
// formula, %3 its column.
inline const QString PathCompiled = QStringLiteral("l'ha eseguita il valutatore compilato");
inline const QString PathConstruct = QStringLiteral("l'ha eseguita il motore: %1");
inline const QString PathConstructAtLine = QStringLiteral("l'ha eseguita il motore: %1 alla riga %2");
inline const QString PathConstructAt = QStringLiteral("l'ha eseguita il motore: %1 alla riga %2, colonna %3");
inline const QString PathServer =
    QStringLiteral("l'ha eseguita SQL Server, il riferimento su questa connessione");
inline const QString PathTurnedOff =
    QStringLiteral("l'ha eseguita il motore: il valutatore compilato è stato escluso");
inline const QString PathConnection =
    QStringLiteral("l'ha eseguita il motore: la connessione è chiusa o ha una transazione aperta");
inline const QString PathValues =
    QStringLiteral("l'ha eseguita il motore: un valore dato non va al valutatore compilato");

} // namespace check::trialmsg
