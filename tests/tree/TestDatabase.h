#pragma once

#include "ado/Ado.h"
#include "ado/Setup.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <ostream>

// Readable test output for texts and lists of texts.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << "\n";
    for (const QString& s : l)
        *os << "  " << s.toStdString() << "\n";
}

namespace treetest {

// A small database for the element tree, built through the ADO layer on the embedded engine.
//
// Roots (display order): 0 "Documento", 100 "Dati cliente cli.", 200 "Nascosto",
// 300 "Articolo", 500 "Varianti", 800 "Configuratore"; 900 is inactive.
class TestDatabase {
public:
    TestDatabase() {
        // The schema and rows are written once per test program; every test gets its own copy.
        static const QString source = [] {
            static QTemporaryDir dir;
            const QString path = dir.filePath(QStringLiteral("template.db"));
            const QString cs = ado::setup::embeddedConnectionString(path);
            ado::setup::initialize(cs, false);
            ado::Connection c;
            c.Open(cs);
            c.BeginTrans();
            for (const QString& s : rows())
                c.Execute(s);
            c.CommitTrans();
            c.Close();
            return path;
        }();
        const QString path = m_dir.filePath(QStringLiteral("tree.db"));
        QFile::copy(source, path);
        m_connection = std::make_unique<ado::Connection>();
        m_connection->Open(QStringLiteral("Provider=Embedded;Data Source=") + path);
    }

    ado::Connection* connection() { return m_connection.get(); }

    void run(const QString& statement) { m_connection->Execute(statement); }

    // Empty when the engine runs the T-SQL of the tree's statements; otherwise the reason.
    QString tsqlMissing() { return tsqlMissingOn(*m_connection); }

    static QString tsqlMissingOn(ado::Connection& connection) {
        try {
            auto rs = connection.Execute(
                QStringLiteral(" SELECT TOP 1 RTRIM('a  ') + ' - ' + RTRIM(LP14_DESCRIZIONE) AS DESCRIZIONE "
                               " FROM  LP14_CAMPI WITH (NOLOCK)  WHERE LP14_PARENT     IS NULL "
                               " ORDER BY LP14_PROGVISUA ASC "));
            if (rs->IsEOF() || !rs->GetFields()
                                    .Item(QStringLiteral("DESCRIZIONE"))
                                    .Value()
                                    .toString()
                                    .startsWith(QStringLiteral("a - ")))
                return QStringLiteral("the embedded engine does not evaluate RTRIM/+ yet");
            return {};
        } catch (const core::ComError& e) {
            return QStringLiteral("the embedded engine does not run TOP / WITH (NOLOCK) / + yet: ") +
                   e.description();
        }
    }

    static QStringList rows() {
        return {
            // roots
            field(0, "Documento", -1, 1),
            field(100, "Dati cliente cli.", -1, 2),
            field(200, "Nascosto", -1, 3),
            field(300, "Articolo", -1, 4),
            field(500, "Varianti", -1, 5),
            field(800, "Configuratore", -1, 6),
            field(900, "Spento", -1, 7, 0),
            // children of 0: the last in display order has id 33
            field(5, "Tipo documento", 0, 2),
            field(1, "Sede", 0, 1),
            field(33, "Codice documento", 0, 3),
            field(40, "Spento", 0, 4, 0),
            // children of 100
            field(101, "Codice cliente", 100, 1),
            field(102, "Provincia cli.", 100, 2),
            field(103, "Zona Cliente CLI.", 100, 3),
            field(104, "Raggr. cli. cliente  ", 100, 4),
            field(201, "Nascosto", 200, 1),
            // children of 300
            field(301, "Famiglia", 300, 1),
            field(602, "Categoria commerciale", 300, 2),
            field(502, "Codice variante", 300, 3),
            field(599, "Opzione cliente", 300, 4),
            field(7, "Marca", 300, 5),
            // children of 500
            field(501, "Modello", 500, 1),
            // children of 800
            field(805, "Modello configurato", 800, 1),
            field(810, "Codice variante", 800, 2),
            field(899, "Modello cliente", 800, 3),
            // categories: company 1 (ordered by code) and company 2
            QStringLiteral(
                "INSERT INTO CM01_CATEGORIECOMM (CM01_IDCATEGORIA, CM01_DITTA_CG18, CM01_CODICE, CM01_DESCR) "
                "VALUES (12, 1, 'C02', 'Rivenditori')"),
            QStringLiteral(
                "INSERT INTO CM01_CATEGORIECOMM (CM01_IDCATEGORIA, CM01_DITTA_CG18, CM01_CODICE, CM01_DESCR) "
                "VALUES (3, 1, 'C01  ', 'Privati  ')"),
            QStringLiteral(
                "INSERT INTO CM01_CATEGORIECOMM (CM01_IDCATEGORIA, CM01_DITTA_CG18, CM01_CODICE, CM01_DESCR) "
                "VALUES (99, 2, 'C00', 'Altra ditta')"),
            // variants
            QStringLiteral("INSERT INTO MG5F_DIMECONF (MG5F_DITTA_CG18, MG5F_CODICEVAR, MG5F_DESCR_VAR) "
                           "VALUES (1, 'V02', 'Misura')"),
            QStringLiteral("INSERT INTO MG5F_DIMECONF (MG5F_DITTA_CG18, MG5F_CODICEVAR, MG5F_DESCR_VAR) "
                           "VALUES (1, 'V01   ', 'Colore ')"),
            QStringLiteral("INSERT INTO MG5F_DIMECONF (MG5F_DITTA_CG18, MG5F_CODICEVAR, MG5F_DESCR_VAR) "
                           "VALUES (2, 'V00', 'Altra ditta')"),
        };
    }

    static QString field(int id, const char* description, int parent, int order, int active = 1) {
        return QStringLiteral(
                   "INSERT INTO LP14_CAMPI (LP14_INDELEMENTO, LP14_DESCRIZIONE, LP14_PARENT, LP14_ISATTIVO, "
                   "LP14_PROGVISUA) VALUES (%1, '%2', %3, %4, %5)")
            .arg(id)
            .arg(QString::fromUtf8(description),
                 parent < 0 ? QStringLiteral("NULL") : QString::number(parent))
            .arg(active)
            .arg(order);
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<ado::Connection> m_connection;
};

} // namespace treetest
