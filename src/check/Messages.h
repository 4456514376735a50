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

// What the check says when it does not send a formula, or cannot judge it: for the host log and
// the tool. %1 the line, %2 the statement, %3 one of the reasons below.
inline const QString NotAllowed = QStringLiteral("Riga %1: %2 non è ammessa sotto controllo: %3");
inline const QString ThisStatement = QStringLiteral("Questa istruzione");
inline const QString EndsTransaction =
    QStringLiteral("chiuderebbe la transazione in cui il controllo esegue la formula, e le istruzioni che "
                   "seguono resterebbero scritte");
inline const QString SplitsTransaction =
    QStringLiteral("apre una transazione propria che la formula potrebbe confermare, e le sue istruzioni "
                   "resterebbero scritte");
inline const QString RunsOutOfSight =
    QStringLiteral("una procedura o un batch dinamico possono confermare o cambiare la sessione senza che il "
                   "controllo lo veda");
inline const QString DynamicInFormula =
    QStringLiteral("il controllo di una formula non esegue batch dinamici (EXEC di un testo, sp_executesql)");
inline const QString DynamicTextUnknown =
    QStringLiteral("il testo del batch dinamico si conosce solo quando l'istruzione viene eseguita, e il "
                   "controllo non può leggerlo prima");
inline const QString DynamicTooDeep =
    QStringLiteral("i batch dinamici sono annidati oltre i 32 livelli che il server esegue");
inline const QString OutlivesBatch =
    QStringLiteral("cambia la sessione della connessione oltre il controllo, e con essa i controlli e i "
                   "salvataggi successivi");
inline const QString LinkedServer =
    QStringLiteral("una tabella su un server collegato è fuori dalla transazione del controllo");
inline const QString PermanentTable =
    QStringLiteral("crea o elimina una tabella del database; sotto controllo sono ammesse solo le tabelle "
                   "temporanee locali (#nome)");
inline const QString StrayLineEnd = QStringLiteral(
    "è una fine riga diversa da LF e CR LF, che il server potrebbe leggere come la fine di un "
    "commento -- dove il controllo vede il commento continuare (o il contrario); scrivi le righe "
    "con LF o CR LF");
inline const QString UnknownStatement =
    QStringLiteral("il controllo non sa che cosa faccia questa istruzione");
inline const QString TransactionCountChanged =
    QStringLiteral("Il batch ha cambiato il numero delle transazioni aperte da 1 a %1");
// The check did not reach a verdict because of the server, not of the formula; %1 the server's
// or the connection's message.
inline const QString ServerBusy = QStringLiteral(
    "Controllo non concluso: il server era occupato, non ha risposto in tempo o la connessione "
    "si è interrotta. La formula non è stata giudicata; riprova più tardi. (%1)");
// The user stopped the check's run before the server judged the formula.
inline const QString CheckStopped =
    QStringLiteral("Controllo interrotto dall'utente: la formula non è stata giudicata.");
inline const QString NotTranslated = QStringLiteral("La formula non si lascia tradurre nella sua forma SQL");
// Said after NotTranslated when the translation went over its text limit: %1 the length of the
// formula, %2 the limit of a pass.
inline const QString OverTextLimit =
    QStringLiteral("La formula conta %1 caratteri e la sua traduzione supera il limite di %2 caratteri per "
                   "passo: va accorciata.");
// Said after a failed check when the formula as it is saved (categories and variants as their
// sub-queries) passes as production runs it (see check::passesAsStored).
inline const QString CorrectAsStored = QStringLiteral(
    "Il controllo sostituisce categorie e varianti con segnaposto (numerici per le categorie); la "
    "formula come viene salvata è corretta.");
inline const QString NoConnection = QStringLiteral("Nessuna connessione su cui controllare la formula");

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
