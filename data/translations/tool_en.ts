<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="it_IT">
<context>
    <name>formule</name>
    <message>
        <source>%1 non accetta argomenti: &quot;%2&quot; è di troppo (vedi formule %1 --help)</source>
        <translation>%1 takes no arguments: &quot;%2&quot; is one too many (see formule %1 --help)</translation>
    </message>
    <message>
        <source>%1 accetta un solo argomento: &quot;%2&quot; è di troppo (un testo con spazi va tra virgolette; vedi formule %1 --help)</source>
        <translation>%1 takes one argument: &quot;%2&quot; is one too many (quote a text that has spaces; see formule %1 --help)</translation>
    </message>
    <message>
        <source>lo standard input è chiuso: dai il testo come argomento o con &quot;-&quot; da un file</source>
        <translation>standard input is closed: give the text as an argument, or with &quot;-&quot; from a file</translation>
    </message>
    <message>
        <source>lo standard input non si può leggere: %1</source>
        <translation>standard input cannot be read: %1</translation>
    </message>
    <message>
        <source>lo standard input supera il limite di %1 byte (%2 MB): non è stato letto oltre</source>
        <translation>standard input is longer than the limit of %1 bytes (%2 MB): it was not read further</translation>
    </message>
    <message>
        <source>%1: lo standard input non contiene alcun testo: nulla è stato scritto (clear elimina la formula; un testo vuoto si salva solo dato come argomento vuoto, &apos;&apos;)</source>
        <translation>%1: standard input holds no text: nothing was written (clear removes the formula; an empty text is saved only when given as an empty argument, &apos;&apos;)</translation>
    </message>
    <message>
        <source>La formula conta %1 caratteri: la traduzione tra la forma visualizzata e la forma SQL tratta testi di al massimo %2 caratteri per passo, e questa formula li supera. Accorcia la formula.</source>
        <translation>The formula has %1 characters: the translation between display form and SQL form handles texts of at most %2 characters in each pass, and this formula goes beyond them. Shorten the formula.</translation>
    </message>
    <message>
        <source>%1: il database non contiene le tabelle delle formule (manca %2): esegui prima formule init-db</source>
        <translation>%1: the database does not hold the formula tables (%2 is missing): run formule init-db first</translation>
    </message>
    <message>
        <source>il disco del database è pieno (SQLITE_FULL): %1. Libera spazio e ripeti il comando.</source>
        <translation>the database&apos;s disk is full (SQLITE_FULL): %1. Free some space and run the command again.</translation>
    </message>
    <message>
        <source>--tls-cert e --tls-key vanno dati insieme</source>
        <translation>--tls-cert and --tls-key go together</translation>
    </message>
    <message>
        <source>dai --tls-cert e --tls-key oppure --tls-self-signed, non entrambi</source>
        <translation>give --tls-cert and --tls-key or --tls-self-signed, not both</translation>
    </message>
    <message>
        <source>--require-encryption richiede un certificato (--tls-cert e --tls-key, oppure --tls-self-signed)</source>
        <translation>--require-encryption needs a certificate (--tls-cert and --tls-key, or --tls-self-signed)</translation>
    </message>
    <message>
        <source>il certificato TLS non si può usare: %1</source>
        <translation>the TLS certificate cannot be used: %1</translation>
    </message>
    <message>
        <source>certificato TLS autofirmato creato all&apos;avvio, impronta SHA-256 %1</source>
        <translation>self-signed TLS certificate made at start, SHA-256 fingerprint %1</translation>
    </message>
    <message>
        <source>certificato TLS da %1, impronta SHA-256 %2</source>
        <translation>TLS certificate from %1, SHA-256 fingerprint %2</translation>
    </message>
    <message>
        <source>Accesso non riuscito: il client chiede una connessione cifrata, ma questo server non ha un certificato (avvia formule serve con --tls-cert e --tls-key, oppure --tls-self-signed), o connettiti senza cifratura.</source>
        <translation>Login failed: the client asked for an encrypted connection, but this server has no certificate (start formule serve with --tls-cert and --tls-key, or --tls-self-signed), or connect without encryption.</translation>
    </message>
    <message>
        <source>Accesso non riuscito: questo server richiede una connessione cifrata; connettiti con la cifratura (Encrypt=yes).</source>
        <translation>Login failed: this server requires an encrypted connection; connect with encryption (Encrypt=yes).</translation>
    </message>
    <message>
        <source>argomento inatteso &quot;%1&quot;</source>
        <translation>unexpected argument &quot;%1&quot;</translation>
    </message>
    <message>
        <source>--listen vuole HOST:PORTA (la PORTA 0 sceglie una porta libera)</source>
        <translation>--listen takes HOST:PORT (PORT 0 picks a free port)</translation>
    </message>
    <message>
        <source>%1 è raggiungibile da altri computer e questo server non richiede la cifratura: l&apos;accesso e i dati potrebbero viaggiare in chiaro; aggiungi --require-encryption (con un certificato) o --allow-remote per restare comunque in ascolto lì</source>
        <translation>%1 is reachable from other computers and this server does not require encryption: the login and the data could travel unencrypted; add --require-encryption (with a certificate) or --allow-remote to listen there anyway</translation>
    </message>
    <message>
        <source>attenzione: in ascolto su %1, raggiungibile da altri computer; l&apos;accesso (nome e password) e i dati viaggiano in chiaro sulla rete, a meno che il client non cifri</source>
        <translation>warning: listening on %1, reachable from other computers; the login (name and password) and the data travel unencrypted over the network unless the client encrypts</translation>
    </message>
    <message>
        <source>--user è obbligatorio (l&apos;accesso SQL che usano i client)</source>
        <translation>--user is required (the SQL login clients use)</translation>
    </message>
    <message>
        <source>dai --password oppure --password-file, non entrambi</source>
        <translation>give either --password or --password-file, not both</translation>
    </message>
    <message>
        <source>non riesco a leggere il file della password &quot;%1&quot;: %2</source>
        <translation>cannot read the password file &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>il file della password &quot;%1&quot; è più lungo di 4096 byte</source>
        <translation>the password file &quot;%1&quot; is longer than 4096 bytes</translation>
    </message>
    <message>
        <source>serve una password e non deve essere vuota (--password-file FILE, FORMULE_PASSWORD dell&apos;ambiente o --password)</source>
        <translation>a password is required and must not be empty (--password-file FILE, the environment&apos;s FORMULE_PASSWORD or --password)</translation>
    </message>
    <message>
        <source>--db deve indicare un database incorporato (Provider=Embedded)</source>
        <translation>--db must name an embedded database (Provider=Embedded)</translation>
    </message>
    <message>
        <source>nessun record %1 nel contesto %2</source>
        <translation>no record %1 in context %2</translation>
    </message>
    <message>
        <source>nessun record %1 nel contesto %2: non è stato scritto nulla</source>
        <translation>no record %1 in context %2: nothing was written</translation>
    </message>
    <message>
        <source>la formula salvata del record %1 nel contesto %2 non si può mostrare (%3 caratteri in forma SQL); resta com&apos;è nel database</source>
        <translation>the stored formula of record %1 in context %2 cannot be shown (%3 characters of SQL form); it is left as it is in the database</translation>
    </message>
    <message>
        <source>non salvata (--yes salva una formula che non supera il controllo)</source>
        <translation>not saved (--yes saves a formula that fails the check)</translation>
    </message>
    <message>
        <source>non è stato scritto nulla</source>
        <translation>nothing was written</translation>
    </message>
</context>
</TS>
