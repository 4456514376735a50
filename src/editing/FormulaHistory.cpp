#include "editing/FormulaHistory.h"

#include "ado/Ado.h"
#include "tables/FormulaTables.h"
#include "tables/Literals.h"

#include <QCryptographicHash>

#include <QDateTime>
#include <algorithm>

namespace editing {

namespace {

const QString Table = QStringLiteral("LP31_VERSIONI");
const QString Columns =
    QStringLiteral("LP31_CONTESTO, LP31_IDFORMULA, LP31_VERSIONE, LP31_FORMULA, LP31_UTENTE, "
                   "LP31_DATA, LP31_ORIGINE, LP31_COMMENTO, LP31_HASH");

QString literal(const QString& text) {
    return QLatin1Char('N') + tables::sqlLiteral(text);
}

QString nullableLiteral(const std::optional<QString>& text) {
    return text ? literal(*text) : QStringLiteral("NULL");
}

// An empty text is kept as NULL (no user, no comment).
QString optionalLiteral(const QString& text) {
    return text.isEmpty() ? QStringLiteral("NULL") : literal(text);
}

QString keyWhere(int context, qint64 id) {
    return QStringLiteral("LP31_CONTESTO = %1 AND LP31_IDFORMULA = %2").arg(context).arg(id);
}

std::optional<QString> textOf(const core::Variant& v) {
    if (v.isNull() || v.isEmpty())
        return std::nullopt;
    return v.toString();
}

bool invalidObject(ado::Connection& connection) {
    for (const ado::Error& e : connection.GetErrors().items())
        if (e.nativeError == 208)
            return true;
    return false;
}

// The identifier of the UPDATE as a whole number: "12" and "12.000" are 12; anything else is none.
std::optional<qint64> wholeId(const QString& idText) {
    const QString text = idText.trimmed();
    const qsizetype point = text.indexOf(u'.');
    const QString whole = point < 0 ? text : text.left(point);
    if (point >= 0) {
        for (QChar c : text.mid(point + 1))
            if (c != u'0')
                return std::nullopt;
    }
    bool ok = false;
    const qint64 value = whole.toLongLong(&ok);
    if (!ok || whole.isEmpty() || !(whole.at(0).isDigit() || whole.at(0) == u'-'))
        return std::nullopt;
    return value;
}

// Whether the last statement was refused for a key already there (Msg 2627).
bool duplicateKey(ado::Connection& connection) {
    for (const ado::Error& e : connection.GetErrors().items())
        if (e.nativeError == 2627)
            return true;
    return false;
}

// Tries of one write whose version number was taken meanwhile.
constexpr int MaxAttempts = 3;

// The formula of the record the write is for (nullopt inside for NULL); nullopt when there is no
// such record.
std::optional<std::optional<QString>> heldFormula(ado::Connection& connection, const VersionedWrite& w) {
    const ado::RecordsetPtr rs = connection.Execute(*tables::formulaSelectStatement(w.context, w.idText));
    if (!rs->IsOpen() || rs->IsEOF())
        return std::nullopt;
    const core::Variant value = rs->GetFields().Item(0).Value();
    return value.isNull() ? std::optional<QString>() : std::optional<QString>(value.toString());
}

// Rolls back the transaction of a write that failed, if the server has not ended it already
// (SQL Server ends it itself on some errors); a failure here leaves the first error to report.
void rollBack(ado::Connection& connection) {
    try {
        if (connection.TransactionCount() > 0)
            connection.RollbackTrans();
    } catch (const core::ComError&) {
    }
}

} // namespace

QString originName(Origin origin) {
    switch (origin) {
    case Origin::Tool:
        return QStringLiteral("tool");
    case Origin::Import:
        return QStringLiteral("import");
    case Origin::Window:
        break;
    }
    return QStringLiteral("window");
}

QString formulaHash(const std::optional<QString>& sqlForm) {
    if (!sqlForm)
        return {};
    return QString::fromLatin1(
        QCryptographicHash::hash(sqlForm->toUtf8(), QCryptographicHash::Sha256).toHex());
}

QString utcNow() {
    return QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
}

QString commentProblem(const QString& comment, const HistoryTranslateFn& translate) {
    const auto tr = [&](const QString& text) { return translate ? translate(text) : text; };
    if (comment.contains(u'\n') || comment.contains(u'\r') || comment.contains(u'\t'))
        return tr(historymsg::CommentLineBreak);
    if (comment.size() > MaxCommentLength)
        return tr(historymsg::CommentTooLong).arg(MaxCommentLength);
    return {};
}

FormulaHistory::FormulaHistory(ado::Connection& connection, HistoryTranslateFn translate)
    : m_connection(connection)
    , m_translate(std::move(translate)) {}

QString FormulaHistory::tr(const QString& text) const {
    return m_translate ? m_translate(text) : text;
}

void FormulaHistory::rethrow() {
    if (invalidObject(m_connection))
        throw core::ComError(core::err::InvalidProcedureCall, tr(historymsg::NoTable),
                             QStringLiteral("formule"));
    throw;
}

bool FormulaHistory::available() {
    try {
        m_connection.Execute(QStringLiteral("SELECT 1 FROM %1 WHERE 1 = 0").arg(Table));
        return true;
    } catch (const core::ComError&) {
        if (invalidObject(m_connection))
            return false;
        throw;
    }
}

QList<FormulaVersion> FormulaHistory::select(const QString& where, const QString& top) {
    ado::RecordsetPtr rs;
    try {
        rs = m_connection.Execute(QStringLiteral("SELECT %1%2 FROM %3 WHERE %4 ORDER BY LP31_VERSIONE DESC")
                                      .arg(top, Columns, Table, where));
    } catch (const core::ComError&) {
        rethrow();
    }
    QList<FormulaVersion> versions;
    while (rs->IsOpen() && !rs->IsEOF()) {
        const ado::Fields f = rs->GetFields();
        FormulaVersion v;
        v.context = f.Item(0).Value().toInt32();
        v.id = f.Item(1).Value().toInt64();
        v.version = f.Item(2).Value().toInt32();
        v.sqlForm =
            f.Item(3).Value().isNull() ? std::nullopt : std::optional<QString>(f.Item(3).Value().toString());
        v.user = textOf(f.Item(4).Value()).value_or(QString());
        v.when = textOf(f.Item(5).Value()).value_or(QString()).trimmed();
        v.origin = textOf(f.Item(6).Value()).value_or(QString()).trimmed();
        v.comment = textOf(f.Item(7).Value()).value_or(QString());
        v.hash = textOf(f.Item(8).Value()).value_or(QString()).trimmed();
        versions.append(std::move(v));
        rs->MoveNext();
    }
    return versions;
}

QList<FormulaVersion> FormulaHistory::list(int context, qint64 id) {
    return select(keyWhere(context, id));
}

QList<FormulaVersion> FormulaHistory::listLatest(int context, qint64 id, int count) {
    return select(keyWhere(context, id), QStringLiteral("TOP %1 ").arg(std::max(count, 0)));
}

std::optional<FormulaVersion> FormulaHistory::load(int context, qint64 id, int version) {
    const QList<FormulaVersion> found =
        select(keyWhere(context, id) + QStringLiteral(" AND LP31_VERSIONE = %1").arg(version));
    if (found.isEmpty())
        return std::nullopt;
    return found.first();
}

int FormulaHistory::latestVersion(int context, qint64 id) {
    const QList<FormulaVersion> found = select(keyWhere(context, id), QStringLiteral("TOP 1 "));
    return found.isEmpty() ? 0 : found.first().version;
}

int FormulaHistory::lockLatestVersion(int context, qint64 id) {
    ado::RecordsetPtr rs;
    try {
        rs = m_connection.Execute(
            QStringLiteral("SELECT MAX(LP31_VERSIONE) FROM %1 WITH (UPDLOCK, HOLDLOCK) WHERE %2")
                .arg(Table, keyWhere(context, id)));
    } catch (const core::ComError&) {
        rethrow();
    }
    if (!rs->IsOpen() || rs->IsEOF())
        return 0;
    const core::Variant latest = rs->GetFields().Item(0).Value();
    return latest.isNull() ? 0 : latest.toInt32();
}

void FormulaHistory::append(const FormulaVersion& v) {
    if (const QString problem = commentProblem(v.comment, m_translate); !problem.isEmpty())
        throw core::ComError(core::err::InvalidProcedureCall, problem, QStringLiteral("formule"));
    const QString values = QStringLiteral("%1, %2, %3, ").arg(v.context).arg(v.id).arg(v.version) +
                           nullableLiteral(v.sqlForm) + QStringLiteral(", ") + optionalLiteral(v.user) +
                           QStringLiteral(", ") + tables::sqlLiteral(v.when) + QStringLiteral(", ") +
                           tables::sqlLiteral(v.origin) + QStringLiteral(", ") + optionalLiteral(v.comment) +
                           QStringLiteral(", ") +
                           (v.hash.isEmpty() ? QStringLiteral("NULL") : tables::sqlLiteral(v.hash));
    try {
        m_connection.Execute(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(Table, Columns, values));
    } catch (const core::ComError&) {
        rethrow();
    }
}

qint64 FormulaHistory::pruneBefore(const QString& whenUtc) {
    // A version is kept when it is the latest of its record, whatever its date.
    const QString sql =
        QStringLiteral("DELETE FROM %1 WHERE LP31_DATA < %2 AND LP31_VERSIONE < (SELECT MAX(L.LP31_VERSIONE) "
                       "FROM %1 L WHERE L.LP31_CONTESTO = %1.LP31_CONTESTO AND L.LP31_IDFORMULA = "
                       "%1.LP31_IDFORMULA)")
            .arg(Table, tables::sqlLiteral(whenUtc));
    core::Variant affected;
    try {
        m_connection.Execute(sql, &affected);
    } catch (const core::ComError&) {
        rethrow();
    }
    return affected.isNull() ? 0 : affected.toInt64();
}

namespace {

// The steps of one write inside its transaction; throws on any failure.
VersionedOutcome writeInTransaction(ado::Connection& connection, FormulaHistory& history,
                                    const VersionedWrite& w, qint64 id) {
    VersionedOutcome outcome;
    const int latest = history.lockLatestVersion(w.context, id);
    if (w.expected && *w.expected != latest) {
        outcome.newer = history.load(w.context, id, latest);
        if (!outcome.newer) // the record moved back to no history (pruned away): still not what was read
            outcome.newer = FormulaVersion{.context = w.context, .id = id, .version = latest};
        return outcome;
    }
    // What the record holds before the write; when that is not kept yet, it becomes version 1.
    // No record: the UPDATE matches nothing, and there is nothing to keep.
    const std::optional<std::optional<QString>> held = heldFormula(connection, w);
    // The save's statement as it is, its outcome not read.
    connection.Execute(w.updateStatement);
    outcome.executed = true;
    if (!held)
        return outcome;
    std::optional<FormulaVersion> before;
    if (latest == 0)
        before = FormulaVersion{.context = w.context, .id = id, .version = 1, .sqlForm = *held};
    const QString when = utcNow();
    const QString origin = originName(w.author.origin);
    int next = latest + 1;
    if (before) {
        before->user = w.author.user;
        before->when = when;
        before->origin = origin;
        before->hash = formulaHash(before->sqlForm);
        history.append(*before);
        next = 2;
    }
    history.append(FormulaVersion{.context = w.context,
                                  .id = id,
                                  .version = next,
                                  .sqlForm = w.sqlForm,
                                  .user = w.author.user,
                                  .when = when,
                                  .origin = origin,
                                  .comment = w.author.comment,
                                  .hash = formulaHash(w.sqlForm)});
    outcome.version = next;
    return outcome;
}

} // namespace

VersionedOutcome writeVersionedIn(ado::Connection& connection, const VersionedWrite& write,
                                  const HistoryTranslateFn& translate) {
    const auto tr = [&](const QString& text) { return translate ? translate(text) : text; };
    if (const QString problem = commentProblem(write.author.comment, translate); !problem.isEmpty())
        throw core::ComError(core::err::InvalidProcedureCall, problem, QStringLiteral("formule"));
    const std::optional<qint64> id = wholeId(write.idText);
    if (!id)
        throw core::ComError(core::err::InvalidProcedureCall, tr(historymsg::BadId).arg(write.idText),
                             QStringLiteral("formule"));
    FormulaHistory history(connection, translate);
    return writeInTransaction(connection, history, write, *id);
}

VersionedOutcome writeVersioned(ado::Connection& connection, const VersionedWrite& write,
                                const HistoryTranslateFn& translate) {
    const auto tr = [&](const QString& text) { return translate ? translate(text) : text; };
    if (const QString problem = commentProblem(write.author.comment, translate); !problem.isEmpty())
        throw core::ComError(core::err::InvalidProcedureCall, problem, QStringLiteral("formule"));
    const std::optional<qint64> id = wholeId(write.idText);
    if (!id) {
        // An identifier that names no record (the history's ids are whole numbers): the save's
        // statement runs as it always did and matches nothing. One that names a record cannot
        // have its version kept: nothing is written.
        if (heldFormula(connection, write))
            throw core::ComError(core::err::InvalidProcedureCall, tr(historymsg::BadId).arg(write.idText),
                                 QStringLiteral("formule"));
        connection.Execute(write.updateStatement);
        return {.executed = true};
    }
    FormulaHistory history(connection, translate);
    if (!write.expected && !history.available()) {
        // A database made before the history saves as it always did; its versions start once
        // init-db has added the table. A write that expects a version needs the table to know.
        connection.Execute(write.updateStatement);
        return {.executed = true, .unrecorded = true};
    }
    VersionedOutcome outcome;
    // A version number taken meanwhile by another connection (the embedded engine starts a
    // transaction that only read over when it first writes, so what it read may be older than
    // what it writes over): the key refuses the version, everything is rolled back, and the write
    // runs once more on what is there now (and finds the record moved when a version was expected).
    for (int attempt = 1;; ++attempt) {
        connection.BeginTrans();
        try {
            outcome = writeInTransaction(connection, history, write, *id);
            break;
        } catch (const core::ComError&) {
            const bool taken = duplicateKey(connection);
            rollBack(connection);
            if (!taken || attempt == MaxAttempts)
                throw;
        } catch (...) {
            rollBack(connection);
            throw;
        }
    }
    if (outcome.newer) {
        rollBack(connection);
        return outcome;
    }
    try {
        connection.CommitTrans();
    } catch (...) {
        rollBack(connection);
        throw;
    }
    return outcome;
}

} // namespace editing
