<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="it_IT">
<context>
    <name>formule</name>
    <message><source>«%1» non è un numero valido per %2</source><translation>“%1” is not a valid number for %2</translation></message>
    <message><source>%1 non sta in %2</source><translation>%1 does not fit in %2</translation></message>
    <message><source>«%1» supera i %2 caratteri</source><translation>“%1” is longer than %2 characters</translation></message>
    <message><source>«%1» non è una data (aaaa-mm-gg oppure gg/mm/aaaa)</source><translation>“%1” is not a date (yyyy-mm-dd or dd/mm/yyyy)</translation></message>
    <message><source>«%1» non è una data (mm/gg/aaaa oppure aaaa-mm-gg)</source><translation>“%1” is not a date (mm/dd/yyyy or yyyy-mm-dd)</translation></message>
    <message><source>«%1» è ambiguo: scrivi %2 se il punto separa le migliaia, %3 se separa i decimali</source><translation>“%1” is ambiguous: write %2 if the point separates thousands, %3 if it separates decimals</translation></message>
    <message><source>«%1» è ambiguo: scrivi %2 se la virgola separa le migliaia, %3 se separa i decimali</source><translation>“%1” is ambiguous: write %2 if the comma separates thousands, %3 if it separates decimals</translation></message>
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
    <message><source>un errore di compilazione</source><translation>a compile error</translation></message>
    <message><source>le dichiarazioni</source><translation>the declarations</translation></message>
    <message><source>un'etichetta</source><translation>a label</translation></message>
    <message><source>l'assegnazione</source><translation>the assignment</translation></message>
    <message><source>un'assegnazione a una variabile xml</source><translation>an assignment to an xml variable</translation></message>
    <message><source>una query sulla tabella %1</source><translation>a query over the table %1</translation></message>
    <message><source>una query su una tabella</source><translation>a query over a table</translation></message>
    <message><source>una SELECT con clausole</source><translation>SELECT with clauses</translation></message>
    <message><source>una SELECT che restituisce righe</source><translation>SELECT returning rows</translation></message>
    <message><source>una variabile tabella</source><translation>a table variable</translation></message>
    <message><source>l'istruzione</source><translation>the statement</translation></message>
    <message><source>la funzione di aggregazione %1</source><translation>the aggregate function %1</translation></message>
    <message><source>la funzione %1</source><translation>the function %1</translation></message>
    <message><source>una sotto-query</source><translation>a sub-query</translation></message>
    <message><source>una colonna</source><translation>a column</translation></message>
    <message><source>il metodo xml %1()</source><translation>the xml method %1()</translation></message>
    <message><source>la funzione finestra %1</source><translation>the window function %1</translation></message>
    <message><source>IN con una sotto-query</source><translation>IN with a sub-query</translation></message>
    <message><source>%1 con una sotto-query</source><translation>%1 with a sub-query</translation></message>
    <message><source>la variabile %1</source><translation>the variable %1</translation></message>
    <message><source>l'espressione</source><translation>the expression</translation></message>
</context>
</TS>
