#pragma once

#include "ado/Ado.h"
#include "ado/Setup.h"
#include "language/FormulaLanguage.h"

#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <deque>
#include <ostream>

QT_BEGIN_NAMESPACE
// Texts in failure messages as text.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

// The demo database in a temporary embedded file, with the translations' services wired to
// it: the statements sent and the error answers asked are recorded.
class LanguageFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_connectionString = ado::setup::embeddedConnectionString(m_dir.filePath("demo.sqlite"));
        ado::setup::initialize(m_connectionString, true);
        m_connection.Open(m_connectionString);
    }

    void exec(const QString& statement) { m_connection.Execute(statement); }

    // The host of the translations: texts through translateHook (unchanged without it), the
    // fixture's connection, the error answers taken from `answers`.
    core::FunctionServices host{{
        .connection = [this] { return &m_connection; },
        .translate =
            [this](const QString& text) {
                ++translations;
                return translateHook ? translateHook(text) : text;
            },
        .messageBox = {},
        .errorAnswer =
            [this](const QString& procedure, const core::ErrorInfo& error) {
                errors.push_back({procedure, error});
                if (answers.empty())
                    return 3;
                const int answer = answers.front();
                answers.pop_front();
                return answer;
            },
        .context = {},
        .id = {},
    }};

    // The host with the look-ups recorded.
    language::Services services() {
        return {&host, [this](const QString& statement) {
                    statements << statement;
                    return m_connection.Execute(statement);
                }};
    }

    struct Reported {
        QString procedure;
        core::ErrorInfo error;
    };

    QTemporaryDir m_dir;
    QString m_connectionString;
    ado::Connection m_connection;
    QStringList statements;
    std::vector<Reported> errors;
    std::deque<int> answers; // the answers the error display gives, abort once they run out
    int translations = 0;
    std::function<QString(const QString&)> translateHook;
};

// Stored sub-queries written out in full.
inline QString categoryQuery(const QString& valueType, const QString& id) {
    return "( SELECT  COLS.value('@VALORE', '" + valueType +
           "') AS VALORE   FROM      @CM01_IDCATEGORIA.nodes('//CATEGORIE/CATEGORIA') TABLE_DEFINITION(COLS) "
           " "
           "WHERE      COLS.value('@IDCATEGORIA_CM01', 'DECIMAL(10)') = " +
           id + " )";
}

inline QString variantQuery(const QString& code) {
    return "( SELECT  COLS.value('@VALORE', 'CHAR(20)') AS VALORE   FROM      "
           "@MG5F_CODICEVAR.nodes('//VARIANTI/VARIANTE') TABLE_DEFINITION(COLS)  WHERE      "
           "COLS.value('@MG5F_CODICEVAR', 'CHAR(20)') ='" +
           code + "' )";
}
