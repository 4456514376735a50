<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="it_IT">
<context>
    <name>formule</name>
    <message>
        <source>Il server sta eseguendo la formula...</source>
        <translation>The server is running the formula...</translation>
    </message>
    <message>
        <source>Interrompi</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Un'altra esecuzione della formula è in corso</source>
        <translation>Another run of the formula is in progress</translation>
    </message>
    <message>
        <source>Esecuzione interrotta dall'utente.</source>
        <translation>Run stopped by the user.</translation>
    </message>
    <message>
        <source>Controllo interrotto dall'utente: la formula non è stata giudicata.</source>
        <translation>Check stopped by the user: the formula was not judged.</translation>
    </message>
    <message>
        <source>Righe</source>
        <translation>Lines</translation>
    </message>
    <message>
        <source>Ricerca in corso: usi trovati finora %1...</source>
        <translation>Searching: %1 uses found so far...</translation>
    </message>
</context>
</TS>
