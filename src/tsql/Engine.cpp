#include "tsql/Engine.h"
#include "core/Logging.h"

#include "tsql/Session.h"

namespace tsql {

struct Engine::Impl {
    explicit Impl(const QSqlDatabase& db)
        : session(db) {}
    Session session;
};

Engine::Engine(const QSqlDatabase& db)
    : d(std::make_unique<Impl>(db)) {}

Engine::~Engine() = default;

// The value as ADO hands it to the caller: integers by size, exact numbers as Decimal, texts
// (and dates, xml) as String, SQL NULL as Null.
core::Variant toVariant(const Value& v) {
    if (v.null)
        return core::Variant::null();
    switch (v.type.id) {
    case TypeId::Bit:
        return core::Variant::fromBool(v.i != 0);
    case TypeId::TinyInt:
    case TypeId::SmallInt:
        return core::Variant::fromInt16(static_cast<std::int16_t>(v.i));
    case TypeId::Int:
    case TypeId::Unknown:
        if (v.i >= std::numeric_limits<qint32>::min() && v.i <= std::numeric_limits<qint32>::max())
            return core::Variant::fromInt32(static_cast<std::int32_t>(v.i));
        return core::Variant::fromInt64(v.i);
    case TypeId::BigInt:
        return core::Variant::fromInt64(v.i);
    case TypeId::Decimal:
    case TypeId::Money:
    case TypeId::SmallMoney: {
        Numeric n = v.n;
        if (n.scale > core::Decimal::MaxScale)
            n = n.rescaled(core::Decimal::MaxScale).value_or(n);
        unsigned __int128 mag =
            n.v < 0 ? static_cast<unsigned __int128>(-n.v) : static_cast<unsigned __int128>(n.v);
        if (auto d = core::Decimal::fromParts(mag, n.scale, n.v < 0))
            return core::Variant::fromDecimal(*d);
        return core::Variant::fromDouble(n.toDouble());
    }
    case TypeId::Float:
    case TypeId::Real:
        return core::Variant::fromDouble(v.f);
    case TypeId::Date:
        return core::Variant::fromString(v.dt->toString(QStringLiteral("yyyy-MM-dd")));
    case TypeId::DateTime:
    case TypeId::SmallDateTime:
        return core::Variant::fromString(v.dt->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")));
    case TypeId::DateTime2:
    case TypeId::Time:
        return core::Variant::fromString(toText(v));
    default:
        return core::Variant::fromString(v.s);
    }
}

namespace {

// The rows as ADO hands them over; each row of the engine's values is freed once converted, so
// that the two forms of a large result are not held at the same time.
BatchResult toBatchResult(RunResult&& r) {
    BatchResult out;
    for (ResultSet& rs : r.resultSets) {
        core::RowSet set;
        set.columns = rs.columns;
        set.rows.reserve(qsizetype(rs.rows.size()));
        for (auto& row : rs.rows) {
            QList<core::Variant> values;
            values.reserve(qsizetype(row.size()));
            for (const Value& v : row)
                values << toVariant(v);
            set.rows << values;
            std::vector<Value>().swap(row);
        }
        // Nothing of the engine's set stays once it is converted.
        rs = ResultSet();
        out.resultSets << set;
    }
    out.recordsAffected = r.recordsAffected;
    out.error = r.error;
    out.executedLines.reserve(qsizetype(r.executedLines.size()));
    for (int line : r.executedLines)
        out.executedLines << line;
    return out;
}

} // namespace

BatchResult Engine::execute(const QString& batch) {
    qCDebug(core::lcTsql) << "running a batch of" << batch.size() << "characters";
    return toBatchResult(d->session.run(batch));
}

IsolatedResult Engine::executeIsolated(const QString& batch, bool writeLock, bool traceLines,
                                       ReadRest* read) {
    IsolatedRun r = d->session.runIsolated(batch, writeLock, traceLines, read);
    IsolatedResult out;
    out.result = toBatchResult(std::move(r.result));
    out.transactionCountAfter = r.transactionCountAfter;
    return out;
}

void Engine::setLimits(const Limits& limits) {
    d->session.setLimits(limits);
}

const Limits& Engine::limits() const {
    return d->session.limits();
}

void Engine::cancel() {
    d->session.cancel();
}

void Engine::beginTransaction() {
    d->session.beginTransaction();
}

void Engine::commitTransaction() {
    d->session.commitTransaction();
}

void Engine::rollbackTransaction() {
    d->session.rollbackTransaction();
}

int Engine::transactionCount() const {
    return d->session.transactionCount();
}

} // namespace tsql
