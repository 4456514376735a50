// The statements the editor sends for its look-ups and its element tree seek on an index on the
// embedded database: every SQLite statement the engine generates for them is traced, and
// EXPLAIN QUERY PLAN of each must reach the category and variant tables through an index, never
// by reading the whole table.

#include "LanguageFixture.h"

#include "language/References.h"
#include "tables/ElementTables.h"

#include <QSqlDatabase>
#include <QSqlDriver>

#include <sqlite3.h>

#include <set>

namespace {

std::set<QString>& traced() {
    static std::set<QString> statements;
    return statements;
}

int onStatement(unsigned, void*, void* statement, void*) {
    if (const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(statement)))
        traced().insert(QString::fromUtf8(sql));
    return 0;
}

// The SQLite handles of the open embedded connections.
std::vector<sqlite3*> handles() {
    std::vector<sqlite3*> result;
    for (const QString& name : QSqlDatabase::connectionNames()) {
        const QVariant h = QSqlDatabase::database(name, false).driver()->handle();
        if (h.isValid() && qstrcmp(h.typeName(), "sqlite3*") == 0)
            result.push_back(*static_cast<sqlite3* const*>(h.constData()));
    }
    return result;
}

// The detail lines of EXPLAIN QUERY PLAN of `sql`, parameters left unbound.
QStringList plan(sqlite3* db, const QString& sql) {
    QStringList lines;
    sqlite3_stmt* q = nullptr;
    const QByteArray text = ("EXPLAIN QUERY PLAN " + sql).toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), -1, &q, nullptr) != SQLITE_OK)
        return {QStringLiteral("cannot prepare: ") + QString::fromUtf8(sqlite3_errmsg(db))};
    while (sqlite3_step(q) == SQLITE_ROW)
        lines << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(q, 3)));
    sqlite3_finalize(q);
    return lines;
}

class LookupPlan : public LanguageFixture {
protected:
    void SetUp() override {
        LanguageFixture::SetUp();
        traced().clear();
        for (sqlite3* db : handles())
            sqlite3_trace_v2(db, SQLITE_TRACE_STMT, onStatement, nullptr);
    }
    void TearDown() override {
        for (sqlite3* db : handles())
            sqlite3_trace_v2(db, 0, nullptr, nullptr);
    }

    // Every traced statement over the two tables reads them through an index.
    void expectIndexed() {
        int checked = 0;
        for (const QString& sql : traced()) {
            if (sql.startsWith(QLatin1String("PRAGMA")) ||
                (!sql.contains(QLatin1String("CM01_CATEGORIECOMM")) &&
                 !sql.contains(QLatin1String("MG5F_DIMECONF"))))
                continue;
            ++checked;
            const QStringList lines = plan(handles().front(), sql);
            ASSERT_FALSE(lines.isEmpty()) << sql.toStdString();
            for (const QString& line : lines) {
                if (!line.contains(QLatin1String("CM01_CATEGORIECOMM")) &&
                    !line.contains(QLatin1String("MG5F_DIMECONF")))
                    continue;
                EXPECT_TRUE(line.startsWith(QLatin1String("SEARCH")) && line.contains(QLatin1String("INDEX")))
                    << "statement: " << sql.toStdString() << "\nplan: " << line.toStdString();
                EXPECT_FALSE(line.contains(QLatin1String("TEMP B-TREE")))
                    << "statement: " << sql.toStdString() << "\nplan: " << line.toStdString();
            }
        }
        EXPECT_GT(checked, 0);
    }
};

TEST_F(LookupPlan, SingleLookUpsSeekOnAnIndex) {
    exec(tables::categoryIdStatement(QStringLiteral("c01")));
    exec(tables::categoryDataTypeStatement(QStringLiteral("123")));
    exec(tables::categoryLabelStatement(QStringLiteral("123")));
    exec(*language::refs::variantLabelStatement(QStringLiteral("'v01 '")));
    expectIndexed();
}

TEST_F(LookupPlan, TranslationsOfSeveralReferencesSeekOnAnIndex) {
    language::FormulaLanguage lang(host);
    const QString display = QStringLiteral(
        "IF {C01 - Colore} = 'ROSSO' AND {c02 - Altezza} = 1 AND |V01 - x| = 'A' AND |v02| = 'B' "
        "SET [Prezzo lordo] = 1");
    const QString sql = lang.decodeToken(display, false);
    lang.encodeToken(sql);
    expectIndexed();
}

TEST_F(LookupPlan, TreeListsSeekOnAnIndexInTheirOrder) {
    exec(tables::categoriesStatement(QStringLiteral("1")));
    exec(tables::variantsStatement(QStringLiteral("1")));
    exec(tables::categoriesTestStatement(QStringLiteral("1")));
    expectIndexed();
}

} // namespace
