#include "editing/FormulaHistory.h"
#include "TestDatabase.h"
#include "editing/FormulaStore.h"
#include "tables/FormulaTables.h"

#include <QRegularExpression>
#include <QSqlQuery>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

namespace {

using checktest::TestDatabase;
using editing::FormulaHistory;
using editing::FormulaStore;
using editing::FormulaVersion;

// A save of the formula box of one record, as the window's store runs it: the check passes, the
// message box answers No, errors are recorded and abort.
struct Saver {
    Saver(ado::Connection* connection, int recordContext, qint64 recordId)
        : m_connection(connection)
        , context(recordContext)
        , id(core::Variant(QString::number(recordId))) {}

    core::FunctionServices host{{
        .connection = [this] { return m_connection; },
        .translate = {},
        .messageBox = [](const QString&, int, const QString&) { return check::answer::No; },
        .errorAnswer =
            [this](const QString& procedure, const core::ErrorInfo& error) {
                errors << procedure + QStringLiteral(": ") + error.description;
                return 3;
            },
        .context = [this] { return context; },
        .id = [this] { return id; },
    }};

    FormulaStore::Options options() {
        return {.checkFormula = [](bool) { return core::Variant::fromBool(true); },
                .author = [this] { return author; },
                .expectedVersion = [this] { return expected; },
                .moved =
                    [this](const FormulaVersion& newer) {
                        askedAbout << newer.version;
                        return overwrite;
                    }};
    }

    bool save(const QString& text) {
        box.setText(text);
        store.UpdateFormula();
        return store.lastWritten();
    }

    ado::Connection* m_connection;
    int context;
    core::Variant id;
    editing::VersionAuthor author{editing::Origin::Window, QStringLiteral("mrossi"), {}};
    std::optional<int> expected;
    bool overwrite = false;
    QList<int> askedAbout;
    QStringList errors;
    core::StringTextBox box;
    FormulaStore store{box, host, options()};
};

// version:formula (NULL for a clear), newest first.
QStringList versionsOf(ado::Connection& connection, int context, qint64 id) {
    QStringList out;
    for (const FormulaVersion& v : FormulaHistory(connection).list(context, id))
        out << QStringLiteral("%1:%2").arg(v.version).arg(v.sqlForm.value_or(QStringLiteral("NULL")));
    return out;
}

void rawExec(const TestDatabase& db, const QString& sql) {
    QSqlQuery q(QSqlDatabase::database(db.rawName()));
    ASSERT_TRUE(q.exec(sql)) << sql.toStdString();
}

TEST(FormulaHistory, FirstWriteKeepsWhatTheRecordHeldAsVersionOne) {
    struct Case {
        int context;
        qint64 id;
        QStringList texts; // saved in turn ("" clears)
        QStringList expected;
    };
    const Case cases[] = {
        {0, 12, {QStringLiteral("SET @OUTPREZZO = 5")}, {"2:SET @OUTPREZZO = 5", "1:SET @OUTPREZZO = 1"}},
        // A record that held NULL: version 1 is NULL.
        {0, 13, {QStringLiteral("SET @OUTPREZZO = 5")}, {"2:SET @OUTPREZZO = 5", "1:NULL"}},
        // A clear is a NULL version; numbers go on per record.
        {1,
         12,
         {QStringLiteral("SET @OUTPREZZO = 7"), QString(), QStringLiteral("SET @OUTPREZZO = 8")},
         {"4:SET @OUTPREZZO = 8", "3:NULL", "2:SET @OUTPREZZO = 7", "1:SET @OUTPREZZO = 2"}},
        // Saving the same text again is a version all the same.
        {2,
         12,
         {QStringLiteral("SET @OUTPREZZO = 3"), QStringLiteral("SET @OUTPREZZO = 3")},
         {"3:SET @OUTPREZZO = 3", "2:SET @OUTPREZZO = 3", "1:SET @OUTPREZZO = 3"}},
    };
    for (const Case& c : cases) {
        TestDatabase db;
        Saver s(db.connection.get(), c.context, c.id);
        for (const QString& text : c.texts)
            EXPECT_TRUE(s.save(text)) << s.errors.join(u'\n').toStdString();
        EXPECT_EQ(versionsOf(*db.connection, c.context, c.id), c.expected) << c.context << "/" << c.id;
        EXPECT_EQ(s.store.lastVersion(), c.expected.size());
        // The other records have no history.
        EXPECT_EQ(FormulaHistory(*db.connection).latestVersion(c.context == 0 ? 1 : 0, c.id), 0);
    }
}

TEST(FormulaHistory, VersionHoldsWhoWhenWhereCommentAndHash) {
    TestDatabase db;
    Saver s(db.connection.get(), 0, 12);
    s.author = {editing::Origin::Tool, QStringLiteral("Ωμέγα"), QStringLiteral("sconto d'estate")};
    const QString before = editing::utcNow();
    ASSERT_TRUE(s.save(QStringLiteral("SET @OUTPREZZO = 'abc'")));
    const QString after = editing::utcNow();
    const std::optional<FormulaVersion> v = FormulaHistory(*db.connection).load(0, 12, 2);
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->sqlForm, QStringLiteral("SET @OUTPREZZO = 'abc'"));
    EXPECT_EQ(v->user, QStringLiteral("Ωμέγα"));
    EXPECT_EQ(v->origin, QStringLiteral("tool"));
    EXPECT_EQ(v->comment, QStringLiteral("sconto d'estate"));
    EXPECT_EQ(v->hash, editing::formulaHash(QStringLiteral("SET @OUTPREZZO = 'abc'")));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$"))
                    .match(v->when)
                    .hasMatch())
        << v->when.toStdString();
    EXPECT_GE(v->when, before);
    EXPECT_LE(v->when, after);
    // Version 1 is taken by the same write, without its comment.
    const std::optional<FormulaVersion> first = FormulaHistory(*db.connection).load(0, 12, 1);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->comment, QString());
    EXPECT_EQ(first->origin, QStringLiteral("tool"));
    EXPECT_FALSE(FormulaHistory(*db.connection).load(0, 12, 3).has_value());
}

TEST(FormulaHistory, HashIsTheSha256OfTheUtf8Text) {
    const struct {
        std::optional<QString> text;
        const char* hex;
    } cases[] = {
        {QStringLiteral("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {QString(), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {QStringLiteral("é"), "4a99557e4033c3539de2eb65472017cad5f9557f7a0625a09f1c3f6e2ba69c4c"},
        {QStringLiteral("SET @OUTPREZZO = 1\r\n€"),
         "5eb6cd9b1b2faf40ada8c4d0843c6e1b8922595c9019328bb3c206e1ba8dcbfc"},
        {std::nullopt, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(editing::formulaHash(c.text), QLatin1String(c.hex));
}

// A failure of any statement of the write leaves the database as it was: the UPDATE and the
// versions go in together or not at all.
TEST(FormulaHistory, WriteAndVersionsGoTogetherOrNotAtAll) {
    const struct {
        const char* name;
        const char* trigger;
    } cases[] = {
        {"the first version fails",
         "CREATE TRIGGER T_FAIL BEFORE INSERT ON LP31_VERSIONI BEGIN SELECT RAISE(ABORT, 'injected'); END"},
        {"the new version fails after version 1",
         "CREATE TRIGGER T_FAIL BEFORE INSERT ON LP31_VERSIONI WHEN NEW.LP31_VERSIONE = 2 BEGIN SELECT "
         "RAISE(ABORT, 'injected'); END"},
        {"the UPDATE fails",
         "CREATE TRIGGER T_FAIL BEFORE UPDATE ON LP01_PROVIDER BEGIN SELECT RAISE(ABORT, 'injected'); END"},
        {"the UPDATE fails after version 1 was read",
         "CREATE TRIGGER T_FAIL AFTER UPDATE ON LP01_PROVIDER BEGIN SELECT RAISE(ABORT, 'injected'); END"},
    };
    for (const auto& c : cases) {
        TestDatabase db;
        rawExec(db, QString::fromLatin1(c.trigger));
        const QString before = db.dump();
        Saver s(db.connection.get(), 0, 12);
        EXPECT_FALSE(s.save(QStringLiteral("SET @OUTPREZZO = 5"))) << c.name;
        ASSERT_EQ(s.errors.size(), 1) << c.name;
        // The engine reports the failure as its own (the trigger's text stays in SQLite).
        EXPECT_TRUE(s.errors.first().startsWith(QStringLiteral("UpdateFormula: "))) << c.name;
        EXPECT_EQ(db.dump(), before) << c.name;
        EXPECT_EQ(db.connection->TransactionCount(), 0) << c.name;
        // The next write, the failure gone, starts from the same state.
        rawExec(db, QStringLiteral("DROP TRIGGER T_FAIL"));
        EXPECT_TRUE(s.save(QStringLiteral("SET @OUTPREZZO = 6"))) << s.errors.join(u'\n').toStdString();
        EXPECT_EQ(versionsOf(*db.connection, 0, 12), QStringList({QStringLiteral("2:SET @OUTPREZZO = 6"),
                                                                  QStringLiteral("1:SET @OUTPREZZO = 1")}));
    }
}

// A database made before the history saves as it always did, with no version; a write that
// expects a version cannot know the record's and writes nothing.
TEST(FormulaHistory, DatabaseWithoutTheTableSavesWithNoVersion) {
    TestDatabase db;
    rawExec(db, QStringLiteral("DROP TABLE LP31_VERSIONI"));
    Saver s(db.connection.get(), 0, 12);
    EXPECT_TRUE(s.save(QStringLiteral("SET @OUTPREZZO = 5"))) << s.errors.join(u'\n').toStdString();
    EXPECT_TRUE(s.store.lastUnrecorded());
    EXPECT_EQ(s.store.lastVersion(), 0);
    EXPECT_FALSE(FormulaHistory(*db.connection).available());

    const QString before = db.dump();
    s.expected = 0;
    EXPECT_FALSE(s.save(QStringLiteral("SET @OUTPREZZO = 6")));
    EXPECT_EQ(s.errors, QStringList(QStringLiteral("UpdateFormula: ") + editing::historymsg::NoTable));
    EXPECT_EQ(db.dump(), before);
}

TEST(FormulaHistory, RecordThatDoesNotExistGetsNoVersion) {
    TestDatabase db;
    Saver s(db.connection.get(), 0, 99);
    s.save(QStringLiteral("SET @OUTPREZZO = 5"));
    EXPECT_TRUE(s.errors.isEmpty()) << s.errors.join(u'\n').toStdString();
    EXPECT_EQ(s.store.lastVersion(), 0);
    EXPECT_EQ(FormulaHistory(*db.connection).latestVersion(0, 99), 0);
}

TEST(FormulaHistory, ExpectedVersionStopsAWriteOverANewerOne) {
    struct Case {
        const char* name;
        std::optional<int> expected;
        bool overwrite;
        QList<int> askedAbout;
        bool written;
        int latest;
    };
    // The record has versions 1 and 2 when the write starts.
    const Case cases[] = {
        {"no expectation", std::nullopt, false, {}, true, 3},
        {"the version read", 2, false, {}, true, 3},
        {"an older version, cancelled", 1, false, {2}, false, 2},
        {"an older version, overwritten", 1, true, {2}, true, 3},
        {"read before any version", 0, false, {2}, false, 2},
        {"a version that never was", 7, false, {2}, false, 2},
    };
    for (const Case& c : cases) {
        TestDatabase db;
        Saver first(db.connection.get(), 0, 12);
        ASSERT_TRUE(first.save(QStringLiteral("SET @OUTPREZZO = 2")));
        const QString before = db.dump();
        Saver s(db.connection.get(), 0, 12);
        s.expected = c.expected;
        s.overwrite = c.overwrite;
        EXPECT_EQ(s.save(QStringLiteral("SET @OUTPREZZO = 3")), c.written) << c.name;
        EXPECT_TRUE(s.errors.isEmpty()) << s.errors.join(u'\n').toStdString();
        EXPECT_EQ(s.askedAbout, c.askedAbout) << c.name;
        EXPECT_EQ(FormulaHistory(*db.connection).latestVersion(0, 12), c.latest) << c.name;
        if (!c.written) {
            EXPECT_EQ(db.dump(), before) << c.name;
            ASSERT_TRUE(s.store.lastMoved().has_value());
            EXPECT_EQ(s.store.lastMoved()->version, 2);
            EXPECT_EQ(s.store.lastMoved()->user, QStringLiteral("mrossi"));
        } else {
            EXPECT_FALSE(s.store.lastMoved().has_value());
        }
    }
}

TEST(FormulaHistory, CommentThatCannotBeKeptWritesNothing) {
    const struct {
        QString comment;
        QString problem;
    } cases[] = {
        {QStringLiteral("due\nrighe"), editing::historymsg::CommentLineBreak},
        {QStringLiteral("con\ttab"), editing::historymsg::CommentLineBreak},
        {QStringLiteral("a\r"), editing::historymsg::CommentLineBreak},
        {QString(editing::MaxCommentLength + 1, u'x'), editing::historymsg::CommentTooLong.arg(400)},
    };
    for (const auto& c : cases) {
        TestDatabase db;
        const QString before = db.dump();
        Saver s(db.connection.get(), 0, 12);
        s.author.comment = c.comment;
        EXPECT_FALSE(s.save(QStringLiteral("SET @OUTPREZZO = 5")));
        EXPECT_EQ(s.errors, QStringList(QStringLiteral("UpdateFormula: ") + c.problem));
        EXPECT_EQ(db.dump(), before);
    }
    EXPECT_EQ(editing::commentProblem(QString(editing::MaxCommentLength, u'x')), QString());
}

TEST(FormulaHistory, PruneKeepsTheLatestVersionOfEveryRecord) {
    TestDatabase db;
    FormulaHistory history(*db.connection);
    const struct {
        int context;
        qint64 id;
        int version;
        const char* when;
    } rows[] = {
        {0, 12, 1, "2025-01-01T10:00:00Z"}, {0, 12, 2, "2025-06-01T10:00:00Z"},
        {0, 12, 3, "2026-02-01T10:00:00Z"}, {0, 13, 1, "2025-01-01T10:00:00Z"},
        {0, 13, 2, "2025-03-01T10:00:00Z"}, {1, 12, 1, "2026-03-01T10:00:00Z"},
        {1, 12, 2, "2026-04-01T10:00:00Z"},
    };
    for (const auto& r : rows)
        history.append({.context = r.context,
                        .id = r.id,
                        .version = r.version,
                        .sqlForm = QStringLiteral("v%1").arg(r.version),
                        .when = QString::fromLatin1(r.when),
                        .origin = QStringLiteral("tool")});
    // A date alone takes in the whole day before it; 13's latest stays although it is older.
    EXPECT_EQ(history.pruneBefore(QStringLiteral("2026-01-01")), 3);
    auto numbers = [&](int context, qint64 id) {
        QList<int> out;
        for (const FormulaVersion& v : history.list(context, id))
            out << v.version;
        return out;
    };
    EXPECT_EQ(numbers(0, 12), QList<int>({3}));
    EXPECT_EQ(numbers(0, 13), QList<int>({2}));
    EXPECT_EQ(numbers(1, 12), QList<int>({2, 1}));
    EXPECT_EQ(history.pruneBefore(QStringLiteral("2026-01-01")), 0);
    EXPECT_EQ(history.pruneBefore(QStringLiteral("9999-12-31")), 1);
    EXPECT_EQ(numbers(1, 12), QList<int>({2}));
    // The next write goes on from the latest kept.
    Saver s(db.connection.get(), 0, 12);
    ASSERT_TRUE(s.save(QStringLiteral("SET @OUTPREZZO = 9")));
    EXPECT_EQ(numbers(0, 12), QList<int>({4, 3}));
}

} // namespace

namespace {

// Two connections writing one record at the same time: every write that succeeded has its own
// version, numbers run without gaps, and the record holds the latest version's text. A write
// that read before the other committed finds its version number taken: it is rolled back as a
// whole and runs again (a few times at most), never numbering or keeping a stale text.
TEST(FormulaHistory, ConcurrentWritersOfOneRecord) {
    TestDatabase db;
    constexpr int Writes = 12;
    std::atomic<int> written{0};
    auto writer = [&](int who) {
        ado::Connection c;
        c.Open(db.connectionString());
        for (int i = 0; i < Writes; ++i) {
            const QString text = QStringLiteral("SET @OUTPREZZO = %1").arg(who * 100 + i);
            try {
                editing::writeVersioned(
                    c, {.context = 0,
                        .idText = QStringLiteral("12"),
                        .sqlForm = text,
                        .updateStatement = *tables::formulaUpdateStatement(0, text, QStringLiteral("12")),
                        .author = {editing::Origin::Tool, QString::number(who), {}},
                        .expected = std::nullopt});
                ++written;
            } catch (const core::ComError&) {
                EXPECT_EQ(c.TransactionCount(), 0);
            }
        }
        c.Close();
    };
    std::thread first(writer, 1);
    std::thread second(writer, 2);
    first.join();
    second.join();
    const QList<FormulaVersion> versions = FormulaHistory(*db.connection).list(0, 12);
    ASSERT_FALSE(versions.isEmpty());
    EXPECT_GT(written.load(), 0);
    EXPECT_EQ(versions.size(), written.load() + 1); // and version 1, what the record held
    for (qsizetype i = 0; i < versions.size(); ++i)
        EXPECT_EQ(versions.at(i).version, versions.size() - i);
    EXPECT_EQ(versions.last().sqlForm, QStringLiteral("SET @OUTPREZZO = 1"));
    EXPECT_EQ(db.formula(0, 12).toString(), versions.first().sqlForm.value_or(QString()));
}

} // namespace

namespace {

// The identifier as the save's statement writes it: a whole number in any of its forms is the
// record's; one that names no record runs the statement as it is and keeps nothing.
TEST(FormulaHistory, IdentifiersAsTheStatementWritesThem) {
    const struct {
        const char* idText;
        int versions; // of record 12 after the write
    } cases[] = {{"12", 2}, {"12.000", 2}, {"12.5", 0}, {"99", 0}, {"-3", 0}};
    for (const auto& c : cases) {
        TestDatabase db;
        const QString id = QString::fromLatin1(c.idText);
        const QString text = QStringLiteral("SET @OUTPREZZO = 4");
        const editing::VersionedOutcome out = editing::writeVersioned(
            *db.connection, {.context = 0,
                             .idText = id,
                             .sqlForm = text,
                             .updateStatement = *tables::formulaUpdateStatement(0, text, id),
                             .author = {},
                             .expected = std::nullopt});
        EXPECT_TRUE(out.executed) << c.idText;
        EXPECT_EQ(out.version, c.versions) << c.idText;
        EXPECT_EQ(FormulaHistory(*db.connection).list(0, 12).size(), c.versions) << c.idText;
        EXPECT_EQ(db.formula(0, 12).toString(), c.versions > 0 ? QStringLiteral("SET @OUTPREZZO = 4")
                                                               : QStringLiteral("SET @OUTPREZZO = 1"))
            << c.idText;
        EXPECT_EQ(db.connection->TransactionCount(), 0);
    }
}

TEST(FormulaHistory, WritesInsideTheCallersTransactionEndWithIt) {
    // Records 12 and 13 of context 0 in one outer transaction: kept together, or dropped together.
    const auto write = [](TestDatabase& db, qint64 id, const QString& text) {
        const QString idText = QString::number(id);
        return editing::writeVersionedIn(*db.connection,
                                         {.context = 0,
                                          .idText = idText,
                                          .sqlForm = text,
                                          .updateStatement = *tables::formulaUpdateStatement(0, text, idText),
                                          .author = {.origin = editing::Origin::Import}});
    };
    for (const bool commit : {true, false}) {
        TestDatabase db;
        const QString before = db.dump();
        db.connection->BeginTrans();
        EXPECT_EQ(write(db, 12, QStringLiteral("SET @OUTPREZZO = 5")).version, 2);
        EXPECT_EQ(write(db, 13, QStringLiteral("SET @OUTPREZZO = 6")).version, 2);
        EXPECT_EQ(db.connection->TransactionCount(), 1); // neither write ended it
        if (commit)
            db.connection->CommitTrans();
        else
            db.connection->RollbackTrans();
        if (!commit) {
            EXPECT_EQ(db.dump(), before);
            continue;
        }
        EXPECT_EQ(db.formula(0, 13).toString(), QStringLiteral("SET @OUTPREZZO = 6"));
        const QList<FormulaVersion> versions = FormulaHistory(*db.connection).list(0, 12);
        ASSERT_EQ(versions.size(), 2);
        EXPECT_EQ(versions.first().origin, QStringLiteral("import"));
    }
    // An identifier that is no whole number is refused, not run.
    TestDatabase db;
    db.connection->BeginTrans();
    EXPECT_THROW(editing::writeVersionedIn(*db.connection, {.context = 0,
                                                            .idText = QStringLiteral("12.5"),
                                                            .sqlForm = std::nullopt,
                                                            .updateStatement = QStringLiteral("SELECT 1")}),
                 core::ComError);
    db.connection->RollbackTrans();
}

} // namespace
