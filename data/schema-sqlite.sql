-- Tables of the formula editor for the embedded database (SQLite).
-- Every statement ends with ';' at the end of a line. Columns beyond those the editor
-- reads and writes are nullable or have defaults.

CREATE TABLE IF NOT EXISTS LP01_PROVIDER (
    LP01_ID            INTEGER      NOT NULL PRIMARY KEY,
    LP01_DESCRIZIONE   VARCHAR(80)  NULL,
    LP01_FORMULE       TEXT         NULL,
    LP01_IDMEDIA_CG99  INTEGER      NULL,
    LP01_DITTA_CG18    DECIMAL(5,0) NOT NULL DEFAULT 1
);

CREATE TABLE IF NOT EXISTS LP07_QUOTAZIONI (
    LP07_ID            INTEGER      NOT NULL PRIMARY KEY,
    LP07_DESCRIZIONE   VARCHAR(80)  NULL,
    LP07_FORMULE       TEXT         NULL,
    LP07_DITTA_CG18    DECIMAL(5,0) NOT NULL DEFAULT 1
);

CREATE TABLE IF NOT EXISTS LP17_FORMULEMANUT (
    LP17_ID            INTEGER      NOT NULL PRIMARY KEY,
    LP17_DESCRIZIONE   VARCHAR(80)  NULL,
    LP17_FORMULA       TEXT         NULL,
    LP17_DITTA_CG18    DECIMAL(5,0) NOT NULL DEFAULT 1
);

CREATE TABLE IF NOT EXISTS LP14_CAMPI (
    LP14_INDELEMENTO   INTEGER      NOT NULL PRIMARY KEY,
    LP14_DESCRIZIONE   VARCHAR(80)  NOT NULL,
    LP14_PARENT        INTEGER      NULL,
    LP14_ISATTIVO      SMALLINT     NOT NULL DEFAULT 1,
    LP14_PROGVISUA     INTEGER      NOT NULL DEFAULT 0
);

CREATE TABLE IF NOT EXISTS CM01_CATEGORIECOMM (
    CM01_IDCATEGORIA   DECIMAL(10,0) NOT NULL PRIMARY KEY,
    CM01_DITTA_CG18    DECIMAL(5,0)  NOT NULL DEFAULT 1,
    CM01_CODICE        CHAR(10)      NOT NULL,
    CM01_DESCR         VARCHAR(80)   NOT NULL DEFAULT '',
    CM01_INDTIPODATO   SMALLINT      NOT NULL DEFAULT 0,
    UNIQUE (CM01_CODICE)
);

CREATE TABLE IF NOT EXISTS MG5F_DIMECONF (
    MG5F_DITTA_CG18    DECIMAL(5,0) NOT NULL DEFAULT 1,
    MG5F_CODICEVAR     CHAR(20)     NOT NULL,
    MG5F_DESCR_VAR     VARCHAR(80)  NOT NULL DEFAULT '',
    PRIMARY KEY (MG5F_DITTA_CG18, MG5F_CODICEVAR)
);

-- Codes are looked up and listed as the server compares texts (case-insensitive, trailing
-- blanks ignored): these indexes are declared with the engine's collation, so the comparisons
-- the engine writes (COLLATE TSQL_CI) seek on them instead of reading the whole table. A
-- connection that writes these tables must know the collation (the engine registers it).
CREATE INDEX IF NOT EXISTS IX_CM01_CODICE_CI ON CM01_CATEGORIECOMM (CM01_CODICE COLLATE TSQL_CI);
CREATE INDEX IF NOT EXISTS IX_CM01_DITTA_CODICE_CI ON CM01_CATEGORIECOMM (CM01_DITTA_CG18, CM01_CODICE COLLATE TSQL_CI);
CREATE INDEX IF NOT EXISTS IX_MG5F_CODICEVAR_CI ON MG5F_DIMECONF (MG5F_CODICEVAR COLLATE TSQL_CI);
CREATE INDEX IF NOT EXISTS IX_MG5F_DITTA_CODICEVAR_CI ON MG5F_DIMECONF (MG5F_DITTA_CG18, MG5F_CODICEVAR COLLATE TSQL_CI);

-- The test cases kept with the formulas: a record's (context, id) named values for the
-- formula's inputs (a JSON object keyed as the trial panel keys them) and the value every
-- output is expected to have after the run, as the trial panel shows it (NULL: NULL).
CREATE TABLE IF NOT EXISTS LP30_CASIPROVA (
    LP30_CONTESTO      SMALLINT      NOT NULL,
    LP30_IDFORMULA     BIGINT        NOT NULL,
    LP30_NOME          NVARCHAR(80)  NOT NULL,
    LP30_INGRESSI      TEXT          NULL,
    LP30_OUTPREZZO         NVARCHAR(100) NULL,
    LP30_OUTSC1PERC        NVARCHAR(100) NULL,
    LP30_OUTSC2PERC        NVARCHAR(100) NULL,
    LP30_OUTSC3PERC        NVARCHAR(100) NULL,
    LP30_OUTSC4PERC        NVARCHAR(100) NULL,
    LP30_OUTSC5PERC        NVARCHAR(100) NULL,
    LP30_OUTSC6PERC        NVARCHAR(100) NULL,
    LP30_OUTSCIMP          NVARCHAR(100) NULL,
    LP30_OUTMAG1PERC       NVARCHAR(100) NULL,
    LP30_OUTMAG2PERC       NVARCHAR(100) NULL,
    LP30_OUTMAGIMP         NVARCHAR(100) NULL,
    LP30_UTENTE        NVARCHAR(80)  NULL,
    LP30_DATA          DATETIME      NULL,
    PRIMARY KEY (LP30_CONTESTO, LP30_IDFORMULA, LP30_NOME)
);

-- Every version of every formula, kept as the formula is written (save, clear, restore, import):
-- the record's (context, id), its version number (1, 2, ... per record), the stored SQL form
-- (NULL for a clear), who wrote it, when (UTC, ISO 8601 text: 2026-12-06T17:57:07Z), from where
-- (window, tool, import), an optional comment and the SHA-256 of the text (hex, NULL for a
-- clear). Rows are only ever appended by the component; a database administrator prunes them.
-- NVARCHAR(-1) is the engine's NVARCHAR(MAX) (Unicode, no length limit): SQLite takes no MAX.
CREATE TABLE IF NOT EXISTS LP31_VERSIONI (
    LP31_CONTESTO      SMALLINT      NOT NULL,
    LP31_IDFORMULA     BIGINT        NOT NULL,
    LP31_VERSIONE      INTEGER       NOT NULL,
    LP31_FORMULA       NVARCHAR(-1)  NULL,
    LP31_UTENTE        NVARCHAR(128) NULL,
    LP31_DATA          VARCHAR(20)   NOT NULL,
    LP31_ORIGINE       VARCHAR(10)   NOT NULL,
    LP31_COMMENTO      NVARCHAR(400) NULL,
    LP31_HASH          CHAR(64)      NULL,
    PRIMARY KEY (LP31_CONTESTO, LP31_IDFORMULA, LP31_VERSIONE)
);
