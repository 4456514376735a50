#include "tsql/values/SqliteStatement.h"

#include "tsql/base/Limits.h"

#include <QSqlDriver>

#include <sqlite3.h>

namespace tsql {

sqlite3* sqliteHandle(const QSqlDatabase& db) {
    const QVariant h = db.driver() ? db.driver()->handle() : QVariant();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(h.constData());
}

SqliteStatement::SqliteStatement(sqlite3* db, const QString& sql)
    : m_db(db) {
    if (!db || sqlite3_prepare16_v2(db, sql.utf16(), int(sql.size() * sizeof(char16_t)), &m_stmt, nullptr) !=
                   SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
    }
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(m_stmt);
}

int SqliteStatement::bind(const QVariantList& params) {
    int index = 1;
    for (const QVariant& v : params) {
        int rc;
        if (v.isNull()) {
            rc = sqlite3_bind_null(m_stmt, index);
        } else if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int) {
            rc = sqlite3_bind_int64(m_stmt, index, v.toLongLong());
        } else if (v.typeId() == QMetaType::Double) {
            rc = sqlite3_bind_double(m_stmt, index, v.toDouble());
        } else {
            const QString text = v.toString();
            const qint64 bytes = qint64(text.size()) * qint64(sizeof(char16_t));
            // SQLite keeps a copy of the text, and another in UTF-8 once it compares or stores it.
            if (bytes > 8192)
                checkRoomFor(2 * bytes);
            rc = bytes > std::numeric_limits<int>::max()
                     ? SQLITE_TOOBIG
                     : sqlite3_bind_text16(m_stmt, index, text.utf16(), int(bytes), SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK)
            return rc;
        ++index;
    }
    return SQLITE_OK;
}

int SqliteStatement::step() {
    return sqlite3_step(m_stmt);
}

Value SqliteStatement::column(int index) const {
    switch (sqlite3_column_type(m_stmt, index)) {
    case SQLITE_INTEGER:
        return Value::integer(sqlite3_column_int64(m_stmt, index), TypeId::BigInt);
    case SQLITE_FLOAT:
        return Value::flt(sqlite3_column_double(m_stmt, index));
    case SQLITE_NULL:
        return Value::nullOf(SqlType::of(TypeId::Unknown));
    case SQLITE_BLOB:
        return Value::str(QString::fromUtf8(static_cast<const char*>(sqlite3_column_blob(m_stmt, index)),
                                            sqlite3_column_bytes(m_stmt, index)));
    default: {
        // Read as SQLite stores it (UTF-8), converted once, into the text itself.
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, index));
        const int bytes = sqlite3_column_bytes(m_stmt, index);
        if (bytes > 4096)
            checkRoomFor(qint64(bytes) * qint64(sizeof(QChar)));
        return Value::str(QString::fromUtf8(text, bytes));
    }
    }
}

void SqliteStatement::reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

qint64 SqliteStatement::changes() const {
    return sqlite3_changes64(m_db);
}

QString SqliteStatement::errorText() const {
    return m_db ? QString::fromUtf16(static_cast<const char16_t*>(sqlite3_errmsg16(m_db))) : QString();
}

int SqliteStatement::errorCode() const {
    return m_db ? sqlite3_extended_errcode(m_db) : SQLITE_ERROR;
}

} // namespace tsql
