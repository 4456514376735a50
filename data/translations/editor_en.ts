<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="it_IT">
<context>
    <name>formule</name>
    <message>
        <source>Composizione formule SQL</source>
        <translation>SQL formula composer</translation>
    </message>
    <message>
        <source>La formula salvata non può essere mostrata: la sua forma SQL (%1 caratteri) non si lascia tradurre nella forma visualizzata. La formula resta com'è nel database e la finestra non la modifica; Ctrl+W mostra la forma SQL salvata.</source>
        <translation>The stored formula cannot be shown: its SQL form (%1 characters) cannot be translated into the display form. The formula stays as it is in the database and the window does not change it; Ctrl+W shows the stored SQL form.</translation>
    </message>
    <message>
        <source>Formula non leggibile</source>
        <translation>Unreadable formula</translation>
    </message>
    <message>
        <source>Formula</source>
        <translation>Formula</translation>
    </message>
    <message>
        <source>Info tecniche</source>
        <translation>Technical information</translation>
    </message>
    <message>
        <source>Elementi</source>
        <translation>Elements</translation>
    </message>
    <message>
        <source>Log Attivo</source>
        <translation>Log enabled</translation>
    </message>
    <message>
        <source>Principale</source>
        <translation>Main</translation>
    </message>
    <message>
        <source>Seleziona entità anagrafica</source>
        <translation>Select master-data entity</translation>
    </message>
    <message>
        <source>Deseleziona entità anagrafica</source>
        <translation>Deselect master-data entity</translation>
    </message>
    <message>
        <source>Formule della Condizione</source>
        <translation>Formulas of the condition</translation>
    </message>
    <message>
        <source>Formule del Listino</source>
        <translation>Formulas of the price list</translation>
    </message>
    <message>
        <source>Formule della manutenzione listini</source>
        <translation>Formulas of the price-list maintenance</translation>
    </message>
    <message>
        <source>Espandi/comprimi</source>
        <translation>Expand/collapse</translation>
    </message>
    <message>
        <source>Annulla</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>Ripristina</source>
        <translation>Redo</translation>
    </message>
    <message>
        <source>Istruzioni</source>
        <translation>Instructions</translation>
    </message>
    <message>
        <source>Controlla la formula</source>
        <translation>Check the formula</translation>
    </message>
    <message>
        <source>Elimina la formula</source>
        <translation>Delete the formula</translation>
    </message>
    <message>
        <source>Salva la formula</source>
        <translation>Save the formula</translation>
    </message>
    <message>
        <source>Classe Log non settata</source>
        <translation>Log class not set</translation>
    </message>
    <message>
        <source>Lo strumento &quot;composizione formule SQL&quot; consente di estendere le logiche di recupero della quotazione attraverso la definizione di calcoli personalizzati basati su linguaggio Sql.</source>
        <translation>The &quot;SQL formula composer&quot; tool extends the way the quotation is retrieved by defining custom calculations written in SQL.</translation>
    </message>
    <message>
        <source>E&apos; possibilie ricalcolare ogni singolo elemento di &quot;Quotazione&quot; (prezzi, sconti, maggiorazioni) secondo varie modalità.</source>
        <translation>Every single element of the &quot;Quotation&quot; (prices, discounts, surcharges) can be recalculated in several ways.</translation>
    </message>
    <message>
        <source>- Impostando un valore di quotazione in maniera fissa (Esempio 1).</source>
        <translation>- By setting a quotation value to a fixed amount (Example 1).</translation>
    </message>
    <message>
        <source>- Impostando un valore di quotazione basato su un valore della quotazione corrente o della quotazione della precedente condizione in tabella priorità (Esempio 2).</source>
        <translation>- By setting a quotation value from a value of the current quotation or of the quotation of the previous condition in the priority table (Example 2).</translation>
    </message>
    <message>
        <source>- Impostando un valore di quotazione subordinandolo alla valutazione di una entità anagrafica (Esempio 3).</source>
        <translation>- By setting a quotation value depending on the evaluation of a master-data entity (Example 3).</translation>
    </message>
    <message>
        <source>Esempi di composizione formule</source>
        <translation>Formula composition examples</translation>
    </message>
    <message>
        <source>È importante ricordarsi di anteporre l&apos;istruzione SET prima di ogni elemento di quotazione da valorizzare.</source>
        <translation>Remember to write the SET statement before every quotation element to be assigned.</translation>
    </message>
    <message>
        <source>Esempio 1</source>
        <translation>Example 1</translation>
    </message>
    <message>
        <source>Esempio 2</source>
        <translation>Example 2</translation>
    </message>
    <message>
        <source>Esempio 3</source>
        <translation>Example 3</translation>
    </message>
    <message>
        <source>&amp;Chiudi</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>Formule che lo usano</source>
        <translation>Formulas that use it</translation>
    </message>
    <message>
        <source>Formule che usano %1</source>
        <translation>Formulas that use %1</translation>
    </message>
    <message>
        <source>Nessuna formula usa %1.</source>
        <translation>No formula uses %1.</translation>
    </message>
    <message>
        <source>Usi trovati: %1. Doppio clic per aprire la formula.</source>
        <translation>Uses found: %1. Double-click to open the formula.</translation>
    </message>
    <message>
        <source>Uso di %1</source>
        <translation>Use of %1</translation>
    </message>
    <message>
        <source>Riga segnalata</source>
        <translation>Marked line</translation>
    </message>
    <message>
        <source>L&apos;applicazione non apre altre formule da questa finestra.</source>
        <translation>The application does not open other formulas from this window.</translation>
    </message>
    <message>
        <source>Ctrl+Spazio: completa · Ctrl+F: cerca elementi · Ctrl+R: trova e sostituisci · Ctrl+G: vai alla riga · Ctrl+/: commento · Ctrl++ / Ctrl+-: zoom</source>
        <translation>Ctrl+Space: complete · Ctrl+F: search elements · Ctrl+R: find and replace · Ctrl+G: go to line · Ctrl+/: comment · Ctrl++ / Ctrl+-: zoom</translation>
    </message>
    <message>
        <source>Cerca (Ctrl+F)</source>
        <translation>Search (Ctrl+F)</translation>
    </message>
</context>
</TS>
