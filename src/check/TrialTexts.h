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
