<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="it_IT">
<context>
    <name>formule</name>
    <message><source>%1: atteso %2, calcolato %3</source><translation>%1: expected %2, computed %3</translation></message>
    <message><source>la formula non è stata eseguita: %1</source><translation>the formula did not run: %1</translation></message>
    <message><source>valore atteso non valido per %1 («%2»): %3</source><translation>expected value not valid for %1 (“%2”): %3</translation></message>
    <message><source>il caso dà un valore a %1, che non è un elemento noto</source><translation>the case gives a value to %1, which is no known element</translation></message>
    <message><source>%1 non è più letto dalla formula: il suo valore è ignorato</source><translation>%1 is no longer read by the formula: its value is ignored</translation></message>
    <message><source>i valori del caso non si lasciano leggere</source><translation>the case's values cannot be read</translation></message>
    <message><source>%1 casi di prova: 1 diverso</source><translation>%1 test cases: 1 differs</translation></message>
    <message><source>%1 casi di prova: %2 diversi</source><translation>%1 test cases: %2 differ</translation></message>
    <message><source>1 caso di prova: 1 diverso</source><translation>1 test case: 1 differs</translation></message>
    <message><source>1 caso di prova: 0 diversi</source><translation>1 test case: 0 differ</translation></message>
    <message><source>Il nome del caso di prova è vuoto</source><translation>The test case's name is empty</translation></message>
    <message><source>Il nome del caso di prova supera i %1 caratteri</source><translation>The test case's name is longer than %1 characters</translation></message>
    <message><source>Il nome del caso di prova non può andare a capo</source><translation>The test case's name cannot hold a line break</translation></message>
    <message><source>Esiste già un caso di prova di nome «%1» per questa formula</source><translation>A test case named “%1” already exists for this formula</translation></message>
    <message><source>Non esiste un caso di prova di nome «%1» per questa formula</source><translation>There is no test case named “%1” for this formula</translation></message>
    <message><source>la formula del caso non esiste più (contesto %1, id %2)</source><translation>the case's formula no longer exists (context %1, id %2)</translation></message>
    <message><source>Il database non ha la tabella dei casi di prova (LP30_CASIPROVA): esegui formule init-db</source><translation>The database has no table of test cases (LP30_CASIPROVA): run formule init-db</translation></message>
    <message><source>caso di prova «%1»: %2</source><translation>test case “%1”: %2</translation></message>
    <message><source>Caso di prova diverso</source><translation>Test case differs</translation></message>
    <message><source>Salva come caso di prova</source><translation>Save as test case</translation></message>
    <message><source>Casi di prova</source><translation>Test cases</translation></message>
    <message><source>Carica</source><translation>Load</translation></message>
    <message><source>Rinomina</source><translation>Rename</translation></message>
    <message><source>Elimina</source><translation>Delete</translation></message>
    <message><source>Esegui</source><translation>Run</translation></message>
    <message><source>Atteso</source><translation>Expected</translation></message>
    <message><source>Calcolato</source><translation>Computed</translation></message>
    <message><source>Nome del caso di prova</source><translation>Name of the test case</translation></message>
    <message><source>Prova prima la formula: il caso prende i risultati dell'ultima prova.</source><translation>Try the formula first: the case takes the outputs of the last trial.</translation></message>
    <message><source>La formula non è legata a un record: i casi di prova non si possono salvare.</source><translation>The formula belongs to no record: test cases cannot be saved.</translation></message>
    <message><source>Caso di prova «%1» salvato.</source><translation>Test case “%1” saved.</translation></message>
    <message><source>Eliminare il caso di prova «%1»?</source><translation>Delete the test case “%1”?</translation></message>
    <message><source>Il caso di prova dà i risultati attesi.</source><translation>The test case gives the expected outputs.</translation></message>
    <message><source>«%1»: %2</source><translation>“%1”: %2</translation></message>
</context>
</TS>
