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
</context>
</TS>
