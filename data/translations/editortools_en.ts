<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="it_IT">
<context>
    <name>formule</name>
    <message>
        <source>Annulla (Ctrl+Z)</source>
        <translation>Undo (Ctrl+Z)</translation>
    </message>
    <message>
        <source>Ripristina (Ctrl+Y)</source>
        <translation>Redo (Ctrl+Y)</translation>
    </message>
    <message>
        <source>Istruzioni (Ctrl+L)</source>
        <translation>Instructions (Ctrl+L)</translation>
    </message>
    <message>
        <source>Controlla la formula (Ctrl+H)</source>
        <translation>Check the formula (Ctrl+H)</translation>
    </message>
    <message>
        <source>Salva la formula (Ctrl+S)</source>
        <translation>Save the formula (Ctrl+S)</translation>
    </message>
    <message>
        <source>Trova</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>Sostituisci con</source>
        <translation>Replace with</translation>
    </message>
    <message>
        <source>Maiuscole/minuscole</source>
        <translation>Match case</translation>
    </message>
    <message>
        <source>Parola intera</source>
        <translation>Whole word</translation>
    </message>
    <message>
        <source>Precedente (Maiusc+Invio)</source>
        <translation>Previous (Shift+Enter)</translation>
    </message>
    <message>
        <source>Successivo (Invio)</source>
        <translation>Next (Enter)</translation>
    </message>
    <message>
        <source>Sostituisci</source>
        <translation>Replace</translation>
    </message>
    <message>
        <source>Sostituisci tutto</source>
        <translation>Replace all</translation>
    </message>
    <message>
        <source>Vai</source>
        <translation>Go</translation>
    </message>
    <message>
        <source>Chiudi (Esc)</source>
        <translation>Close (Esc)</translation>
    </message>
    <message>
        <source>Vai alla riga (1-%1)</source>
        <translation>Go to line (1-%1)</translation>
    </message>
    <message>
        <source>Nessuna corrispondenza</source>
        <translation>No match</translation>
    </message>
    <message>
        <source>Sostituzioni: %1</source>
        <translation>Replacements: %1</translation>
    </message>
    <message>
        <source>La formula ha %1 righe</source>
        <translation>The formula has %1 lines</translation>
    </message>
</context>
</TS>
