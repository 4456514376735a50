<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="it_IT">
<context>
    <name>formule</name>
    <message><source>Anteprima impatto</source><translation>Impact preview</translation></message>
    <message><source>Anteprima impatto (Ctrl+I)</source><translation>Impact preview (Ctrl+I)</translation></message>
    <message><source>Casi di prova del record</source><translation>The record's test cases</translation></message>
    <message><source>File CSV:</source><translation>CSV file:</translation></message>
    <message><source>Sfoglia...</source><translation>Browse...</translation></message>
    <message><source>Numeri e date come 1234.5 e 2026-12-31</source><translation>Numbers and dates as 1234.5 and 2026-12-31</translation></message>
    <message><source>Numeri e date nella lingua dell'utente</source><translation>Numbers and dates in the user's language</translation></message>
    <message><source>Righe generate:</source><translation>Generated rows:</translation></message>
    <message><source>[Prezzo lordo - CURR]=da 10 a 100 passo 10</source><translation>[Gross price - CURR]=from 10 to 100 step 10</translation></message>
    <message><source>Calcola</source><translation>Compute</translation></message>
    <message><source>Risultato:</source><translation>Output:</translation></message>
    <message><source>Scegli il file CSV</source><translation>Choose the CSV file</translation></message>
    <message><source>File CSV (*.csv);;Tutti i file (*)</source><translation>CSV files (*.csv);;All files (*)</translation></message>
    <message><source>%1 di %2 righe</source><translation>%1 of %2 rows</translation></message>
    <message><source>%1 righe</source><translation>%1 rows</translation></message>
    <message><source>Variazione % di %1</source><translation>Percent change of %1</translation></message>
    <message><source>Righe per intervallo</source><translation>Rows per range</translation></message>
    <message><source>Origine</source><translation>Source</translation></message>
    <message><source>Variazione</source><translation>Change</translation></message>
    <message><source>Variazione %</source><translation>Change %</translation></message>
    <message><source>Valori</source><translation>Values</translation></message>
    <message><source>Doppio clic su una riga: i suoi valori vanno nel pannello di prova.</source><translation>Double-click a row: its values go into the trial panel.</translation></message>
    <message><source>Righe lette: %1 · eseguite da entrambe le formule: %2 · cambiate: %3</source><translation>Rows read: %1 · run by both formulas: %2 · changed: %3</translation></message>
    <message><source>Errori della sola formula memorizzata: %1 · della sola nuova: %2 · di entrambe: %3</source><translation>Errors of the stored formula only: %1 · of the new one only: %2 · of both: %3</translation></message>
    <message><source>%1: la formula memorizzata dà errore: %2</source><translation>%1: the stored formula fails: %2</translation></message>
    <message><source>%1: la nuova formula dà errore: %2</source><translation>%1: the new formula fails: %2</translation></message>
    <message><source>Variazione assoluta</source><translation>Absolute change</translation></message>
    <message><source>%1: minimo %2 · p5 %3 · p25 %4 · mediana %5 · p75 %6 · p95 %7 · massimo %8</source><translation>%1: minimum %2 · p5 %3 · p25 %4 · median %5 · p75 %6 · p95 %7 · maximum %8</translation></message>
    <message><source>Formula memorizzata: %1</source><translation>Stored formula: %1</translation></message>
    <message><source>Interrotta: le cifre sono quelle delle righe lette fin qui.</source><translation>Stopped: the figures are those of the rows read so far.</translation></message>
    <message><source>Nessuna delle due formule imposta un risultato su queste righe.</source><translation>Neither formula sets an output on these rows.</translation></message>
    <message><source>Nessuna riga da provare: il record non ha casi di prova. Scegli un file CSV o scrivi le righe da generare.</source><translation>No rows to try: the record has no test cases. Choose a CSV file or write the rows to generate.</translation></message>
    <message><source>Il file CSV non si lascia aprire: %1</source><translation>The CSV file cannot be opened: %1</translation></message>
    <message><source>File CSV, riga %1, colonna %2: %3</source><translation>CSV file, line %1, column %2: %3</translation></message>
    <message><source>File CSV: %1</source><translation>CSV file: %1</translation></message>
    <message><source>Righe generate, carattere %1: %2</source><translation>Generated rows, character %1: %2</translation></message>
    <message><source>Righe generate: %1</source><translation>Generated rows: %1</translation></message>
</context>
</TS>
