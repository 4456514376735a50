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
</context>
</TS>
