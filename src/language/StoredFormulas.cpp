#include "language/StoredFormulas.h"

#include "ado/Ado.h"
#include "core/NullSafe.h"
#include "tables/EditingContext.h"
#include "tables/FormulaTables.h"

namespace language {

QList<int> StoredFormulaReader::contextsOf(std::optional<int> context) {
    QList<int> contexts;
    for (const tables::EditingContext& c : tables::editingContexts()) {
        if (!context || *context == c.number)
            contexts.append(c.number);
    }
    return contexts;
}

StoredFormulaReader::StoredFormulaReader(ado::Connection& connection, std::optional<int> context)
    : m_connection(connection)
    , m_contexts(contextsOf(context)) {}

qint64 StoredFormulaReader::count(ado::Connection& connection, std::optional<int> context) {
    qint64 count = 0;
    for (int number : contextsOf(context)) {
        const ado::RecordsetPtr rs = connection.Execute(tables::storedCountStatement(number));
        if (rs && rs->IsOpen() && !rs->IsEOF())
            count += rs->GetFields().Item(0).Value().toInt64();
    }
    return count;
}

QString StoredFormulaReader::pageStatement(int context, std::optional<qint64> lastId) {
    return tables::storedPageStatement(context, PageSize, lastId);
}

bool StoredFormulaReader::fetchPage() {
    m_page.clear();
    m_pagePos = 0;
    while (m_contextIndex < m_contexts.size()) {
        const int context = m_contexts.at(m_contextIndex);
        if (!m_contextDone) {
            const ado::RecordsetPtr rs = m_connection.Execute(pageStatement(context, m_lastId));
            while (rs && rs->IsOpen() && !rs->IsEOF()) {
                StoredFormula f;
                f.context = context;
                f.id = rs->GetFields().Item(0).Value().toInt64();
                f.description = core::RTrimN(rs->GetFields().Item(1).Value()).toString();
                f.sql = core::RTrimN(rs->GetFields().Item(2).Value()).toString();
                m_page.append(std::move(f));
                rs->MoveNext();
            }
            // A short page is the last one of its table.
            m_contextDone = m_page.size() < PageSize;
            if (!m_page.isEmpty()) {
                m_lastId = m_page.last().id;
                return true;
            }
        }
        ++m_contextIndex;
        m_lastId.reset();
        m_contextDone = false;
    }
    return false;
}

void StoredFormulaReader::startAfter(int context, qint64 id) {
    qsizetype index = 0;
    while (index < m_contexts.size() && m_contexts.at(index) < context)
        ++index;
    m_contextIndex = index;
    m_page.clear();
    m_pagePos = 0;
    m_contextDone = false;
    if (index < m_contexts.size() && m_contexts.at(index) == context)
        m_lastId = id;
    else
        m_lastId.reset();
}

std::optional<StoredFormula> StoredFormulaReader::next() {
    if (m_pagePos >= m_page.size() && !fetchPage())
        return std::nullopt;
    return std::move(m_page[m_pagePos++]);
}

} // namespace language
