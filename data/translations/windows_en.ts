<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="it">
<context>
    <name>formule</name>
    <message>
        <source>Bozza non salvata del %1: ripristina / scarta</source>
        <translation>Unsaved draft of %1: restore / discard</translation>
    </message>
    <message>
        <source>La formula di questo record è stata chiusa con modifiche non salvate. Ripristinarle nel riquadro della formula o scartarle?</source>
        <translation>The formula of this record was closed with unsaved changes. Restore them in the formula box, or discard them?</translation>
    </message>
    <message>
        <source>Bozza non salvata</source>
        <translation>Unsaved draft</translation>
    </message>
    <message>
        <source>Ripristina bozza</source>
        <translation>Restore draft</translation>
    </message>
    <message>
        <source>Scarta bozza</source>
        <translation>Discard draft</translation>
    </message>
    <message>
        <source>La formula mostrata non si salva uguale a quella memorizzata (righe %1): due apostrofi di seguito in una stringa si mostrano come uno. Prima di salvare verrà chiesta conferma.</source>
        <translation>The formula shown does not save back as it is stored (lines %1): two apostrophes in a row in a string show as one. Saving will ask for a confirmation first.</translation>
    </message>
    <message>
        <source>Il salvataggio scriverebbe una formula diversa da quella memorizzata anche in righe che non hai modificato (righe %1): due apostrofi di seguito in una stringa vi sono diventati uno.</source>
        <translation>Saving would write a formula that differs from the stored one also in lines you did not change (lines %1): two apostrophes in a row in a string have become one there.</translation>
    </message>
    <message>
        <source>Salvare comunque?</source>
        <translation>Save anyway?</translation>
    </message>
    <message>
        <source>Salvataggio formula</source>
        <translation>Saving the formula</translation>
    </message>
    <message>
        <source>Finestre</source>
        <translation>Windows</translation>
    </message>
    <message>
        <source>Sovrapponi</source>
        <translation>Cascade</translation>
    </message>
    <message>
        <source>Affianca</source>
        <translation>Tile</translation>
    </message>
    <message>
        <source>Riprendi</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>Verifica interrotta dopo %1 formule su %2.</source>
        <translation>Verification stopped after %1 of %2 formulas.</translation>
    </message>
</context>
</TS>
