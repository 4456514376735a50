#include "tsql/Engine.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace tsql {

struct Engine::Impl {
    QSqlDatabase db;
    int tranCount = 0;
};

Engine::Engine(QSqlDatabase db)
    : d(std::make_unique<Impl>()) {
    d->db = db;
}

Engine::~Engine() = default;

static core::Variant toVariant(const QVariant& v) {
    if (v.isNull())
        return core::Variant::null();
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
        return core::Variant::fromInt32(v.toInt());
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
        qint64 n = v.toLongLong();
        if (n >= INT32_MIN && n <= INT32_MAX)
            return core::Variant::fromInt32(static_cast<qint32>(n));
        return core::Variant::fromInt64(n);
    }
    case QMetaType::Double:
        return core::Variant::fromDouble(v.toDouble());
    default:
        return core::Variant::fromString(v.toString());
    }
}

BatchResult Engine::execute(const QString& batch) {
    BatchResult result;
    QSqlQuery q(d->db);
    if (!q.exec(batch)) {
        ServerError e;
        e.number = 50000;
        e.message = q.lastError().text();
        result.error = e;
        return result;
    }
    if (q.isSelect()) {
        core::RowSet rs;
        QSqlRecord rec = q.record();
        for (int i = 0; i < rec.count(); ++i)
            rs.columns << rec.fieldName(i);
        while (q.next()) {
            QList<core::Variant> row;
            for (int i = 0; i < rec.count(); ++i)
                row << toVariant(q.value(i));
            rs.rows << row;
        }
        result.resultSets << rs;
    } else {
        result.recordsAffected = q.numRowsAffected();
    }
    return result;
}

void Engine::beginTransaction() {
    if (d->tranCount == 0)
        d->db.transaction();
    ++d->tranCount;
}

void Engine::commitTransaction() {
    if (d->tranCount == 0)
        return;
    if (--d->tranCount == 0)
        d->db.commit();
}

void Engine::rollbackTransaction() {
    if (d->tranCount == 0)
        return;
    d->tranCount = 0;
    d->db.rollback();
}

int Engine::transactionCount() const {
    return d->tranCount;
}

} // namespace tsql
