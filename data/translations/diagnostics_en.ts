<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="it_IT">
<context>
    <name>formule</name>
    <message>
        <source>Etichetta sconosciuta %1.</source>
        <translation>Unknown label %1.</translation>
    </message>
    <message>
        <source>Categoria inesistente per la ditta: %1.</source>
        <translation>No such category for the company: %1.</translation>
    </message>
    <message>
        <source>Variante inesistente per la ditta: %1.</source>
        <translation>No such variant for the company: %1.</translation>
    </message>
    <message>
        <source>Forse: %1</source>
        <translation>Did you mean: %1</translation>
    </message>
    <message>
        <source>L&apos;etichetta %1 è dentro una stringa o un commento: la traduzione la sostituisce lo stesso.</source>
        <translation>The label %1 is inside a string or a comment: the translation replaces it all the same.</translation>
    </message>
    <message>
        <source>Delimitatore %1 senza il suo corrispondente.</source>
        <translation>Delimiter %1 without its partner.</translation>
    </message>
    <message>
        <source>%1 (Msg %2: %3)</source>
        <translation>%1 (Msg %2: %3)</translation>
    </message>
    <message>
        <source>Sintassi non corretta</source>
        <translation>Syntax error</translation>
    </message>
    <message>
        <source>Parola chiave fuori posto</source>
        <translation>Keyword out of place</translation>
    </message>
    <message>
        <source>Stringa o nome non chiuso</source>
        <translation>Unclosed string or name</translation>
    </message>
    <message>
        <source>Commento non chiuso</source>
        <translation>Unclosed comment</translation>
    </message>
    <message>
        <source>Variabile non dichiarata</source>
        <translation>Undeclared variable</translation>
    </message>
    <message>
        <source>Nome non riconosciuto</source>
        <translation>Unknown name</translation>
    </message>
    <message>
        <source>Riga %1, colonna %2: %3</source>
        <translation>Line %1, column %2: %3</translation>
    </message>
    <message>
        <source>Riga %1: %2</source>
        <translation>Line %1: %2</translation>
    </message>
    <message>
        <source>Formula salvata</source>
        <translation>Formula saved</translation>
    </message>
    <message>
        <source>Modifiche non salvate</source>
        <translation>Unsaved changes</translation>
    </message>
</context>
</TS>
