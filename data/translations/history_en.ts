<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="it_IT">
<context>
    <name>formule</name>
    <message><source>Il database non ha la tabella delle versioni delle formule (LP31_VERSIONI): esegui formule init-db</source><translation>The database has no table of formula versions (LP31_VERSIONI): run formule init-db</translation></message>
    <message><source>L'identificativo del record (%1) non è un numero intero: la versione non si può registrare</source><translation>The record's identifier (%1) is not a whole number: the version cannot be recorded</translation></message>
    <message><source>Il commento supera i %1 caratteri</source><translation>The comment is longer than %1 characters</translation></message>
    <message><source>Il commento non può andare a capo né contenere tabulazioni</source><translation>The comment cannot hold a line break or a tab</translation></message>
    <message><source>La formula è stata modificata nel frattempo: attesa la versione %1, c'è la versione %2 salvata da %3 il %4 (UTC). Nulla è stato scritto</source><translation>The formula was changed meanwhile: version %1 was expected, there is version %2 saved by %3 on %4 (UTC). Nothing was written</translation></message>
    <message><source>La versione %1 della formula (contesto %2, id %3) non esiste</source><translation>Version %1 of the formula (context %2, id %3) does not exist</translation></message>
    <message><source>La formula (contesto %1, id %2) non ha versioni registrate</source><translation>The formula (context %1, id %2) has no versions recorded</translation></message>
    <message><source>(sconosciuto)</source><translation>(unknown)</translation></message>
    <message><source>versione %1 registrata nella cronologia della formula</source><translation>version %1 recorded in the formula's history</translation></message>
    <message><source>nessuna versione registrata: il database non ha la tabella LP31_VERSIONI (formule init-db la aggiunge)</source><translation>no version recorded: the database has no table LP31_VERSIONI (formule init-db adds it)</translation></message>
    <message><source>--expect-version vuole il numero di una versione (0: nessuna versione registrata), non &quot;%1&quot;</source><translation>--expect-version takes a version number (0: no version recorded), not &quot;%1&quot;</translation></message>
    <message><source>%1 vuole il numero di una versione, non &quot;%2&quot;</source><translation>%1 takes a version number, not &quot;%2&quot;</translation></message>
    <message><source>--version è obbligatorio: il numero della versione da ripristinare</source><translation>--version is required: the number of the version to restore</translation></message>
    <message><source>--to e --text non vanno insieme: si confronta con l'una o con l'altro</source><translation>--to and --text do not go together: the comparison is with one or the other</translation></message>
    <message><source>--format vuole tsv, csv o json, non &quot;%1&quot;</source><translation>--format takes tsv, csv or json, not &quot;%1&quot;</translation></message>
    <message><source>--prune-before vuole una data AAAA-MM-GG o un istante UTC AAAA-MM-GGTHH:MM:SSZ, non &quot;%1&quot;</source><translation>--prune-before takes a date YYYY-MM-DD or a UTC time YYYY-MM-DDTHH:MM:SSZ, not &quot;%1&quot;</translation></message>
    <message><source>--prune-before riguarda tutte le formule: non va dato con --context o --id</source><translation>--prune-before concerns every formula: it is not given with --context or --id</translation></message>
    <message><source>versioni eliminate: %1</source><translation>versions deleted: %1</translation></message>
    <message><source>la versione %1 non si lascia mostrare nella forma visualizzata: è rimasta com'è nel database</source><translation>version %1 cannot be shown in display form: it is left as it is in the database</translation></message>
    <message><source>la formula ha una sola versione: non c'è una versione precedente</source><translation>the formula has one version only: there is no version before it</translation></message>
    <message><source>manca la prima riga &quot;-- formule export 1&quot;: non è un file di formule esportato</source><translation>the first line &quot;-- formule export 1&quot; is missing: this is not an exported formula file</translation></message>
    <message><source>l'intestazione non ha la riga &quot;-- %1: ...&quot;</source><translation>the header has no line &quot;-- %1: ...&quot;</translation></message>
    <message><source>il valore di &quot;%1&quot; nell'intestazione non è valido</source><translation>the value of &quot;%1&quot; in the header is not valid</translation></message>
    <message><source>l'intestazione non termina con una riga vuota prima della formula</source><translation>the header does not end with an empty line before the formula</translation></message>
    <message><source>la forma SQL dell'intestazione non corrisponde al suo hash</source><translation>the SQL form of the header does not match its hash</translation></message>
    <message><source>riga del manifest non valida</source><translation>invalid manifest line</translation></message>
    <message><source>serve la cartella: DIR</source><translation>the folder is required: DIR</translation></message>
    <message><source>la cartella %1 non è vuota e non ha un manifest.tsv: l'esportazione scrive solo in una cartella vuota o in una sua esportazione precedente</source><translation>the folder %1 is not empty and has no manifest.tsv: the export writes only into an empty folder or an earlier export of its own</translation></message>
    <message><source>la cartella %1 non esiste</source><translation>the folder %1 does not exist</translation></message>
    <message><source>--context vuole 0, 1 o 2</source><translation>--context takes 0, 1 or 2</translation></message>
    <message><source>il file %1 non si può scrivere</source><translation>the file %1 cannot be written</translation></message>
    <message><source>formule esportate: %1 in %2</source><translation>formulas exported: %1 into %2</translation></message>
    <message><source>file di un'esportazione precedente rimossi: %1</source><translation>files of an earlier export removed: %1</translation></message>
    <message><source>la forma visualizzata non si ritraduce esattamente nella forma SQL memorizzata: il file la conserva nell'intestazione (sql-base64)</source><translation>the display form does not translate back exactly to the stored SQL form: the file keeps it in its header (sql-base64)</translation></message>
    <message><source>il file supera i %1 byte</source><translation>the file is larger than %1 bytes</translation></message>
    <message><source>il file non si può leggere</source><translation>the file cannot be read</translation></message>
    <message><source>il record %1 non esiste nel contesto %2</source><translation>record %1 does not exist in context %2</translation></message>
    <message><source>lo stesso record è già nel file %1</source><translation>the same record is already in file %1</translation></message>
    <message><source>il testo non è UTF-8 valido (byte %1)</source><translation>the text is not valid UTF-8 (byte %1)</translation></message>
    <message><source>il testo contiene un byte NUL (byte %1)</source><translation>the text holds a NUL byte (byte %1)</translation></message>
    <message><source>nulla è stato scritto</source><translation>nothing was written</translation></message>
    <message><source>la formula non si traduce nella forma SQL in questo database</source><translation>the formula does not translate to SQL form in this database</translation></message>
    <message><source>prova: %1 file cambierebbero una formula; nulla è stato scritto</source><translation>dry run: %1 files would change a formula; nothing was written</translation></message>
    <message><source>nessun file cambia una formula: nulla da scrivere</source><translation>no file changes a formula: nothing to write</translation></message>
    <message><source>alcune formule non superano il controllo: nulla è stato scritto (--yes le importa comunque)</source><translation>some formulas fail the check: nothing was written (--yes imports them all the same)</translation></message>
    <message><source>alcune formule non si traducono: nulla è stato scritto</source><translation>some formulas do not translate: nothing was written</translation></message>
    <message><source>scrittura non riuscita (%1): %2; nulla è stato scritto</source><translation>write failed (%1): %2; nothing was written</translation></message>
    <message><source>formule importate: %1, ciascuna come nuova versione &quot;import&quot;</source><translation>formulas imported: %1, each as a new version &quot;import&quot;</translation></message>
</context>
</TS>
