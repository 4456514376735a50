#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace ado {
class Connection;
}

namespace language {

// A formula is stored with each quote of its text doubled ('' for '): the text the store
// writes, and the text shown again from the display form of what it wrote.
inline QString doubledQuotes(QString text) {
    return text.replace(QStringLiteral("'"), QStringLiteral("''"));
}
inline QString singledQuotes(QString text) {
    return text.replace(QStringLiteral("''"), QStringLiteral("'"));
}

// One record of the three formula tables whose formula is not NULL.
struct StoredFormula {
    int context = 0;
    qint64 id = 0;
    QString description;
    QString sql; // the stored SQL form, trailing blanks removed
};

// Reads the stored formulas forward only, in the order context then id, a page of rows at a
// time: a whole table is never held in memory, however many records it has. Each page is one
// statement on the connection (keyed on the last id read), so the connection stays free for
// other statements between two calls of next().
class StoredFormulaReader {
public:
    static constexpr int PageSize = 256;

    // `context`: only that context (0, 1 or 2); nullopt: the three in their order.
    // `connection` must outlive the reader.
    StoredFormulaReader(ado::Connection& connection, std::optional<int> context);

    // Starts the reading after the record `id` of `context` (a run interrupted there goes on):
    // the records of the contexts before it and its own up to `id` are skipped. Call before next().
    void startAfter(int context, qint64 id);

    // The next record, or nullopt at the end. Throws core::ComError when a statement fails.
    std::optional<StoredFormula> next();

    // How many records a reader of `context` reads (one count statement per table).
    static qint64 count(ado::Connection& connection, std::optional<int> context);

    // The statement that reads the page of `context` after `lastId` (nullopt: the first page).
    static QString pageStatement(int context, std::optional<qint64> lastId);

private:
    // The contexts a reader of `context` goes through, in their order.
    static QList<int> contextsOf(std::optional<int> context);
    bool fetchPage();

    ado::Connection& m_connection;
    QList<int> m_contexts;
    qsizetype m_contextIndex = 0;
    std::optional<qint64> m_lastId;
    bool m_contextDone = false;
    QList<StoredFormula> m_page;
    qsizetype m_pagePos = 0;
};

} // namespace language
