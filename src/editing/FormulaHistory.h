#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace ado {
class Connection;
}

namespace editing {

// The texts of the formulas' history, in Italian as the user reads them; the host's translation
// service gives the other languages (data/translations/history_en.ts).
namespace historymsg {
inline const QString NoTable = QStringLiteral(
    "Il database non ha la tabella delle versioni delle formule (LP31_VERSIONI): esegui formule init-db");
// %1 the record's identifier as the save has it.
inline const QString BadId = QStringLiteral(
    "L'identificativo del record (%1) non è un numero intero: la versione non si può registrare");
// %1 the limit.
inline const QString CommentTooLong = QStringLiteral("Il commento supera i %1 caratteri");
inline const QString CommentLineBreak =
    QStringLiteral("Il commento non può andare a capo né contenere tabulazioni");
// %1 the version expected, %2 the newer one, %3 who wrote it, %4 when (UTC).
inline const QString Moved = QStringLiteral(
    "La formula è stata modificata nel frattempo: attesa la versione %1, c'è la versione %2 salvata da %3 "
    "il %4 (UTC). Nulla è stato scritto");
// %1 the version, %2 the context, %3 the record.
inline const QString NoVersion =
    QStringLiteral("La versione %1 della formula (contesto %2, id %3) non esiste");
inline const QString NoHistory = QStringLiteral("La formula (contesto %1, id %2) non ha versioni registrate");
inline const QString Unknown = QStringLiteral("(sconosciuto)");
} // namespace historymsg

// Where a version was written from, as the history keeps it.
enum class Origin { Window, Tool, Import };
QString originName(Origin origin); // "window", "tool", "import"

// Who writes a version and why: the origin, the user (the host's user, the tool's login) and an
// optional comment (see commentProblem).
struct VersionAuthor {
    Origin origin = Origin::Window;
    QString user;
    QString comment;
};

// One version of a record's formula as the history keeps it.
struct FormulaVersion {
    int context = 0;
    qint64 id = 0;
    int version = 0;
    std::optional<QString> sqlForm; // nullopt: the formula was cleared (NULL)
    QString user;
    QString when; // UTC, ISO 8601: 2026-12-06T17:57:07Z
    QString origin;
    QString comment;
    QString hash; // "" for a clear

    bool operator==(const FormulaVersion&) const = default;
};

using HistoryTranslateFn = std::function<QString(const QString&)>; // the host's; unset: Italian

// The SHA-256 of the UTF-8 text, in lower-case hex; "" for NULL.
QString formulaHash(const std::optional<QString>& sqlForm);
// Now, UTC, to the second, as the history writes it.
QString utcNow();
// The longest comment a version may have.
inline constexpr qsizetype MaxCommentLength = 400;
// Why `comment` cannot be kept ("" when it can): longer than MaxCommentLength, or holding a line
// break or a tab (the history is listed one version a line).
QString commentProblem(const QString& comment, const HistoryTranslateFn& translate = {});

// The versions of the formulas, in the table LP31_VERSIONI. Every call is one or a few
// statements on the connection; each throws core::ComError when the database refuses it. Nothing
// here edits or deletes a version, except prune, the administrator's clean-up.
class FormulaHistory {
public:
    explicit FormulaHistory(ado::Connection& connection, HistoryTranslateFn translate = {});

    // Whether the database has the table (a database made before it: formule init-db adds it).
    bool available();
    // The versions of a record, newest first.
    QList<FormulaVersion> list(int context, qint64 id);
    // The record's latest `count` versions at most, newest first (a window lists no more).
    QList<FormulaVersion> listLatest(int context, qint64 id, int count);
    // One version; nullopt when the record has no such version.
    std::optional<FormulaVersion> load(int context, qint64 id, int version);
    // The number of the record's latest version; 0 when none is kept yet.
    int latestVersion(int context, qint64 id);
    // The same read inside the caller's transaction, holding the record's versions against the
    // writes of other connections until the transaction ends (UPDLOCK, HOLDLOCK on SQL Server;
    // the embedded engine serializes its writers).
    int lockLatestVersion(int context, qint64 id);
    // Appends a version as it is (its number included); inside the caller's transaction when
    // there is one. A comment that cannot be kept is refused.
    void append(const FormulaVersion& version);
    // Deletes the versions written before `whenUtc` (ISO 8601 text, compared as text: a date
    // 2026-01-31 or a time 2026-01-31T12:00:00Z), except the latest version of every record.
    // Returns the number of versions deleted.
    qint64 pruneBefore(const QString& whenUtc);

private:
    QList<FormulaVersion> select(const QString& where, const QString& top = {});
    [[noreturn]] void rethrow();
    QString tr(const QString& text) const;
    ado::Connection& m_connection;
    HistoryTranslateFn m_translate;
};

// The write of a record's formula with its version, both in one transaction: the caller's
// UPDATE (as it is), the version of what the record held before when the record has no history
// yet (version 1), and the version of the new text. `expected`: the version the writer read; when
// the record has another latest version, nothing is written and the outcome names it.
struct VersionedWrite {
    int context = 0;
    QString idText; // the identifier as the UPDATE writes it
    std::optional<QString> sqlForm;
    QString updateStatement;
    VersionAuthor author;
    std::optional<int> expected;
};

struct VersionedOutcome {
    bool executed = false;               // the UPDATE ran (it may have matched no record)
    int version = 0;                     // the version written; 0 when none (no record matched)
    std::optional<FormulaVersion> newer; // set when the record moved on from `expected`
    bool unrecorded = false;             // the database has no history table: the UPDATE ran alone
};

// Runs the write; rolls everything back and throws core::ComError when any statement fails.
VersionedOutcome writeVersioned(ado::Connection& connection, const VersionedWrite& write,
                                const HistoryTranslateFn& translate = {});

// The same write inside the caller's transaction (an import writes many records, all or none):
// it neither begins, commits nor rolls back; the caller rolls back when it throws. A write whose
// record moved on from `expected` has written nothing (see VersionedOutcome::newer).
VersionedOutcome writeVersionedIn(ado::Connection& connection, const VersionedWrite& write,
                                  const HistoryTranslateFn& translate = {});

} // namespace editing
