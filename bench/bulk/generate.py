#!/usr/bin/env python3
"""Fills an embedded database (created by `formule init-db`) with the data of the check-all
benchmark: 100,000 categories, 100,000 variants and 10,000 stored formulas of about 2 KB
spread over the three tables, every formula using two categories and one variant."""
import sqlite3
import sys

CATEGORY = ("( SELECT  COLS.value('@VALORE', 'DECIMAL(17,6)') AS VALORE   FROM      "
            "@CM01_IDCATEGORIA.nodes('//CATEGORIE/CATEGORIA') TABLE_DEFINITION(COLS)  WHERE      "
            "COLS.value('@IDCATEGORIA_CM01', 'DECIMAL(10)') = {} )")
VARIANT = ("( SELECT  COLS.value('@VALORE', 'CHAR(20)') AS VALORE   FROM      "
           "@MG5F_CODICEVAR.nodes('//VARIANTI/VARIANTE') TABLE_DEFINITION(COLS)  WHERE      "
           "COLS.value('@MG5F_CODICEVAR', 'CHAR(20)') ='{}' )")
TABLES = [("LP01_PROVIDER", "LP01_ID", "LP01_DESCRIZIONE", "LP01_FORMULE"),
          ("LP07_QUOTAZIONI", "LP07_ID", "LP07_DESCRIZIONE", "LP07_FORMULE"),
          ("LP17_FORMULEMANUT", "LP17_ID", "LP17_DESCRIZIONE", "LP17_FORMULA")]


def formula(n):
    lines = [
        "IF " + CATEGORY.format(1000 + n * 7 % 100000) + " > 2 SET @OUTMAG1PERC = 4",
        "IF " + VARIANT.format("V%06d" % (n * 13 % 100000)) + " = 'BLU' SET @OUTMAGIMP = 15",
        "IF " + CATEGORY.format(1000 + n * 11 % 100000) + " > 5 SET @OUTSC1PERC = 2",
    ]
    i = 0
    while sum(len(line) + 1 for line in lines) < 2000:
        lines.append("SET @OUTPREZZO = ROUND(@ATTPREZZO * %d.%02d + @INPREZZO / 3, 2) - @ATTSC3PERC" % (1 + i % 3, n % 100))
        i += 1
    return "\n".join(lines)


def ascii_ci(a, b):
    """The engine's TSQL_CI for the ASCII codes written here (trailing blanks ignored, letters
    without case): the code indexes are declared with it, so SQLite needs it to insert rows."""
    x, y = a.rstrip(" ").lower(), b.rstrip(" ").lower()
    return (x > y) - (x < y)


def main(path, formulas=10000, categories=100000, variants=100000):
    db = sqlite3.connect(path)
    db.create_collation("TSQL_CI", ascii_ci)
    db.execute("DELETE FROM LP01_PROVIDER")
    db.execute("DELETE FROM LP07_QUOTAZIONI")
    db.execute("DELETE FROM LP17_FORMULEMANUT")
    db.execute("DELETE FROM CM01_CATEGORIECOMM")
    db.execute("DELETE FROM MG5F_DIMECONF")
    db.executemany("INSERT INTO CM01_CATEGORIECOMM (CM01_IDCATEGORIA, CM01_DITTA_CG18, CM01_CODICE, CM01_DESCR, "
                   "CM01_INDTIPODATO) VALUES (?, 1, ?, ?, 1)",
                   ((1000 + i, "C%06d" % i, "Categoria %d" % i) for i in range(categories)))
    db.executemany("INSERT INTO MG5F_DIMECONF (MG5F_DITTA_CG18, MG5F_CODICEVAR, MG5F_DESCR_VAR) VALUES (1, ?, ?)",
                   (("V%06d" % i, "Variante %d" % i) for i in range(variants)))
    for n in range(formulas):
        table, id_column, description, column = TABLES[n % 3]
        db.execute("INSERT INTO %s (%s, %s, %s) VALUES (?, ?, ?)" % (table, id_column, description, column),
                   (n + 1, "Formula %d" % (n + 1), formula(n)))
    db.commit()
    db.close()


if __name__ == "__main__":
    main(sys.argv[1])
