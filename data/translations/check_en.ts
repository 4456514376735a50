<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="it_IT">
<context>
    <name>formule</name>
    <message>
        <source>Riga %1: %2 non è ammessa sotto controllo: %3</source>
        <translation>Line %1: %2 is not allowed under check: %3</translation>
    </message>
    <message>
        <source>Questa istruzione</source>
        <translation>This statement</translation>
    </message>
    <message>
        <source>chiuderebbe la transazione in cui il controllo esegue la formula, e le istruzioni che seguono resterebbero scritte</source>
        <translation>it would end the transaction in which the check runs the formula, so the statements after it would stay written</translation>
    </message>
    <message>
        <source>apre una transazione propria che la formula potrebbe confermare, e le sue istruzioni resterebbero scritte</source>
        <translation>it opens a transaction of its own that the formula could commit, so its statements would stay written</translation>
    </message>
    <message>
        <source>una procedura o un batch dinamico possono confermare o cambiare la sessione senza che il controllo lo veda</source>
        <translation>a procedure or a dynamic batch may commit or change the session where the check cannot see it</translation>
    </message>
    <message>
        <source>il controllo di una formula non esegue batch dinamici (EXEC di un testo, sp_executesql)</source>
        <translation>the check of a formula runs no dynamic batch (EXEC of a text, sp_executesql)</translation>
    </message>
    <message>
        <source>il testo del batch dinamico si conosce solo quando l'istruzione viene eseguita, e il controllo non può leggerlo prima</source>
        <translation>the text of the dynamic batch is known only when the statement runs, so the check cannot read it first</translation>
    </message>
    <message>
        <source>i batch dinamici sono annidati oltre i 32 livelli che il server esegue</source>
        <translation>the dynamic batches are nested beyond the 32 levels the server runs</translation>
    </message>
    <message>
        <source>cambia la sessione della connessione oltre il controllo, e con essa i controlli e i salvataggi successivi</source>
        <translation>it changes the session of the connection beyond the check, and with it the later checks and saves</translation>
    </message>
    <message>
        <source>una tabella su un server collegato è fuori dalla transazione del controllo</source>
        <translation>a table on a linked server is outside the transaction of the check</translation>
    </message>
    <message>
        <source>crea o elimina una tabella del database; sotto controllo sono ammesse solo le tabelle temporanee locali (#nome)</source>
        <translation>it creates or drops a table of the database; under the check only local temporary tables (#name) are allowed</translation>
    </message>
    <message>
        <source>è una fine riga diversa da LF e CR LF, che il server potrebbe leggere come la fine di un commento -- dove il controllo vede il commento continuare (o il contrario); scrivi le righe con LF o CR LF</source>
        <translation>it is a line end other than LF and CR LF, which the server could read as the end of a -- comment where the check sees the comment go on (or the other way round); write the lines with LF or CR LF</translation>
    </message>
    <message>
        <source>Controllo non concluso: il server era occupato, non ha risposto in tempo o la connessione si è interrotta. La formula non è stata giudicata; riprova più tardi. (%1)</source>
        <translation>Check not completed: the server was busy, did not answer in time or the connection was lost. The formula was not judged; try again later. (%1)</translation>
    </message>
    <message>
        <source>il controllo non sa che cosa faccia questa istruzione</source>
        <translation>the check does not know what this statement does</translation>
    </message>
    <message>
        <source>Il batch ha cambiato il numero delle transazioni aperte da 1 a %1</source>
        <translation>The batch changed the number of open transactions from 1 to %1</translation>
    </message>
    <message>
        <source>La formula non si lascia tradurre nella sua forma SQL</source>
        <translation>The formula could not be translated to its SQL form</translation>
    </message>
    <message>
        <source>La formula conta %1 caratteri e la sua traduzione supera il limite di %2 caratteri per passo: va accorciata.</source>
        <translation>The formula has %1 characters and its translation goes over the limit of %2 characters in each pass: it must be shortened.</translation>
    </message>
    <message>
        <source>Nessuna connessione su cui controllare la formula</source>
        <translation>No connection to check the formula on</translation>
    </message>
    <message>
        <source>La formula è troppo lunga per essere salvata: la sua forma SQL conta %1 caratteri e, riletta dal database, supererebbe il limite di %2 caratteri del testo. Accorcia la formula e salvala di nuovo.</source>
        <translation>The formula is too long to be saved: its SQL form has %1 characters and, read back from the database, it would exceed the text limit of %2 characters. Shorten the formula and save it again.</translation>
    </message>
    <message>
        <source>Attenzione!</source>
        <translation>Warning!</translation>
    </message>
    <message>
        <source>La formula è corretta.</source>
        <translation>The formula is correct.</translation>
    </message>
    <message>
        <source>La formula non risulta essere corretta.</source>
        <translation>The formula does not appear to be correct.</translation>
    </message>
    <message>
        <source>Desideri salvarla comunque?</source>
        <translation>Do you want to save it anyway?</translation>
    </message>
    <message>
        <source>Confermi l'eliminazione della formula?</source>
        <translation>Do you confirm deleting the formula?</translation>
    </message>
    <message>
        <source>Controllo sintassi formula avvenuta con successo</source>
        <translation>Formula syntax check succeeded</translation>
    </message>
    <message>
        <source>Controllo sintassi formula fallita</source>
        <translation>Formula syntax check failed</translation>
    </message>
    <message>
        <source>Controllo sintassi formula</source>
        <translation>Formula syntax check</translation>
    </message>
    <message>
        <source>Il controllo sostituisce categorie e varianti con segnaposto (numerici per le categorie); la formula come viene salvata è corretta.</source>
        <translation>The check replaces categories and variants with placeholders (numeric for categories); the formula as it is saved is correct.</translation>
    </message>
    <message>
        <source>Informazione</source>
        <translation>Information</translation>
    </message>
</context>
</TS>
