<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="it_IT">
<context>
    <name>formule</name>
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
        <source>Informazione</source>
        <translation>Information</translation>
    </message>
</context>
</TS>
