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
    <message>
        <source>Quotazione (in uscita: quella che la formula calcola)</source>
        <translation>Quotation (output: the one the formula computes)</translation>
    </message>
    <message>
        <source>Entità anagrafica: Documento</source>
        <translation>Master data: Document</translation>
    </message>
    <message>
        <source>Entità anagrafica: Anagrafica cli/for</source>
        <translation>Master data: Customer/supplier</translation>
    </message>
    <message>
        <source>Entità anagrafica: Articolo</source>
        <translation>Master data: Item</translation>
    </message>
    <message>
        <source>Entità anagrafica: Totali documento</source>
        <translation>Master data: Document totals</translation>
    </message>
    <message>
        <source>Entità anagrafica: Progetto</source>
        <translation>Master data: Project</translation>
    </message>
    <message>
        <source>Entità anagrafica: Produzione</source>
        <translation>Master data: Production</translation>
    </message>
    <message>
        <source>Entità anagrafica: Configuratore</source>
        <translation>Master data: Configurator</translation>
    </message>
    <message>
        <source>numero decimale</source>
        <translation>decimal number</translation>
    </message>
    <message>
        <source>sì/no</source>
        <translation>yes/no</translation>
    </message>
    <message>
        <source>testo</source>
        <translation>text</translation>
    </message>
    <message>
        <source>La formula lo imposta con SET (e può leggerlo)</source>
        <translation>The formula sets it with SET (and may read it)</translation>
    </message>
    <message>
        <source>La formula lo legge (in sola lettura)</source>
        <translation>The formula reads it (read-only)</translation>
    </message>
    <message>
        <source>Etichetta</source>
        <translation>Label</translation>
    </message>
    <message>
        <source>Variabile</source>
        <translation>Variable</translation>
    </message>
    <message>
        <source>Tipo SQL</source>
        <translation>SQL type</translation>
    </message>
    <message>
        <source>Uso</source>
        <translation>Use</translation>
    </message>
    <message>
        <source>Id</source>
        <translation>Id</translation>
    </message>
    <message>
        <source>Tipo del valore</source>
        <translation>Value type</translation>
    </message>
    <message>
        <source>Variante</source>
        <translation>Variant</translation>
    </message>
    <message>
        <source>Codice</source>
        <translation>Code</translation>
    </message>
</context>
</TS>
