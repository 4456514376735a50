<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="it_IT">
<context>
    <name>formule</name>
    <message>
        <source>Importa comunque le formule che non superano il controllo.</source>
        <translation>Import formulas that fail the check all the same.</translation>
    </message>
    <message>
        <source>Solo resoconto: non scrive nulla.</source>
        <translation>Report only: write nothing.</translation>
    </message>
    <message>
        <source>legge i file di formule di un&apos;esportazione, riporta per ognuno FILE, CONTESTO, ID, MODIFICHE (sì/no), OBSOLETI (categorie e varianti assenti da questo database), ESITO del controllo; poi scrive ogni modifica in una transazione (tutto o niente), ognuna una nuova versione &quot;import&quot;. Una formula che non supera il controllo si scrive solo con --yes; un file non UTF-8, che non nomina un record o con l&apos;intestazione danneggiata ferma tutto (uscita 2)</source>
        <translation>read the formula files of an export, report for each one FILE, CONTEXT, ID, CHANGES (yes/no), STALE (categories and variants not in this database), VERDICT of the check; then write every change in one transaction (all or none), each a new version &quot;import&quot;. A formula that fails the check is written only with --yes; a file that is not UTF-8, names no record or has a damaged header stops everything (exit 2)</translation>
    </message>
    <message>
        <source>Solo le formule del contesto di modifica N (0, 1, 2).</source>
        <translation>Only the formulas of editing context N (0, 1, 2).</translation>
    </message>
    <message>
        <source>scrive ogni formula memorizzata in DIR come file di testo in forma visualizzata, DIR/&lt;contesto&gt;/&lt;id&gt;-&lt;descrizione&gt;.sql con un&apos;intestazione (contesto, id, versione, hash), e DIR/manifest.tsv; DIR deve essere vuota o contenere un&apos;esportazione precedente, i cui file che non nominano più un record vengono rimossi. Un database invariato esporta file identici</source>
        <translation>write every stored formula into DIR as a text file in display form, DIR/&lt;context&gt;/&lt;id&gt;-&lt;description&gt;.sql with a header (context, id, version, hash), and DIR/manifest.tsv; DIR must be empty or hold an earlier export, whose files that name no record any more are removed. An unchanged database exports identical files</translation>
    </message>
    <message>
        <source>La formula modificata in forma visualizzata.</source>
        <translation>The changed formula in display form.</translation>
    </message>
    <message>
        <source>Esegui entrambe le formule sul motore anche dove potrebbe il valutatore compilato.</source>
        <translation>Run both formulas on the engine even where the compiled evaluator could.</translation>
    </message>
    <message>
        <source>Uscita: text (predefinita), tsv, csv o json.</source>
        <translation>Output: text (default), tsv, csv or json.</translation>
    </message>
    <message>
        <source>Righe che cambiano di più, per uscita.</source>
        <translation>Rows that move most, per output.</translation>
    </message>
    <message>
        <source>Righe generate da un intervallo per ingresso: &quot;[Prezzo lordo - CURR]=da 10 a 100 passo 10; [Quantità 1]=5 casuali da 1 a 1000 seme 7&quot; (da/a/passo, casuali/seme).</source>
        <translation>Rows generated from a range per input: &quot;[Prezzo lordo - CURR]=da 10 a 100 passo 10; [Quantità 1]=5 casuali da 1 a 1000 seme 7&quot; (from/to/step, random/seed).</translation>
    </message>
    <message>
        <source>Come il CSV scrive numeri e date: C (1234.5, aaaa-mm-gg) o language (quella di --lang); una prima riga #locale=C|it|en prevale.</source>
        <translation>How the CSV writes numbers and dates: C (1234.5, yyyy-mm-dd) or language (that of --lang); a first line #locale=C|it|en holds over it.</translation>
    </message>
    <message>
        <source>Un CSV di righe di ingresso: un&apos;intestazione che nomina gli ingressi in forma visualizzata, poi una riga per linea.</source>
        <translation>A CSV of input rows: a header naming inputs in display form, then one row a line.</translation>
    </message>
    <message>
        <source>anteprima di cosa fa una formula modificata alle uscite di quella memorizzata sui casi di prova del record e sulle righe date, senza cambiare nulla (uscita 0 eseguita, 1 la nuova formula fallisce su una riga, 2 ingresso errato)</source>
        <translation>preview what a changed formula does to the outputs of the stored one over the record&apos;s test cases and the rows given, changing nothing (exit 0 it ran, 1 the new formula fails on a row, 2 bad input)</translation>
    </message>
    <message>
        <source>L&apos;impostazione delle varianti del configuratore dell&apos;ospite.</source>
        <translation>The host&apos;s configurator variant setting.</translation>
    </message>
    <message>
        <source>Contesto di modifica: 0 condizione, 1 listino, 2 manutenzione listini (senza ramo entità).</source>
        <translation>Editing context: 0 provider, 1 price list, 2 price-list maintenance (no entity branch).</translation>
    </message>
    <message>
        <source>stampa l&apos;albero degli elementi, un nodo per riga (chiave&lt;TAB&gt;testo, due spazi per livello)</source>
        <translation>print the element tree, one node a line (key&lt;TAB&gt;text, two blanks per level)</translation>
    </message>
    <message>
        <source>Valore di una variante, per codice.</source>
        <translation>Value of a variant, by its code.</translation>
    </message>
    <message>
        <source>Valore di una categoria, per id.</source>
        <translation>Value of a category, by its id.</translation>
    </message>
    <message>
        <source>Valore di un elemento: la sua etichetta senza parentesi o la sua variabile (@ATTPREZZO). Numeri e date come li scrive la lingua (--lang): 1.000,5 e 31/12/2026 in italiano, 1,000.5 e 12/31/2026 in inglese; -12.5 e 2026-12-31 in entrambe.</source>
        <translation>Value of an element: its label without brackets or its variable (@ATTPREZZO). Numbers and dates as the language (--lang) writes them: 1.000,5 and 31/12/2026 in Italian, 1,000.5 and 12/31/2026 in English; -12.5 and 2026-12-31 in both.</translation>
    </message>
    <message>
        <source>L&apos;id del record.</source>
        <translation>The record&apos;s id.</translation>
    </message>
    <message>
        <source>Il contesto di modifica: 0 condizione, 1 listino, 2 manutenzione.</source>
        <translation>The editing context: 0 provider, 1 price list, 2 maintenance.</translation>
    </message>
    <message>
        <source>La formula in forma visualizzata.</source>
        <translation>The formula in display form.</translation>
    </message>
    <message>
        <source>Esegui la formula sul motore anche dove potrebbe il valutatore compilato: il riferimento, per un confronto.</source>
        <translation>Run the formula on the engine even where the compiled evaluator could: the reference, for a comparison.</translation>
    </message>
    <message>
        <source>Stampa sullo standard error quale valutazione ha eseguito la formula, e perché.</source>
        <translation>Print on standard error which evaluation ran the formula, and why.</translation>
    </message>
    <message>
        <source>Stampa sullo standard error le righe della formula eseguite.</source>
        <translation>Print the formula&apos;s lines that ran on standard error.</translation>
    </message>
    <message>
        <source>Stampa ogni uscita, NULL come NULL.</source>
        <translation>Print every output, NULL as NULL.</translation>
    </message>
    <message>
        <source>esegue una formula in forma visualizzata sui valori dati, senza cambiare nulla; stampa [Etichetta]&lt;TAB&gt;valore per ogni uscita rimasta non NULL</source>
        <translation>run a formula in display form on the values given, changing nothing; prints [Label]&lt;TAB&gt;value for every output left non-NULL</translation>
    </message>
    <message>
        <source>le formule memorizzate che usano un&apos;[etichetta], una @VARIABILE, un {codice categoria} o un |codice variante|: CONTESTO&lt;TAB&gt;ID&lt;TAB&gt;RIGA (uscita 0 trovato, 1 non trovato)</source>
        <translation>the stored formulas that use a [label], @VARIABLE, {category code} or |variant code|: CONTEXT&lt;TAB&gt;ID&lt;TAB&gt;LINE (exit 0 found, 1 not found)</translation>
    </message>
    <message>
        <source>Non eseguire i casi di prova conservati con le formule.</source>
        <translation>Do not run the test cases kept with the formulas.</translation>
    </message>
    <message>
        <source>Giudica ogni formula come il controllo dell&apos;editor, con categorie e varianti sostituite dai segnaposto, anziché come la esegue la produzione.</source>
        <translation>Judge each formula as the editor&apos;s check does, with categories and variants replaced by its placeholders, instead of as production runs it.</translation>
    </message>
    <message>
        <source>Connessioni che controllano insieme (predefinito 1).</source>
        <translation>Connections checking at the same time (default 1).</translation>
    </message>
    <message>
        <source>Uscita: tsv (predefinita), csv con una riga di intestazione, json.</source>
        <translation>Output: tsv (default), csv with a header row, json.</translation>
    </message>
    <message>
        <source>controlla ogni formula memorizzata come la esegue la produzione (la forma SQL memorizzata con le sue sottoquery), poi i casi di prova di ognuna corretta: CONTESTO&lt;TAB&gt;ID&lt;TAB&gt;OK|ERROR|STALE|UNCHECKED|CASE&lt;TAB&gt;MESSAGGIO; conteggi e tempo sullo standard error (uscita 0 tutte OK, 1 altrimenti)</source>
        <translation>check every stored formula as production runs it (the stored SQL form with its sub-queries), then the test cases of each correct one: CONTEXT&lt;TAB&gt;ID&lt;TAB&gt;OK|ERROR|STALE|UNCHECKED|CASE&lt;TAB&gt;MESSAGE; counts and time on stderr (exit 0 all OK, 1 otherwise)</translation>
    </message>
    <message>
        <source>Solo i record di un contesto di modifica: 0 condizione, 1 listino, 2 manutenzione.</source>
        <translation>Only the records of one editing context: 0 provider, 1 price list, 2 maintenance.</translation>
    </message>
    <message>
        <source>diagnostica di una formula in forma visualizzata senza eseguirla: RIGA:COLONNA: error|warning: messaggio (TEXT, o lo standard input per &quot;-&quot;)</source>
        <translation>diagnostics of a display-form formula without running it: LINE:COLUMN: error|warning: message (TEXT, or standard input for &quot;-&quot;)</translation>
    </message>
    <message>
        <source>Salva comunque una versione che non supera il controllo.</source>
        <translation>Save a version that fails the check all the same.</translation>
    </message>
    <message>
        <source>La versione da ripristinare.</source>
        <translation>The version to restore.</translation>
    </message>
    <message>
        <source>salva di nuovo una versione conservata, attraverso il salvataggio (il suo controllo; --yes salva una che non lo supera): una nuova versione; stampa l&apos;istruzione</source>
        <translation>save a kept version again, through the save (its check; --yes saves one that fails it): a new version; prints the statement</translation>
    </message>
    <message>
        <source>Una formula in forma visualizzata a destra (- la legge dallo standard input).</source>
        <translation>A formula in display form on the right (- reads it from standard input).</translation>
    </message>
    <message>
        <source>La versione a destra.</source>
        <translation>The version on the right.</translation>
    </message>
    <message>
        <source>La versione a sinistra.</source>
        <translation>The version on the left.</translation>
    </message>
    <message>
        <source>diff unificato delle forme visualizzate di due versioni (predefinito: la penultima contro l&apos;ultima), o di una versione (predefinita: l&apos;ultima) contro TEXT o lo standard input (-); uscita 0 uguali, 1 diverse</source>
        <translation>unified diff of the display forms of two versions (default: the version before the latest against the latest), or of a version (default: the latest) against TEXT or standard input (-); exit 0 same, 1 different</translation>
    </message>
    <message>
        <source>Elimina le versioni anteriori a DATE, tenendo l&apos;ultima di ogni record.</source>
        <translation>Delete the versions older than DATE, keeping the latest of every record.</translation>
    </message>
    <message>
        <source>elenca le versioni conservate della formula di un record, la più recente prima: VERSIONE, QUANDO (UTC), CHI, DA (finestra, strumento, importazione), COMMENTO; --prune-before elimina le versioni scritte prima di DATE (AAAA-MM-GG o AAAA-MM-GGTHH:MM:SSZ) tranne l&apos;ultima di ogni record</source>
        <translation>list the versions kept of a record&apos;s formula, newest first: VERSION, WHEN (UTC), WHO, FROM (window, tool, import), COMMENT; --prune-before deletes the versions written before DATE (YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ) except the latest of every record</translation>
    </message>
    <message>
        <source>Scrivi solo se l&apos;ultima versione del record è V (0: nessuna versione ancora conservata).</source>
        <translation>Write only when the record&apos;s latest version is V (0: no version kept yet).</translation>
    </message>
    <message>
        <source>Un commento conservato con la versione che questa scrittura aggiunge (una riga, al massimo 400 caratteri).</source>
        <translation>A comment kept with the version this write appends (one line, at most 400 characters).</translation>
    </message>
    <message>
        <source>mostra le formule memorizzate dei dati dimostrativi, per contesto di modifica</source>
        <translation>show the stored formulas of the demo data, by editing context</translation>
    </message>
    <message>
        <source>Le istruzioni, inviate come un unico batch.</source>
        <translation>The statements, sent as one batch.</translation>
    </message>
    <message>
        <source>esegue TEXT (lo standard input per &quot;-&quot; o se manca) sul database; stampa una riga di intestazione con i nomi dei campi, poi le righe separate da tabulazioni (vedi CONVENZIONI DI sql)</source>
        <translation>run TEXT (standard input for &quot;-&quot; or when missing) on the database; prints a header line of field names, then the rows tab-separated (see sql CONVENTIONS)</translation>
    </message>
    <message>
        <source>Carica le righe dimostrative (rifiutato se le tabelle contengono righe).</source>
        <translation>Load the demo rows (refused when the tables hold rows).</translation>
    </message>
    <message>
        <source>crea il file del database e le tabelle mancanti; con --demo carica anche le righe dimostrative (rifiutato se le tabelle contengono righe)</source>
        <translation>create the database file and the tables where absent; with --demo also load the demo rows (refused when the tables hold rows)</translation>
    </message>
    <message>
        <source>Servi il database senza alcuna modifica.</source>
        <translation>Serve the database without any change to it.</translation>
    </message>
    <message>
        <source>Ascolta su un indirizzo oltre il loopback (le credenziali viaggiano non cifrate).</source>
        <translation>Listen on an address beyond loopback (the login travels unencrypted).</translation>
    </message>
    <message>
        <source>Un file la cui prima riga è la password dell&apos;utente SQL.</source>
        <translation>A file whose first line is the SQL login&apos;s password.</translation>
    </message>
    <message>
        <source>La password dell&apos;utente SQL (visibile agli altri utenti del computer: meglio --password-file o FORMULE_PASSWORD).</source>
        <translation>The SQL login&apos;s password (visible to other users of the computer: prefer --password-file or FORMULE_PASSWORD).</translation>
    </message>
    <message>
        <source>Il nome dell&apos;utente SQL.</source>
        <translation>The SQL login&apos;s name.</translation>
    </message>
    <message>
        <source>Indirizzo e porta (predefinito 127.0.0.1:1433).</source>
        <translation>Address and port (default 127.0.0.1:1433).</translation>
    </message>
    <message>
        <source>serve il database incorporato di --db via TDS ai client SQL Server (il driver ODBC di FreeTDS e tsql, Provider=MSOLEDBSQL;Data Source=HOST,PORT); stampa &quot;listening on HOST:PORT&quot; quando è pronto (porta 0: una porta libera); la password da FILE, da FORMULE_PASSWORD o da --password; solo loopback senza --allow-remote (nessuna cifratura); --read-only: nessuna modifica al database; si ferma con SIGTERM</source>
        <translation>serve the embedded database of --db over TDS to SQL Server clients (FreeTDS&apos;s ODBC driver and tsql, Provider=MSOLEDBSQL;Data Source=HOST,PORT); prints &quot;listening on HOST:PORT&quot; once ready (port 0: a free port); the password from FILE, from FORMULE_PASSWORD or --password; loopback unless --allow-remote (no encryption); --read-only: no change to the database; stops on SIGTERM</translation>
    </message>
    <message>
        <source>elimina la formula memorizzata di un record (scrive NULL, una versione a sé); stampa l&apos;istruzione</source>
        <translation>remove the stored formula of a record (writes NULL, a version of its own); prints the statement</translation>
    </message>
    <message>
        <source>Salva comunque una formula che non supera il controllo.</source>
        <translation>Save a formula that fails the check all the same.</translation>
    </message>
    <message>
        <source>salva una formula in forma visualizzata in un record; una formula che non supera il controllo si salva solo con --yes; stampa l&apos;istruzione. Un TEXT vuoto (&apos;&apos;) salva una formula vuota (NULL), come la finestra; uno standard input illeggibile o senza testo non scrive nulla (uscita 2): clear elimina una formula. Ogni scrittura aggiunge una versione alla storia della formula; --expect-version rifiuta (uscita 1, nulla scritto) se l&apos;ultima versione del record è un&apos;altra</source>
        <translation>save a formula in display form into a record; a formula that fails the check is saved only with --yes; prints the statement. An empty TEXT (&apos;&apos;) saves an empty formula (NULL), as the window does; standard input that cannot be read or holds no text writes nothing (exit 2): clear removes a formula. Every write appends a version to the formula&apos;s history; --expect-version refuses (exit 1, nothing written) when the record&apos;s latest version is another</translation>
    </message>
    <message>
        <source>stampa la formula memorizzata di un record in forma visualizzata</source>
        <translation>print the stored formula of a record in display form</translation>
    </message>
    <message>
        <source>stampa il blocco di dichiarazioni che precede una formula sotto controllo</source>
        <translation>print the declaration block that precedes a formula under check</translation>
    </message>
    <message>
        <source>controlla una formula in forma visualizzata sul server; stampa l&apos;esito e, se non è corretta, il messaggio del server (uscita 0 corretta, 1 non corretta)</source>
        <translation>check a formula in display form on the server; prints the outcome and, when it is not correct, the server&apos;s message (exit 0 correct, 1 not correct)</translation>
    </message>
    <message>
        <source>Identificativo del record.</source>
        <translation>Identifier of the record.</translation>
    </message>
    <message>
        <source>Contesto di modifica: 0 condizione (LP01_PROVIDER), 1 listino (LP07_QUOTAZIONI), 2 manutenzione listini (LP17_FORMULEMANUT).</source>
        <translation>Editing context: 0 provider (LP01_PROVIDER), 1 price list (LP07_QUOTAZIONI), 2 price-list maintenance (LP17_FORMULEMANUT).</translation>
    </message>
    <message>
        <source>La formula in forma SQL.</source>
        <translation>The formula in SQL form.</translation>
    </message>
    <message>
        <source>traduce una formula dalla forma SQL alla forma visualizzata (TEXT, o lo standard input per &quot;-&quot;)</source>
        <translation>translate a formula from SQL form to display form (TEXT, or standard input for &quot;-&quot;)</translation>
    </message>
    <message>
        <source>Scrivi i riferimenti come i segnaposto del controllo di sintassi, senza cercarli.</source>
        <translation>Write references as the placeholders of the syntax check, without looking them up.</translation>
    </message>
    <message>
        <source>traduce una formula dalla forma visualizzata alla forma SQL (TEXT, o lo standard input per &quot;-&quot;)</source>
        <translation>translate a formula from display form to SQL form (TEXT, or standard input for &quot;-&quot;)</translation>
    </message>
    <message>
        <source>esegue il batch TEXT (lo standard input per &quot;-&quot; o se manca) sul database come il controllo esegue una formula (le istruzioni che potrebbero chiuderne la transazione o cambiare la sessione sono rifiutate; tutto è annullato; al massimo 10 s); stampa OK o il primo errore come &quot;Msg N, Level L, State S, Line R: messaggio (column C)&quot;. GOTO, RAISERROR, THROW e PRINT vengono eseguiti; EXEC di un testo scritto come costanti stringa, EXEC (&apos;SELECT 1&apos;), viene eseguito come batch a sé se il testo rispetta le stesse regole; EXEC di una variabile, sp_executesql e le procedure sono rifiutati</source>
        <translation>run the batch TEXT (standard input for &quot;-&quot; or when missing) on the database as the check runs a formula (statements that could end its transaction or change the session are refused; everything is rolled back; 10 s at most); prints OK or the first error as &quot;Msg N, Level L, State S, Line R: message (column C)&quot;. GOTO, RAISERROR, THROW and PRINT run; EXEC of a text written as string constants, EXEC (&apos;SELECT 1&apos;), runs as a batch of its own when its text passes the same rules; EXEC of a variable, sp_executesql and procedures are refused</translation>
    </message>
    <message>
        <source>Chi registra il caso (predefinito: l&apos;utente).</source>
        <translation>Who records the case (default: the login).</translation>
    </message>
    <message>
        <source>Il nome del caso (unico per il record).</source>
        <translation>The case&apos;s name (unique for the record).</translation>
    </message>
    <message>
        <source>registra un caso di prova (case add): i valori dati e le uscite che la formula memorizzata calcola su di essi; stampa [Etichetta]&lt;TAB&gt;valore per ogni uscita non NULL</source>
        <translation>record a test case (case add): the values given and the outputs the stored formula computes on them; prints [Label]&lt;TAB&gt;value for every non-NULL output</translation>
    </message>
    <message>
        <source>esegue i casi di prova conservati con le formule memorizzate: CONTESTO&lt;TAB&gt;ID&lt;TAB&gt;NOME CASO&lt;TAB&gt;PASS|FAIL&lt;TAB&gt;prima differenza (uscita 0 tutti superati, 1 altrimenti)</source>
        <translation>run the test cases kept with the stored formulas: CONTEXT&lt;TAB&gt;ID&lt;TAB&gt;CASE NAME&lt;TAB&gt;PASS|FAIL&lt;TAB&gt;first difference (exit 0 all pass, 1 otherwise)</translation>
    </message>
    <message>
        <source>L&apos;elemento con i suoi delimitatori, per esempio &quot;[Prezzo lordo]&quot;.</source>
        <translation>The element with its delimiters, e.g. &quot;[Prezzo lordo]&quot;.</translation>
    </message>
    <message>
        <source>che cos&apos;è un elemento: la sua variabile, il tipo SQL, il gruppo e l&apos;uso; l&apos;id e il tipo di valore di una categoria; il codice di una variante</source>
        <translation>what an element is: its variable, SQL type, group and use; a category&apos;s id and value type; a variant&apos;s code</translation>
    </message>
    <message>
        <source>Quanto digitato, per esempio &quot;[quantita 1&quot;.</source>
        <translation>What was typed, e.g. &quot;[quantita 1&quot;.</translation>
    </message>
    <message>
        <source>gli elementi che un frammento che inizia con [, { o | può diventare, i migliori prima, uno per riga (al massimo 50), scritti come vengono inseriti; uscita 1 se non ce n&apos;è nessuno</source>
        <translation>the elements a fragment starting with [, { or | may become, best first, one per line (at most 50), written as they are inserted; exit 1 when there is none</translation>
    </message>
    <message>
        <source>Stringa di connessione del database (predefinita: FORMULE_DB, poi la prima riga del file di FORMULE_DB_FILE, poi il database dimostrativo nella cartella dati dell&apos;utente, creato al primo uso).</source>
        <translation>Connection string of the database (default: FORMULE_DB, then the first line of the file of FORMULE_DB_FILE, then the demo database in the user&apos;s data folder, created on first use).</translation>
    </message>
    <message>
        <source>Lingua dei testi: it o en (predefinita: dalla localizzazione, LC_ALL, LC_MESSAGES o LANG; it* italiano, altrimenti inglese).</source>
        <translation>Language of the texts: it or en (default: from the locale, LC_ALL, LC_MESSAGES or LANG; it* Italian, otherwise English).</translation>
    </message>
    <message>
        <source>Codice della ditta (predefinito 1).</source>
        <translation>Company code (default 1).</translation>
    </message>
    <message>
        <source>Risposta a un passo che fallisce: abort (predefinita) o ignore. Gli errori vanno sullo standard error.</source>
        <translation>Answer to a failing step: abort (default) or ignore. Errors are printed on stderr.</translation>
    </message>
    <message>
        <source>Scrive sullo standard error il registro delle categorie formule.* (come QT_LOGGING_RULES=&quot;formule.*=true&quot;).</source>
        <translation>Write the log of the formule.* categories on standard error (as QT_LOGGING_RULES=&quot;formule.*=true&quot;).</translation>
    </message>
    <message>
        <source>Mostra questo aiuto.</source>
        <translation>Show this help.</translation>
    </message>
    <message>
        <source>Mostra la versione.</source>
        <translation>Show the version.</translation>
    </message>
    <message>
        <source>formule: gli strumenti dell&apos;editor di formule dei listini.</source>
        <translation>formule: tools of the formula editor for price lists.</translation>
    </message>
    <message>
        <source>Uso: formule [opzioni comuni] COMANDO [argomenti]</source>
        <translation>Usage: formule [common options] COMMAND [arguments]</translation>
    </message>
    <message>
        <source>Comandi:</source>
        <translation>Commands:</translation>
    </message>
    <message>
        <source>Opzioni comuni a ogni comando:</source>
        <translation>Options common to every command:</translation>
    </message>
    <message>
        <source>&quot;formule COMANDO --help&quot; mostra le opzioni e un esempio di un comando.</source>
        <translation>&quot;formule COMMAND --help&quot; shows the options and an example of a command.</translation>
    </message>
    <message>
        <source>Codici di uscita: 0 riuscito, 1 esito negativo, 2 uso errato o database non disponibile.</source>
        <translation>Exit codes: 0 success, 1 negative outcome, 2 bad usage or no database.</translation>
    </message>
    <message>
        <source>Uso:</source>
        <translation>Usage:</translation>
    </message>
    <message>
        <source>Opzioni:</source>
        <translation>Options:</translation>
    </message>
    <message>
        <source>Argomenti:</source>
        <translation>Arguments:</translation>
    </message>
    <message>
        <source>Esempio:</source>
        <translation>Example:</translation>
    </message>
    <message>
        <source>NOME</source>
        <translation>NAME</translation>
    </message>
    <message>
        <source>gli strumenti dell&apos;editor di formule dei listini</source>
        <translation>tools of the formula editor for price lists</translation>
    </message>
    <message>
        <source>SINTESI</source>
        <translation>SYNOPSIS</translation>
    </message>
    <message>
        <source>DESCRIZIONE</source>
        <translation>DESCRIPTION</translation>
    </message>
    <message>
        <source>formule lavora sulle formule memorizzate nel database di --db: le controlla, le esegue su valori di prova, le salva con la loro storia, le esporta e importa, e serve il database ai client SQL Server.</source>
        <translation>formule works on the formulas stored in the database of --db: it checks them, runs them on trial values, saves them with their history, exports and imports them, and serves the database to SQL Server clients.</translation>
    </message>
    <message>
        <source>COMANDI</source>
        <translation>COMMANDS</translation>
    </message>
    <message>
        <source>OPZIONI COMUNI</source>
        <translation>COMMON OPTIONS</translation>
    </message>
    <message>
        <source>AMBIENTE</source>
        <translation>ENVIRONMENT</translation>
    </message>
    <message>
        <source>LC_ALL, LC_MESSAGES, LANG: la lingua dei testi quando manca --lang. FORMULE_DB: la stringa di connessione quando manca --db; FORMULE_DB_FILE: un file la cui prima riga la contiene. FORMULE_PASSWORD: la password di serve. QT_LOGGING_RULES: il registro delle categorie formule.*.</source>
        <translation>LC_ALL, LC_MESSAGES, LANG: the language of the texts when --lang is left out. FORMULE_DB: the connection string when --db is left out; FORMULE_DB_FILE: a file whose first line holds it. FORMULE_PASSWORD: the password of serve. QT_LOGGING_RULES: the log of the formule.* categories.</translation>
    </message>
    <message>
        <source>STATO DI USCITA</source>
        <translation>EXIT STATUS</translation>
    </message>
    <message>
        <source>comando sconosciuto &quot;%1&quot; (vedi formule --help)</source>
        <translation>unknown command &quot;%1&quot; (see formule --help)</translation>
    </message>
    <message>
        <source>mostra l&apos;aiuto dello strumento o di un comando; --man la pagina di manuale (roff), --completion lo script di completamento di bash</source>
        <translation>show the help of the tool or of a command; --man the manual page (roff), --completion the bash completion script</translation>
    </message>
    <message>
        <source>Stampa la pagina di manuale in formato roff.</source>
        <translation>Print the manual page in roff.</translation>
    </message>
    <message>
        <source>Stampa lo script di completamento di bash.</source>
        <translation>Print the bash completion script.</translation>
    </message>
    <message>
        <source>Il comando da descrivere.</source>
        <translation>The command to describe.</translation>
    </message>
    <message>
        <source>--lang deve essere it o en, non &quot;%1&quot;</source>
        <translation>--lang must be it or en, not &quot;%1&quot;</translation>
    </message>
    <message>
        <source>--company deve essere un numero intero, non &quot;%1&quot;: %2</source>
        <translation>--company must be a whole number, not &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>--on-error deve essere abort o ignore, non &quot;%1&quot;</source>
        <translation>--on-error must be abort or ignore, not &quot;%1&quot;</translation>
    </message>
    <message>
        <source>errore %1: %2</source>
        <translation>error %1: %2</translation>
    </message>
    <message>
        <source>FORMULE_DB_FILE: il file &quot;%1&quot; non si può leggere</source>
        <translation>FORMULE_DB_FILE: the file &quot;%1&quot; cannot be read</translation>
    </message>
    <message>
        <source>nessun comando indicato (vedi formule --help)</source>
        <translation>no command given (see formule --help)</translation>
    </message>
    <message>
        <source>%1 usa il database %2 (--db non indicato)</source>
        <translation>%1 uses the database %2 (--db not given)</translation>
    </message>
    <message>
        <source>Ospite dimostrativo del componente editor di formule</source>
        <translation>Demo host of the formula editor component</translation>
    </message>
    <message>
        <source>Con un&apos;immagine: commenta le righe da FIRST a LAST della formula (Ctrl+/).</source>
        <translation>With a screenshot: comment out lines FIRST to LAST of the formula (Ctrl+/).</translation>
    </message>
    <message>
        <source>Con un&apos;immagine: apri il campo di Ctrl+G (vai alla riga).</source>
        <translation>With a screenshot: open the field of Ctrl+G (go to line).</translation>
    </message>
    <message>
        <source>Con --find: il testo del campo di sostituzione.</source>
        <translation>With --find: the text of the replacement field.</translation>
    </message>
    <message>
        <source>Con un&apos;immagine: apri la barra trova e sostituisci della casella della formula (Ctrl+R) con questo testo e seleziona la prima occorrenza.</source>
        <translation>With a screenshot: open the formula box&apos;s find and replace bar (Ctrl+R) with this text and select the first match.</translation>
    </message>
    <message>
        <source>I colori del programma: quelli dello stile (light, il predefinito) o una tavolozza scura (dark).</source>
        <translation>The colours of the program: the style&apos;s own (light, the default) or a dark palette.</translation>
    </message>
    <message>
        <source>Esegui fuori schermo la finestra &quot;Verifica formule&quot; fino alla fine, salvala come PNG ed esci.</source>
        <translation>Run the window &quot;Verifica formule&quot; off screen to its end, save it as PNG and exit.</translation>
    </message>
    <message>
        <source>Metti il testo di --formula nella casella (o aggiungi una riga alla formula memorizzata), chiudi l&apos;editor senza salvare la modifica, riapri il record e salva come PNG la sua offerta della bozza.</source>
        <translation>Put --formula&apos;s text into the box (or add a line to the stored formula), close the editor with the change unsaved, open the record again and save its offer of the draft as PNG.</translation>
    </message>
    <message>
        <source>Con --impact-screenshot: le righe da generare, come le accetta il campo dell&apos;anteprima (&quot;[Prezzo lordo - CURR]=da 10 a 1000 passo 10&quot;).</source>
        <translation>With --impact-screenshot: the rows to generate, as the preview&apos;s field takes them (&quot;[Prezzo lordo - CURR]=da 10 a 1000 passo 10&quot;).</translation>
    </message>
    <message>
        <source>Come --screenshot, ma apri l&apos;anteprima dell&apos;impatto con il suo pulsante (che la esegue sui casi di prova del record), eseguila di nuovo con le righe di --impact-generate e disegna l&apos;anteprima.</source>
        <translation>Like --screenshot, but open the impact preview with its button (which runs it over the record&apos;s test cases), run it again with the --impact-generate rows and render the preview.</translation>
    </message>
    <message>
        <source>Con --trial-screenshot: il valore di un ingresso del pannello, per elemento (@ATTPREZZO, C:123 per l&apos;id di una categoria, V:V01 per il codice di una variante); ripetibile.</source>
        <translation>With --trial-screenshot: the value of one input of the panel, by its element (@ATTPREZZO, C:123 for a category id, V:V01 for a variant code); repeatable.</translation>
    </message>
    <message>
        <source>Come --screenshot, ma apri il pannello di prova, scrivi i valori di --trial-value, premi &quot;Prova&quot; e disegna l&apos;editor con il pannello accanto.</source>
        <translation>Like --screenshot, but open the trial panel, type the --trial-value values, press &quot;Prova&quot; and render the editor with the panel beside it.</translation>
    </message>
    <message>
        <source>Con un&apos;immagine: disegna subito e stampa sullo standard error i millisecondi dall&apos;avvio del programma al primo disegno dell&apos;editor (e dell&apos;espansione dell&apos;intero albero con --expand-tree) e la memoria residente.</source>
        <translation>With a screenshot: render at once and print on standard error the milliseconds from the start of the program to the editor&apos;s first paint (and of the expansion of the whole tree with --expand-tree) and the resident memory.</translation>
    </message>
    <message>
        <source>Con un&apos;immagine: mostra il suggerimento del primo nodo visibile dell&apos;albero con questo testo.</source>
        <translation>With a screenshot: show the tooltip of the first visible tree node with this text.</translation>
    </message>
    <message>
        <source>Con un&apos;immagine: scrivi questo testo nella casella di ricerca dell&apos;albero.</source>
        <translation>With a screenshot: type this text into the search box of the tree.</translation>
    </message>
    <message>
        <source>Con un&apos;immagine: scrivi questo testo alla fine della formula e apri l&apos;elenco di completamento (Ctrl+Spazio).</source>
        <translation>With a screenshot: type this text at the end of the formula and open the completion list (Ctrl+Space).</translation>
    </message>
    <message>
        <source>Con un&apos;immagine: apri anche la finestra delle istruzioni dal pulsante della legenda dell&apos;editor e salvala come PNG.</source>
        <translation>With a screenshot: also open the instructions window from the editor&apos;s legend button and save it as PNG.</translation>
    </message>
    <message>
        <source>Con un&apos;immagine: premi prima il pulsante di controllo (la finestra di messaggio risponde da sé) e mostra dove il controllo è fallito.</source>
        <translation>With a screenshot: press the check button first (the message box answers by itself) and show where the check failed.</translation>
    </message>
    <message>
        <source>Con un&apos;immagine: metti prima questo testo in forma visualizzata nella casella della formula.</source>
        <translation>With a screenshot: put this display-form text into the formula box first.</translation>
    </message>
    <message>
        <source>Con un&apos;immagine: espandi prima l&apos;intero albero degli elementi (il pulsante espandi/comprimi).</source>
        <translation>With a screenshot: expand the whole element tree first (the expand/collapse button).</translation>
    </message>
    <message>
        <source>Varianti del configuratore della ditta (on, off; predefinito off).</source>
        <translation>Configurator variants of the company (on, off; default off).</translation>
    </message>
    <message>
        <source>Come --screenshot, ma disegna l&apos;intera finestra dell&apos;ospite con l&apos;editor nella sua area multi-documento.</source>
        <translation>Like --screenshot, but render the whole host window with the editor in its multi-document area.</translation>
    </message>
    <message>
        <source>Disegna la finestra dell&apos;editor fuori schermo dopo la prima attivazione, salvala come PNG ed esci.</source>
        <translation>Render the editor window off screen after its first activation, save it as PNG and exit.</translation>
    </message>
    <message>
        <source>Apri l&apos;editor in modo modale.</source>
        <translation>Open the editor modal.</translation>
    </message>
    <message>
        <source>Identificativo del record da aprire subito.</source>
        <translation>Identifier of the record to open at once.</translation>
    </message>
    <message>
        <source>Contesto di modifica del record da aprire subito (0, 1, 2).</source>
        <translation>Editing context of the record to open at once (0, 1, 2).</translation>
    </message>
    <message>
        <source>Lingua dell&apos;ospite: it o en (predefinita: dalla localizzazione, LC_ALL, LC_MESSAGES o LANG).</source>
        <translation>Language of the host: it or en (default: from the locale, LC_ALL, LC_MESSAGES or LANG).</translation>
    </message>
    <message>
        <source>Stringa di connessione ADO del database.</source>
        <translation>ADO connection string of the database.</translation>
    </message>
    <message>
        <source>il pannello di prova non si è aperto</source>
        <translation>the trial panel did not open</translation>
    </message>
    <message>
        <source>l&apos;anteprima dell&apos;impatto non si è aperta</source>
        <translation>the impact preview did not open</translation>
    </message>
    <message>
        <source>--company vuole un numero</source>
        <translation>--company needs a number</translation>
    </message>
    <message>
        <source>--variants accetta on o off</source>
        <translation>--variants takes on or off</translation>
    </message>
    <message>
        <source>--host-screenshot mostra un editor non modale; togli --modal</source>
        <translation>--host-screenshot shows a modeless editor; leave out --modal</translation>
    </message>
    <message>
        <source>un&apos;immagine richiede --context e --id</source>
        <translation>a screenshot needs --context and --id</translation>
    </message>
    <message>
        <source>--context vuole un numero</source>
        <translation>--context needs a number</translation>
    </message>
    <message>
        <source>l&apos;editor non ha offerto alcuna bozza</source>
        <translation>the editor offered no draft</translation>
    </message>
    <message>
        <source>la finestra dell&apos;editor non si è aperta</source>
        <translation>the editor window did not open</translation>
    </message>
    <message>
        <source>%1 non si può scrivere</source>
        <translation>cannot write %1</translation>
    </message>
    <message>
        <source>la formula non legge alcun elemento %1</source>
        <translation>the formula reads no element %1</translation>
    </message>
    <message>
        <source>la libreria del componente non si può caricare: %1</source>
        <translation>cannot load the component library: %1</translation>
    </message>
    <message>
        <source>i record non si possono leggere: %1</source>
        <translation>cannot read the records: %1</translation>
    </message>
    <message>
        <source>nessuno schermo; indica --screenshot FILE (con --context e --id) per disegnare l&apos;editor fuori schermo</source>
        <translation>no display; give --screenshot FILE (with --context and --id) to render the editor off screen</translation>
    </message>
    <message>
        <source>connessione</source>
        <translation>connection</translation>
    </message>
    <message>
        <source>codice</source>
        <translation>code</translation>
    </message>
    <message>
        <source>residente %1 MB, picco %2 MB</source>
        <translation>resident %1 MB, peak %2 MB</translation>
    </message>
    <message>
        <source>prova: %1</source>
        <translation>trial: %1</translation>
    </message>
    <message>
        <source>impatto: %1</source>
        <translation>impact: %1</translation>
    </message>
    <message>
        <source>primo disegno %1 ms, %2</source>
        <translation>first paint %1 ms, %2</translation>
    </message>
    <message>
        <source>catalogo pronto %1 ms, %2</source>
        <translation>catalogue ready %1 ms, %2</translation>
    </message>
    <message>
        <source>espansione completa %1 ms, %2</source>
        <translation>expand-all %1 ms, %2</translation>
    </message>
    <message>
        <source>verifica-formule.csv</source>
        <translation>formula-check.csv</translation>
    </message>
    <message>
        <source>nessuna istruzione indicata</source>
        <translation>no statement given</translation>
    </message>
    <message>
        <source>(1 riga interessata)</source>
        <translation>(1 row affected)</translation>
    </message>
    <message>
        <source>(%1 righe interessate)</source>
        <translation>(%1 rows affected)</translation>
    </message>
    <message>
        <source>file del database creato</source>
        <translation>database file created</translation>
    </message>
    <message>
        <source>schema già presente</source>
        <translation>schema already present</translation>
    </message>
    <message>
        <source>tabelle create: %1</source>
        <translation>tables created: %1</translation>
    </message>
    <message>
        <source>righe dimostrative caricate: %1</source>
        <translation>demo rows loaded: %1</translation>
    </message>
    <message>
        <source>Il batch.</source>
        <translation>The batch.</translation>
    </message>
    <message>
        <source>--context deve essere 0, 1 o 2, non &quot;%1&quot;</source>
        <translation>--context must be 0, 1 or 2, not &quot;%1&quot;</translation>
    </message>
    <message>
        <source>%1 formule in %2 s</source>
        <translation>%1 formulas in %2 s</translation>
    </message>
    <message>
        <source>--context deve essere 0 (condizione), 1 (listino) o 2 (manutenzione listini), non &quot;%1&quot;</source>
        <translation>--context must be 0 (provider), 1 (price list) or 2 (price-list maintenance), not &quot;%1&quot;</translation>
    </message>
    <message>
        <source>--variants deve essere on o off, non &quot;%1&quot;</source>
        <translation>--variants must be on or off, not &quot;%1&quot;</translation>
    </message>
    <message>
        <source>--id è obbligatorio (il record che contiene la formula)</source>
        <translation>--id is required (the record that holds the formula)</translation>
    </message>
    <message>
        <source>--id deve essere un numero intero, non &quot;%1&quot;: %2</source>
        <translation>--id must be a whole number, not &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>è vuoto</source>
        <translation>it is empty</translation>
    </message>
    <message>
        <source>%1 al carattere %2 non è una cifra decimale</source>
        <translation>%1 at character %2 is not a decimal digit</translation>
    </message>
    <message>
        <source>ha più di 18 cifre</source>
        <translation>it has more than 18 digits</translation>
    </message>
    <message>
        <source>supera %1</source>
        <translation>it is above %1</translation>
    </message>
    <message>
        <source>il database non si può aprire: %1</source>
        <translation>cannot open the database: %1</translation>
    </message>
    <message>
        <source>serve il database incorporato di --db via TDS ai client SQL Server (il driver ODBC di FreeTDS e tsql, Provider=MSOLEDBSQL;Data Source=HOST,PORT); stampa &quot;listening on HOST:PORT&quot; quando è pronto (porta 0: una porta libera); la password da FILE, da FORMULE_PASSWORD o da --password; solo loopback senza --allow-remote (nessuna cifratura); --read-only: nessuna modifica al database; TLS (la cifratura come la negozia SQL Server) con il certificato di --tls-cert/--tls-key o uno creato all&apos;avvio (--tls-self-signed; la sua impronta SHA-256 stampata dopo &quot;listening on&quot;); --require-encryption rifiuta i client che non cifrano; si ferma con SIGTERM</source>
        <translation>serve the embedded database of --db over TDS to SQL Server clients (FreeTDS&apos;s ODBC driver and tsql, Provider=MSOLEDBSQL;Data Source=HOST,PORT); prints &quot;listening on HOST:PORT&quot; once ready (port 0: a free port); the password from FILE, from FORMULE_PASSWORD or --password; loopback unless --allow-remote (no encryption); --read-only: no change to the database; TLS (encryption as SQL Server negotiates it) with the certificate of --tls-cert/--tls-key or one made at start (--tls-self-signed; its SHA-256 fingerprint printed after &quot;listening on&quot;); --require-encryption refuses clients that do not encrypt; stops on SIGTERM</translation>
    </message>
    <message>
        <source>Il certificato del server per TLS, PEM (può seguirlo la sua catena).</source>
        <translation>The server&apos;s certificate for TLS, PEM (its chain may follow).</translation>
    </message>
    <message>
        <source>La chiave privata di --tls-cert, PEM senza passphrase.</source>
        <translation>The private key of --tls-cert, PEM without a passphrase.</translation>
    </message>
    <message>
        <source>Crea un certificato autofirmato all&apos;avvio e ne stampa l&apos;impronta.</source>
        <translation>Make a self-signed certificate at start and print its fingerprint.</translation>
    </message>
    <message>
        <source>Rifiuta i client che non cifrano tutta la sessione.</source>
        <translation>Refuse clients that do not encrypt the whole session.</translation>
    </message>
    <message>
        <source>indica l&apos;elemento: [etichetta], @VARIABILE, {codice categoria} o |codice variante|</source>
        <translation>name the element: [label], @VARIABLE, {category code} or |variant code|</translation>
    </message>
    <message>
        <source>&quot;%1&quot; non è un&apos;etichetta del dizionario, una variabile, una {categoria} o una |variante|</source>
        <translation>&quot;%1&quot; is no label of the dictionary, variable, {category} or |variant|</translation>
    </message>
    <message>
        <source>nessuna categoria con codice %1</source>
        <translation>no category with code %1</translation>
    </message>
    <message>
        <source>--format deve essere tsv, csv o json e --jobs un numero intero da 1 a 64</source>
        <translation>--format must be tsv, csv or json and --jobs a whole number from 1 to 64</translation>
    </message>
    <message>
        <source>dai un solo frammento che inizia con [, { o | (tra virgolette)</source>
        <translation>give one fragment that starts with [, { or | (quote it)</translation>
    </message>
    <message>
        <source>dai un solo elemento con i suoi delimitatori (tra virgolette)</source>
        <translation>give one element with its delimiters (quote it)</translation>
    </message>
    <message>
        <source>elemento sconosciuto %1</source>
        <translation>unknown element %1</translation>
    </message>
    <message>
        <source>nessuna traccia su questa connessione (la dà il motore incorporato, SQL Server no)</source>
        <translation>no trace on this connection (the embedded engine gives one, SQL Server does not)</translation>
    </message>
    <message>
        <source>righe eseguite: %1</source>
        <translation>executed lines: %1</translation>
    </message>
    <message>
        <source>percorso: %1</source>
        <translation>path: %1</translation>
    </message>
    <message>
        <source>riga della formula %1</source>
        <translation>formula line %1</translation>
    </message>
    <message>
        <source>--id vuole l&apos;id del record: %1</source>
        <translation>--id takes the record&apos;s id: %1</translation>
    </message>
    <message>
        <source>--%1 vuole NOME=VALORE, non &quot;%2&quot;</source>
        <translation>--%1 takes NAME=VALUE, not &quot;%2&quot;</translation>
    </message>
    <message>
        <source>elemento sconosciuto &quot;%1&quot; (un&apos;etichetta senza parentesi o una variabile)</source>
        <translation>unknown element &quot;%1&quot; (a label without brackets or a variable)</translation>
    </message>
    <message>
        <source>--category vuole l&apos;id della categoria, un numero intero, non &quot;%1&quot;</source>
        <translation>--category takes the category&apos;s id, a whole number, not &quot;%1&quot;</translation>
    </message>
    <message>
        <source>--variant vuole CODICE=VALORE, non &quot;=%1&quot;</source>
        <translation>--variant takes CODE=VALUE, not &quot;=%1&quot;</translation>
    </message>
    <message>
        <source>l&apos;unica azione è add (formule case add --context N --id ID --name NOME)</source>
        <translation>the only action is add (formule case add --context N --id ID --name NAME)</translation>
    </message>
    <message>
        <source>--context, --id e --name sono obbligatori</source>
        <translation>--context, --id and --name are required</translation>
    </message>
    <message>
        <source>--format deve essere tsv, csv o json, non &quot;%1&quot;</source>
        <translation>--format must be tsv, csv or json, not &quot;%1&quot;</translation>
    </message>
    <message>
        <source>--context e --id sono obbligatori</source>
        <translation>--context and --id are required</translation>
    </message>
    <message>
        <source>--top vuole il numero di righe da mostrare (al massimo 10000): %1</source>
        <translation>--top takes the number of rows to show (at most 10000): %1</translation>
    </message>
    <message>
        <source>--format deve essere text, tsv, csv o json, non &quot;%1&quot;</source>
        <translation>--format must be text, tsv, csv or json, not &quot;%1&quot;</translation>
    </message>
    <message>
        <source>--numbers deve essere C o language, non &quot;%1&quot;</source>
        <translation>--numbers must be C or language, not &quot;%1&quot;</translation>
    </message>
    <message>
        <source>%1 contiene un byte NUL alla posizione di byte %2</source>
        <translation>%1 holds a NUL byte at byte offset %2</translation>
    </message>
    <message>
        <source>%1 non è UTF-8 valido alla posizione di byte %2</source>
        <translation>%1 is not valid UTF-8 at byte offset %2</translation>
    </message>
    <message>
        <source>lo standard input</source>
        <translation>standard input</translation>
    </message>
    <message>
        <source>l&apos;argomento %1</source>
        <translation>argument %1</translation>
    </message>
</context>
</TS>
