<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="it">
<context>
    <name>formule</name>
    <message>
        <source>Il cambio ditta comporta la chiusura del programma, proseguo ?</source>
        <translation>Changing the company closes the program. Continue?</translation>
    </message>
    <message>
        <source>Il collegamento ai dati multimediali è possibile solamente in fase di variazione</source>
        <translation>Multimedia data can be linked only while the record is being changed</translation>
    </message>
    <message>
        <source>Avviso Utente</source>
        <translation>User Notice</translation>
    </message>
    <message>
        <source>Procedura</source>
        <translation>Procedure</translation>
    </message>
    <message>
        <source>Errore</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Origine</source>
        <translation>Source</translation>
    </message>
    <message>
        <source>Errori del database</source>
        <translation>Database errors</translation>
    </message>
    <message>
        <source>Navigatore</source>
        <translation>Navigator</translation>
    </message>
    <message>
        <source>Nuovo</source>
        <translation>New</translation>
    </message>
    <message>
        <source>Salva</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Elimina</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Primo</source>
        <translation>First</translation>
    </message>
    <message>
        <source>Precedente</source>
        <translation>Previous</translation>
    </message>
    <message>
        <source>Successivo</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>Ultimo</source>
        <translation>Last</translation>
    </message>
    <message>
        <source>Aggiorna</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>Esporta in Office</source>
        <translation>Export to Office</translation>
    </message>
    <message>
        <source>Multimedia</source>
        <translation>Multimedia</translation>
    </message>
    <message>
        <source>Ditta</source>
        <translation>Company</translation>
    </message>
    <message>
        <source>Listini parametrici</source>
        <translation>Parametric price lists</translation>
    </message>
    <message>
        <source>Comandi</source>
        <translation>Commands</translation>
    </message>
    <message>
        <source>Apri formule</source>
        <translation>Open formulas</translation>
    </message>
    <message>
        <source>Modale</source>
        <translation>Modal</translation>
    </message>
    <message>
        <source>Contesto</source>
        <translation>Context</translation>
    </message>
    <message>
        <source>Descrizione</source>
        <translation>Description</translation>
    </message>
    <message>
        <source>Condizioni (provider)</source>
        <translation>Conditions (providers)</translation>
    </message>
    <message>
        <source>Listini (quotazioni)</source>
        <translation>Price lists (quotations)</translation>
    </message>
    <message>
        <source>Manutenzione listini</source>
        <translation>Price-list maintenance</translation>
    </message>
    <message>
        <source>sì</source>
        <translation>yes</translation>
    </message>
    <message>
        <source>Record letti</source>
        <translation>Records read</translation>
    </message>
    <message>
        <source>Selezionare un record</source>
        <translation>Select a record</translation>
    </message>
    <message>
        <source>Composizione formule SQL</source>
        <translation>SQL formula composer</translation>
    </message>
    <message>
        <source>Esportazione di</source>
        <translation>Export of</translation>
    </message>
    <message>
        <source>Nuovo record</source>
        <translation>New record</translation>
    </message>
    <message>
        <source>Collegamento multimediale</source>
        <translation>Multimedia link</translation>
    </message>
</context>
</TS>
