<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="it_IT">
<context>
    <name>formule</name>
    <message>
        <source>Quotazione</source>
        <translation>Quotation</translation>
    </message>
    <message>
        <source>Quotazione ingresso</source>
        <translation>Incoming quotation</translation>
    </message>
    <message>
        <source>Quotazione corrente</source>
        <translation>Current quotation</translation>
    </message>
    <message>
        <source>Entità anagrafiche</source>
        <translation>Master data</translation>
    </message>
    <message>
        <source>Operatori fondamentali</source>
        <translation>Arithmetic operators</translation>
    </message>
    <message>
        <source>Operatori di confronto</source>
        <translation>Comparison operators</translation>
    </message>
    <message>
        <source>Operatori logici</source>
        <translation>Logical operators</translation>
    </message>
    <message>
        <source>Operatori di condizione</source>
        <translation>Conditional operators</translation>
    </message>
    <message>
        <source>Delimitatori</source>
        <translation>Delimiters</translation>
    </message>
    <message>
        <source>Categoria commerciale</source>
        <translation>Commercial category</translation>
    </message>
    <message>
        <source>Codice variante</source>
        <translation>Variant code</translation>
    </message>
    <message>
        <source>Documento</source>
        <translation>Document</translation>
    </message>
    <message>
        <source>Anagrafica cli/for</source>
        <translation>Customer/supplier</translation>
    </message>
    <message>
        <source>Articolo</source>
        <translation>Item</translation>
    </message>
    <message>
        <source>Totali documento</source>
        <translation>Document totals</translation>
    </message>
    <message>
        <source>Produzione</source>
        <translation>Production</translation>
    </message>
    <message>
        <source>Configuratore</source>
        <translation>Configurator</translation>
    </message>
    <message>
        <source>Contabilità</source>
        <translation>Accounting</translation>
    </message>
    <message>
        <source>Magazzino</source>
        <translation>Warehouse</translation>
    </message>
</context>
</TS>
