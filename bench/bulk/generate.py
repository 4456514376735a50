#!/usr/bin/env python3
"""Fills an embedded database (created by `formule init-db`) with the data of the check-all
benchmark: 100,000 categories, 100,000 variants and 10,000 stored formulas of about 2 KB
spread over the three tables, every formula using two categories and one variant, and three
test cases for every record, whose expected outputs are those the formula gives."""
import json
import re
import sqlite3
import sys
from decimal import ROUND_HALF_UP, Decimal

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


OUTPUTS = ["PREZZO", "SC1PERC", "SC2PERC", "SC3PERC", "SC4PERC", "SC5PERC", "SC6PERC", "SCIMP",
           "MAG1PERC", "MAG2PERC", "MAGIMP"]


def cases(n, text):
    """Three cases of formula n with the outputs it computes: the price alone; the two
    categories and the variant that set their outputs too; no purchase price (a NULL price)."""
    first, second = 1000 + n * 7 % 100000, 1000 + n * 11 % 100000
    variant = "V:V%06d" % (n * 13 % 100000)
    factor = Decimal(re.findall(r"@ATTPREZZO \* (\d+\.\d+)", text)[-1])
    price, purchase, discount = Decimal(n % 997 + 10) + Decimal("0.25"), 3 * (n % 50 + 1), Decimal("1.125")
    computed = (price * factor + Decimal(purchase) / 3).quantize(Decimal("0.01"), ROUND_HALF_UP) - discount
    values = {"@ATTPREZZO": str(price), "@INPREZZO": str(purchase), "@ATTSC3PERC": str(discount)}
    out = []
    for name, low, high, colour, with_purchase in (("Solo prezzo", "1", "1", "ROSSO", True),
                                                   ("Categorie e variante", "3", "9", "BLU", True),
                                                   ("Senza prezzo d'acquisto", "1", "1", "ROSSO", False)):
        given = dict(values)
        if not with_purchase:
            del given["@INPREZZO"]
        given["C:%d" % first], given["C:%d" % second], given[variant] = low, high, colour
        first_value = Decimal(given["C:%d" % first])
        second_value = Decimal(given["C:%d" % second])
        expected = dict.fromkeys(OUTPUTS)
        expected["PREZZO"] = "%.6f" % computed if with_purchase else None
        expected["MAG1PERC"] = "4.000" if first_value > 2 else None
        expected["MAGIMP"] = "15.000000" if colour == "BLU" else None
        expected["SC1PERC"] = "2.000" if second_value > 5 else None
        out.append((name, json.dumps(given, sort_keys=True, separators=(",", ":")), expected))
    return out


def collate_ci(a, b):
    """The engine's collation TSQL_CI for ASCII text (case and trailing blanks ignored): the
    indexes of the category and variant codes are declared with it."""
    a, b = a.rstrip(" "), b.rstrip(" ")
    for x, y in zip(a, b):
        if x != y:
            x, y = x.lower() if x.isascii() else x, y.lower() if y.isascii() else y
            if x != y:
                return -1 if x < y else 1
    return (len(a) > len(b)) - (len(a) < len(b))


def main(path, formulas=10000, categories=100000, variants=100000):
    db = sqlite3.connect(path)
    db.create_collation("TSQL_CI", collate_ci)
    db.execute("DELETE FROM LP01_PROVIDER")
    db.execute("DELETE FROM LP07_QUOTAZIONI")
    db.execute("DELETE FROM LP17_FORMULEMANUT")
    db.execute("DELETE FROM CM01_CATEGORIECOMM")
    db.execute("DELETE FROM MG5F_DIMECONF")
    db.execute("DELETE FROM LP30_CASIPROVA")
    db.executemany("INSERT INTO CM01_CATEGORIECOMM (CM01_IDCATEGORIA, CM01_DITTA_CG18, CM01_CODICE, CM01_DESCR, "
                   "CM01_INDTIPODATO) VALUES (?, 1, ?, ?, 1)",
                   ((1000 + i, "C%06d" % i, "Categoria %d" % i) for i in range(categories)))
    db.executemany("INSERT INTO MG5F_DIMECONF (MG5F_DITTA_CG18, MG5F_CODICEVAR, MG5F_DESCR_VAR) VALUES (1, ?, ?)",
                   (("V%06d" % i, "Variante %d" % i) for i in range(variants)))
    for n in range(formulas):
        table, id_column, description, column = TABLES[n % 3]
        db.execute("INSERT INTO %s (%s, %s, %s) VALUES (?, ?, ?)" % (table, id_column, description, column),
                   (n + 1, "Formula %d" % (n + 1), formula(n)))
        for name, given, expected in cases(n, formula(n)):
            db.execute("INSERT INTO LP30_CASIPROVA (LP30_CONTESTO, LP30_IDFORMULA, LP30_NOME, LP30_INGRESSI, %s, "
                       "LP30_UTENTE) VALUES (?, ?, ?, ?, %s, 'bench')"
                       % (", ".join("LP30_OUT" + o for o in OUTPUTS), ", ".join("?" * len(OUTPUTS))),
                       [n % 3, n + 1, name, given] + [expected[o] for o in OUTPUTS])
    db.commit()
    db.close()


if __name__ == "__main__":
    main(sys.argv[1])
