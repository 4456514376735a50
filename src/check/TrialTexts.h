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
// A date typed month first (English) that is none: %1 the value.
inline const QString NotADateMonthFirst =
    QStringLiteral("«%1» non è una data (mm/gg/aaaa oppure aaaa-mm-gg)");
// A number the language reads two ways (a single thousands separator followed by three digits):
// %1 the value, %2 it read as thousands, %3 it read as a decimal as the language writes it.
inline const QString AmbiguousPoint =
    QStringLiteral("«%1» è ambiguo: scrivi %2 se il punto separa le migliaia, %3 se separa i decimali");
inline const QString AmbiguousComma =
    QStringLiteral("«%1» è ambiguo: scrivi %2 se la virgola separa le migliaia, %3 se separa i decimali");
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

// What the compiled evaluator leaves to the engine, in Italian: %1 a name as the formula writes it
// (a table, a function, a variable). The English texts are the evaluator's own names.
struct ConstructName {
    QString italian;
    QString english; // as the evaluator names it, %1 where the name goes
};
inline const ConstructName ConstructNames[] = {
    {QStringLiteral("un errore di compilazione"), QStringLiteral("a compile error")},
    {QStringLiteral("le dichiarazioni"), QStringLiteral("the declarations")},
    {QStringLiteral("un'etichetta"), QStringLiteral("a label")},
    {QStringLiteral("l'assegnazione"), QStringLiteral("the assignment")},
    {QStringLiteral("un'assegnazione a una variabile xml"),
     QStringLiteral("an assignment to an xml variable")},
    {QStringLiteral("una query sulla tabella %1"), QStringLiteral("a query over the table %1")},
    {QStringLiteral("una query su una tabella"), QStringLiteral("a query over a table")},
    {QStringLiteral("una SELECT con clausole"), QStringLiteral("SELECT with clauses")},
    {QStringLiteral("una SELECT che restituisce righe"), QStringLiteral("SELECT returning rows")},
    {QStringLiteral("una variabile tabella"), QStringLiteral("a table variable")},
    {QStringLiteral("l'istruzione"), QStringLiteral("the statement")},
    {QStringLiteral("la funzione di aggregazione %1"), QStringLiteral("the aggregate function %1")},
    {QStringLiteral("la funzione %1"), QStringLiteral("the function %1")},
    {QStringLiteral("una sotto-query"), QStringLiteral("a sub-query")},
    {QStringLiteral("una colonna"), QStringLiteral("a column")},
    {QStringLiteral("il metodo xml %1()"), QStringLiteral("the xml method %1()")},
    {QStringLiteral("la funzione finestra %1"), QStringLiteral("the window function %1")},
    {QStringLiteral("IN con una sotto-query"), QStringLiteral("IN with a sub-query")},
    {QStringLiteral("%1 con una sotto-query"), QStringLiteral("%1 with a sub-query")},
    {QStringLiteral("la variabile %1"), QStringLiteral("the variable %1")},
    {QStringLiteral("l'espressione"), QStringLiteral("the expression")},
};

} // namespace check::trialmsg
