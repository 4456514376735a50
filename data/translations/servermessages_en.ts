<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="it_IT">
<context>
    <name>formule</name>
    <message>
        <source>Sintassi non corretta vicino a &apos;%1&apos;.</source>
        <translation>Incorrect syntax near &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>Testo non chiuso: manca l&apos;apice finale dopo &apos;%1&apos;.</source>
        <translation>Unclosed text: the closing quote is missing after &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>L&apos;istruzione INSERT elenca più colonne dei valori che dà.</source>
        <translation>The INSERT statement lists more columns than the values it gives.</translation>
    </message>
    <message>
        <source>L&apos;istruzione INSERT dà più valori delle colonne che elenca.</source>
        <translation>The INSERT statement gives more values than the columns it lists.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; deve essere la prima istruzione del batch.</source>
        <translation>&apos;%1&apos; must be the first statement of the batch.</translation>
    </message>
    <message>
        <source>Commento non chiuso: manca &apos;*/&apos;.</source>
        <translation>Unclosed comment: &apos;*/&apos; is missing.</translation>
    </message>
    <message>
        <source>Una sottoquery usata come valore può restituire una colonna sola.</source>
        <translation>A sub-query used as a value may return one column only.</translation>
    </message>
    <message>
        <source>Il numero di righe di TOP non può essere negativo.</source>
        <translation>The row count of TOP cannot be negative.</translation>
    </message>
    <message>
        <source>Una funzione di aggregazione non può contenere un&apos;altra aggregazione o una sottoquery.</source>
        <translation>An aggregate function cannot contain another aggregate or a sub-query.</translation>
    </message>
    <message>
        <source>L&apos;etichetta &apos;%1&apos; è già dichiarata.</source>
        <translation>The label &apos;%1&apos; is already declared.</translation>
    </message>
    <message>
        <source>GOTO verso l&apos;etichetta &apos;%1&apos;, che non è dichiarata.</source>
        <translation>GOTO to the label &apos;%1&apos;, which is not declared.</translation>
    </message>
    <message>
        <source>La variabile %1 è già dichiarata.</source>
        <translation>The variable %1 is already declared.</translation>
    </message>
    <message>
        <source>BREAK fuori da un ciclo WHILE.</source>
        <translation>BREAK outside a WHILE loop.</translation>
    </message>
    <message>
        <source>CONTINUE fuori da un ciclo WHILE.</source>
        <translation>CONTINUE outside a WHILE loop.</translation>
    </message>
    <message>
        <source>La variabile %1 non è dichiarata.</source>
        <translation>The variable %1 is not declared.</translation>
    </message>
    <message>
        <source>Una SELECT che assegna variabili non può anche restituire righe.</source>
        <translation>A SELECT that assigns variables cannot also return rows.</translation>
    </message>
    <message>
        <source>Sintassi non corretta vicino alla parola chiave %1.</source>
        <translation>Incorrect syntax near the keyword %1.</translation>
    </message>
    <message>
        <source>La funzione %1 vuole %2 argomenti.</source>
        <translation>The function %1 takes %2 arguments.</translation>
    </message>
    <message>
        <source>La funzione %1 vuole da %2 a %3 argomenti.</source>
        <translation>The function %1 takes %2 to %3 arguments.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; non è una funzione né un&apos;opzione che il server conosce.</source>
        <translation>&apos;%1&apos; is neither a function nor an option the server knows.</translation>
    </message>
    <message>
        <source>Tipi incompatibili: %1 non si accorda con %2.</source>
        <translation>Incompatible types: %1 does not go with %2.</translation>
    </message>
    <message>
        <source>La colonna &apos;%1&apos; non esiste.</source>
        <translation>The column &apos;%1&apos; does not exist.</translation>
    </message>
    <message>
        <source>La tabella o vista &apos;%1&apos; non esiste.</source>
        <translation>The table or view &apos;%1&apos; does not exist.</translation>
    </message>
    <message>
        <source>Il nome di colonna &apos;%1&apos; è ambiguo: indica la tabella.</source>
        <translation>The column name &apos;%1&apos; is ambiguous: name its table.</translation>
    </message>
    <message>
        <source>Troppi livelli di procedure o funzioni annidate (limite %1).</source>
        <translation>Too many levels of nested procedures or functions (limit %1).</translation>
    </message>
    <message>
        <source>Valore troppo grande per il tipo %1 (valore %2).</source>
        <translation>Value too large for the type %1 (value %2).</translation>
    </message>
    <message>
        <source>Il testo non si converte in una data o un&apos;ora.</source>
        <translation>The text does not convert to a date or a time.</translation>
    </message>
    <message>
        <source>La conversione da %1 a %2 dà un valore fuori dall&apos;intervallo ammesso.</source>
        <translation>The conversion from %1 to %2 gives a value outside the allowed range.</translation>
    </message>
    <message>
        <source>Il valore &apos;%2&apos; (%1) è troppo grande per il tipo %3.</source>
        <translation>The value &apos;%2&apos; (%1) is too large for the type %3.</translation>
    </message>
    <message>
        <source>Il valore &apos;%2&apos; (%1) non si converte nel tipo %3.</source>
        <translation>The value &apos;%2&apos; (%1) does not convert to the type %3.</translation>
    </message>
    <message>
        <source>Manca la tabella da cui leggere.</source>
        <translation>The table to read from is missing.</translation>
    </message>
    <message>
        <source>I tipi %1 e %2 non sono compatibili nell&apos;operatore %3.</source>
        <translation>The types %1 and %2 are not compatible in the operator %3.</translation>
    </message>
    <message>
        <source>La sottoquery restituisce più di un valore dove se ne attende uno solo.</source>
        <translation>The sub-query returns more than one value where one only is expected.</translation>
    </message>
    <message>
        <source>La colonna &apos;%1&apos; non ammette il valore NULL.</source>
        <translation>The column &apos;%1&apos; does not allow NULL.</translation>
    </message>
    <message>
        <source>La conversione da %1 a %2 non è ammessa.</source>
        <translation>The conversion from %1 to %2 is not allowed.</translation>
    </message>
    <message>
        <source>Lunghezza non valida passata alla funzione %1.</source>
        <translation>Invalid length passed to the function %1.</translation>
    </message>
    <message>
        <source>Lunghezza non valida passata a LEFT o SUBSTRING.</source>
        <translation>Invalid length passed to LEFT or SUBSTRING.</translation>
    </message>
    <message>
        <source>L&apos;istruzione viola un vincolo del database.</source>
        <translation>The statement violates a constraint of the database.</translation>
    </message>
    <message>
        <source>Il numero &apos;%1&apos; ha più delle 38 cifre ammesse.</source>
        <translation>The number &apos;%1&apos; has more than the 38 digits allowed.</translation>
    </message>
    <message>
        <source>Valore non valido in TOP o FETCH.</source>
        <translation>Invalid value in TOP or FETCH.</translation>
    </message>
    <message>
        <source>La variabile tabella %1 non è dichiarata.</source>
        <translation>The table variable %1 is not declared.</translation>
    </message>
    <message>
        <source>Attesa di un blocco scaduta: un&apos;altra sessione tiene i dati.</source>
        <translation>Lock wait timed out: another session holds the data.</translation>
    </message>
    <message>
        <source>Chiave duplicata: la riga esiste già.</source>
        <translation>Duplicate key: the row already exists.</translation>
    </message>
    <message>
        <source>Chiave duplicata: la riga esiste già in &apos;%1&apos;.</source>
        <translation>Duplicate key: the row already exists in &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>Testo troppo lungo per la colonna &apos;%2&apos; della tabella &apos;%1&apos;.</source>
        <translation>Text too long for the column &apos;%2&apos; of the table &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>La procedura &apos;%1&apos; non esiste.</source>
        <translation>The procedure &apos;%1&apos; does not exist.</translation>
    </message>
    <message>
        <source>Il server non ha risposto in tempo.</source>
        <translation>The server did not answer in time.</translation>
    </message>
    <message>
        <source>Operazione in virgola mobile non valida (per esempio la radice o il logaritmo di un numero negativo).</source>
        <translation>Invalid floating point operation (for example the square root or the logarithm of a negative number).</translation>
    </message>
    <message>
        <source>Il nome &apos;%1&apos; non corrisponde a nessuna tabella o colonna.</source>
        <translation>The name &apos;%1&apos; matches no table or column.</translation>
    </message>
    <message>
        <source>Non esiste né la colonna &apos;%1&apos; né la funzione &apos;%2&apos;.</source>
        <translation>There is neither a column &apos;%1&apos; nor a function &apos;%2&apos;.</translation>
    </message>
    <message>
        <source>Qui serve una condizione (un confronto), non un valore.</source>
        <translation>A condition (a comparison) is needed here, not a value.</translation>
    </message>
    <message>
        <source>Il tipo %1 non si converte in %2.</source>
        <translation>The type %1 does not convert to %2.</translation>
    </message>
    <message>
        <source>Valore troppo grande convertendo %1 nel tipo %2.</source>
        <translation>Value too large converting %1 to the type %2.</translation>
    </message>
    <message>
        <source>Il tipo %1 non è ammesso come argomento della funzione %2.</source>
        <translation>The type %1 is not allowed as an argument of the function %2.</translation>
    </message>
    <message>
        <source>Il tipo %1 non è ammesso per l&apos;operatore %2.</source>
        <translation>The type %1 is not allowed for the operator %2.</translation>
    </message>
    <message>
        <source>La colonna &apos;%1.%2&apos; non è in una funzione di aggregazione né nel GROUP BY.</source>
        <translation>The column &apos;%1.%2&apos; is neither in an aggregate function nor in the GROUP BY.</translation>
    </message>
    <message>
        <source>Divisione per zero.</source>
        <translation>Division by zero.</translation>
    </message>
    <message>
        <source>Troppi argomenti per la procedura o la funzione.</source>
        <translation>Too many arguments for the procedure or function.</translation>
    </message>
    <message>
        <source>Testo troppo lungo per la colonna.</source>
        <translation>Text too long for the column.</translation>
    </message>
    <message>
        <source>Le righe di un costruttore di tabella devono avere lo stesso numero di colonne.</source>
        <translation>The rows of a table constructor must have the same number of columns.</translation>
    </message>
    <message>
        <source>Il batch è stato fermato dopo %1 giri di un ciclo.</source>
        <translation>The batch was stopped after %1 rounds of a loop.</translation>
    </message>
    <message>
        <source>riga %1, colonna %2</source>
        <translation>line %1, column %2</translation>
    </message>
    <message>
        <source>riga %1</source>
        <translation>line %1</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1 (Msg %2: %3)</source>
        <translation>%1 (Msg %2: %3)</translation>
    </message>
    <message>
        <source>Copia il testo del server</source>
        <translation>Copy the server&apos;s text</translation>
    </message>
</context>
</TS>
