<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="it_IT">
<context>
    <name>formule</name>
    <message><source>caso «%1»</source><translation>case “%1”</translation></message>
    <message><source>riga %1</source><translation>line %1</translation></message>
    <message><source>riga generata %1</source><translation>generated row %1</translation></message>
    <message><source>il file CSV è vuoto: manca la riga d'intestazione</source><translation>the CSV file is empty: its header line is missing</translation></message>
    <message><source>il file CSV non è testo UTF-8</source><translation>the CSV file is not UTF-8 text</translation></message>
    <message><source>«%1» non è una lingua dei valori: C, it oppure en</source><translation>“%1” is no language of the values: C, it or en</translation></message>
    <message><source>«%1» non è un elemento noto: un'etichetta tra [ ], una categoria tra { } o una variante tra | |</source><translation>“%1” is no known element: a label in [ ], a category in { } or a variant in | |</translation></message>
    <message><source>«%1» è già in un'altra colonna</source><translation>“%1” is already in another column</translation></message>
    <message><source>la colonna non ha nome</source><translation>the column has no name</translation></message>
    <message><source>la riga ha %1 campi, l'intestazione %2</source><translation>the line has %1 fields, the header %2</translation></message>
    <message><source>le virgolette aperte non sono chiuse</source><translation>the opening quote is never closed</translation></message>
    <message><source>virgolette in un campo che non inizia con virgolette</source><translation>a quote in a field that does not start with one</translation></message>
    <message><source>testo dopo le virgolette di chiusura del campo</source><translation>text after the field's closing quote</translation></message>
    <message><source>la riga supera i %1 caratteri</source><translation>the line is longer than %1 characters</translation></message>
    <message><source>«%1» non è un numero scritto come vuole la lingua del file (%2)</source><translation>“%1” is no number written as the file's language writes them (%2)</translation></message>
    <message><source>%1: %2</source><translation>%1: %2</translation></message>
    <message><source>«%1» non è una data nella forma aaaa-mm-gg</source><translation>“%1” is no date in the form yyyy-mm-dd</translation></message>
    <message><source>«%1» non è un intervallo: NOME=da A a B passo P oppure NOME=N casuali da A a B seme S</source><translation>“%1” is no range: NAME=from A to B step S or NAME=N random from A to B seed S</translation></message>
    <message><source>la specifica di generazione è vuota</source><translation>the generation spec is empty</translation></message>
    <message><source>«%1» non è un elemento noto</source><translation>“%1” is no known element</translation></message>
    <message><source>«%1» ha già un intervallo</source><translation>“%1” already has a range</translation></message>
    <message><source>%1 non è numerico: gli intervalli valgono per i numeri</source><translation>%1 is not numeric: ranges are for numbers</translation></message>
    <message><source>il passo deve essere maggiore di zero</source><translation>the step must be greater than zero</translation></message>
    <message><source>l'inizio %1 supera la fine %2</source><translation>the start %1 is beyond the end %2</translation></message>
    <message><source>le combinazioni superano le %1 righe</source><translation>the combinations are more than %1 rows</translation></message>
    <message><source>Righe lette: %1</source><translation>Rows read: %1</translation></message>
    <message><source>Formula salvata: %1</source><translation>Stored formula: %1</translation></message>
    <message><source>Nuova formula: %1</source><translation>New formula: %1</translation></message>
    <message><source>Non riuscite solo con la formula salvata: %1</source><translation>Failed with the stored formula only: %1</translation></message>
    <message><source>Non riuscite solo con la nuova formula: %1</source><translation>Failed with the new formula only: %1</translation></message>
    <message><source>Non riuscite con entrambe: %1</source><translation>Failed with both: %1</translation></message>
    <message><source>Anteprima interrotta: i dati sono quelli delle righe lette finora</source><translation>Preview stopped: the figures are those of the rows read so far</translation></message>
    <message><source>Nessun risultato impostato da una delle due formule</source><translation>No output set by either formula</translation></message>
    <message><source>%1: %2 righe valutate, %3 cambiate</source><translation>%1: %2 rows evaluated, %3 changed</translation></message>
    <message><source>variazione</source><translation>change</translation></message>
    <message><source>variazione %</source><translation>change %</translation></message>
    <message><source>Distribuzione della variazione %</source><translation>Distribution of the change %</translation></message>
    <message><source>Righe che cambiano di più</source><translation>Rows that move most</translation></message>
    <message><source>prima</source><translation>before</translation></message>
    <message><source>dopo</source><translation>after</translation></message>
    <message><source>Righe non riuscite con una sola formula</source><translation>Rows that fail with one formula only</translation></message>
    <message><source>formula salvata</source><translation>stored formula</translation></message>
    <message><source>nuova formula</source><translation>new formula</translation></message>
    <message><source>mediana</source><translation>median</translation></message>
</context>
</TS>
