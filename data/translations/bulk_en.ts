<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="it_IT">
<context>
    <name>formule</name>
    <message>
        <source>La formula memorizzata non si lascia mostrare nella forma di visualizzazione</source>
        <translation>The stored formula cannot be shown in display form</translation>
    </message>
    <message>
        <source>Categorie che non esistono più: %1</source>
        <translation>Categories that no longer exist: %1</translation>
    </message>
    <message>
        <source>Varianti che non esistono più: %1</source>
        <translation>Variants that no longer exist: %1</translation>
    </message>
    <message>
        <source>Connessione non riuscita: %1</source>
        <translation>Connection failed: %1</translation>
    </message>
    <message>
        <source>Verifica formule</source>
        <translation>Check formulas</translation>
    </message>
    <message>
        <source>Strumenti</source>
        <translation>Tools</translation>
    </message>
    <message>
        <source>Corretta</source>
        <translation>Correct</translation>
    </message>
    <message>
        <source>Non verificata</source>
        <translation>Not checked</translation>
    </message>
    <message>
        <source>Riferimento mancante</source>
        <translation>Missing reference</translation>
    </message>
    <message>
        <source>Esito</source>
        <translation>Outcome</translation>
    </message>
    <message>
        <source>Messaggio</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>Riga</source>
        <translation>Line</translation>
    </message>
    <message>
        <source>Filtra</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>Interrompi</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Esporta CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>Corrette %1, errori %2, riferimenti mancanti %3</source>
        <translation>Correct %1, errors %2, missing references %3</translation>
    </message>
    <message>
        <source>Impossibile scrivere %1</source>
        <translation>Cannot write %1</translation>
    </message>
</context>
</TS>
