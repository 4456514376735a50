<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="it_IT">
<context>
    <name>formule</name>
    <message><source>«%1» non è un numero valido per %2</source><translation>“%1” is not a valid number for %2</translation></message>
    <message><source>%1 non sta in %2</source><translation>%1 does not fit in %2</translation></message>
    <message><source>«%1» supera i %2 caratteri</source><translation>“%1” is longer than %2 characters</translation></message>
    <message><source>«%1» non è una data (aaaa-mm-gg oppure gg/mm/aaaa)</source><translation>“%1” is not a date (yyyy-mm-dd or dd/mm/yyyy)</translation></message>
    <message><source>un valore non può andare a capo</source><translation>a value cannot hold a line break</translation></message>
    <message><source>Valore non ammesso per %1: %2</source><translation>Value not allowed for %1: %2</translation></message>
    <message><source>La formula è terminata prima che i risultati fossero letti (RETURN)</source><translation>The formula ended before its results were read (RETURN)</translation></message>
    <message><source>Prova della formula</source><translation>Formula trial</translation></message>
    <message><source>Prova</source><translation>Try</translation></message>
    <message><source>Prova la formula (Ctrl+T)</source><translation>Try the formula (Ctrl+T)</translation></message>
    <message><source>Elemento</source><translation>Element</translation></message>
    <message><source>Tipo</source><translation>Type</translation></message>
    <message><source>Valore</source><translation>Value</translation></message>
    <message><source>Risultato</source><translation>Output</translation></message>
    <message><source>Prima</source><translation>Before</translation></message>
    <message><source>Dopo</source><translation>After</translation></message>
    <message><source>Eseguita: le righe segnate a sinistra della formula sono state eseguite.</source><translation>Done: the lines marked left of the formula ran.</translation></message>
    <message><source>Eseguita. Su SQL Server la traccia delle righe eseguite non è disponibile.</source><translation>Done. On SQL Server the trace of the lines that ran is not available.</translation></message>
    <message><source>l'ha eseguita il valutatore compilato</source><translation>the compiled evaluator ran it</translation></message>
    <message><source>l'ha eseguita il motore: %1</source><translation>the engine ran it: %1</translation></message>
    <message><source>l'ha eseguita il motore: %1 alla riga %2</source><translation>the engine ran it: %1 at line %2</translation></message>
    <message><source>l'ha eseguita il motore: %1 alla riga %2, colonna %3</source><translation>the engine ran it: %1 at line %2, column %3</translation></message>
    <message><source>l'ha eseguita SQL Server, il riferimento su questa connessione</source><translation>SQL Server ran it, the reference on this connection</translation></message>
    <message><source>l'ha eseguita il motore: il valutatore compilato è stato escluso</source><translation>the engine ran it: the compiled evaluator was left out</translation></message>
    <message><source>l'ha eseguita il motore: la connessione è chiusa o ha una transazione aperta</source><translation>the engine ran it: the connection is closed or has a transaction open</translation></message>
    <message><source>l'ha eseguita il motore: un valore dato non va al valutatore compilato</source><translation>the engine ran it: a value given does not go to the compiled evaluator</translation></message>
</context>
</TS>
