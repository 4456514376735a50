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
</context>
</TS>
