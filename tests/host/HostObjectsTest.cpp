#include "ado/Ado.h"
#include "core/Error.h"
#include "host/DataFrame.h"
#include "host/GlobalObject.h"
#include "host/LateBound.h"
#include "host/LogObject.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using core::Variant;

namespace {

QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "host_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* instance = new QCoreApplication(argc, argv);
    return *instance;
}

class Host : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        ASSERT_TRUE(dir.isValid());
        host::GclsLog::setLogFilePath(dir.filePath(QStringLiteral("host.log")));
    }
    void TearDown() override { host::GclsLog::setLogFilePath(QString()); }
    QTemporaryDir dir;
};

// ---- Log object ----

TEST_F(Host, MessageBoxAsksTheResponderAndReturnsItsAnswer) {
    host::TestResponder responder({6});
    host::GclsLog log;
    log.setResponder(&responder);
    std::int32_t zero = 0;
    EXPECT_EQ(log.MessageBox(QStringLiteral("Salvo ?"), 4 + 32, QStringLiteral("Titolo"), true, zero), 6);
    ASSERT_EQ(responder.requests().size(), 1);
    EXPECT_EQ(responder.requests()[0].text, QStringLiteral("Salvo ?"));
    EXPECT_EQ(responder.requests()[0].title, QStringLiteral("Titolo"));
    EXPECT_EQ(responder.requests()[0].code, 36);
}

TEST_F(Host, ShowErrorReportsTheRememberedErrorsAndAppendsToTheLogFile) {
    host::TestResponder responder({5});
    host::GclsLog log;
    log.setResponder(&responder);
    log.SetError({13, QStringLiteral("Type mismatch"), QStringLiteral("FRMLP_FORMULE")});
    ado::Errors errors;
    ado::Error e;
    e.number = core::err::ProviderError;
    e.nativeError = 208;
    e.description = QStringLiteral("Invalid object name 'LP01_PROVIDERX'.");
    errors.Append(e);
    log.SetAdoErrors(errors);
    std::int32_t zero = 0;
    EXPECT_EQ(log.ShowError(QStringLiteral("QEDRIX"), QStringLiteral("Composizione formule SQL"),
                            QStringLiteral("Form_Activate"), 4370, zero),
              5);
    ASSERT_EQ(responder.requests().size(), 1);
    const host::Request& q = responder.requests()[0];
    EXPECT_EQ(q.kind, host::Request::Kind::Error);
    EXPECT_EQ(q.title, QStringLiteral("QEDRIX"));
    EXPECT_EQ(q.code, 4370);
    EXPECT_TRUE(q.text.contains(QStringLiteral("Composizione formule SQL")));
    EXPECT_TRUE(q.text.contains(QStringLiteral("Form_Activate")));
    EXPECT_TRUE(q.text.contains(QStringLiteral("13: Type mismatch")));
    EXPECT_TRUE(q.text.contains(QStringLiteral("Invalid object name 'LP01_PROVIDERX'.")));
    // The remembered errors are consumed.
    EXPECT_EQ(log.lastError().number, 0);
    EXPECT_TRUE(log.lastAdoErrors().isEmpty());

    QFile file(host::GclsLog::logFilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1);
    const QStringList fields = lines[0].split(QLatin1Char('\t'));
    ASSERT_EQ(fields.size(), 8);
    EXPECT_EQ(fields.mid(1, 5),
              (QStringList{"QEDRIX", "Composizione formule SQL", "Form_Activate", "13", "Type mismatch"}));
    EXPECT_EQ(fields[7], QStringLiteral("5"));
}

TEST_F(Host, ShowErrorTakesAnyOtherAnswerAsAbort) {
    host::TestResponder responder({6, 1});
    host::GclsLog log;
    log.setResponder(&responder);
    std::int32_t zero = 0;
    EXPECT_EQ(log.ShowError(QString(), QString(), QStringLiteral("p"), 4370, zero), 3);
    EXPECT_EQ(log.ShowError(QString(), QString(), QStringLiteral("p"), 4370, zero), 3);
}

TEST_F(Host, LogFileAccumulatesOneLinePerError) {
    host::TestResponder responder({4, 3});
    host::GclsLog log;
    log.setResponder(&responder);
    std::int32_t zero = 0;
    log.ShowError(QStringLiteral("A"), QString(), QStringLiteral("p1"), 4370, zero);
    log.ShowError(QStringLiteral("A"), QString(), QStringLiteral("p2"), 4370, zero);
    QFile file(host::GclsLog::logFilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()).count(QLatin1Char('\n')), 2);
}

TEST_F(Host, ResponderIsTheLogsOwnThenTheProcessWideOne) {
    host::TestResponder own, processWide;
    host::ScopedResponder scoped(&processWide);
    host::GclsLog log;
    std::int32_t zero = 0;
    log.MessageBox(QStringLiteral("a"), 0, QString(), true, zero);
    EXPECT_EQ(processWide.requests().size(), 1);
    log.setResponder(&own);
    log.MessageBox(QStringLiteral("b"), 0, QString(), true, zero);
    EXPECT_EQ(own.requests().size(), 1);
    EXPECT_EQ(processWide.requests().size(), 1);
}

// ---- Global object ----

TEST_F(Host, GlobalObjectMembersAreReachableLateBound) {
    host::GlobalObject global;
    global.ConnectionSettings()->setConnectionString(QStringLiteral("Provider=Embedded;Data Source=a"));
    global.Company()->setCompanyCode(Variant::fromInt32(3));
    QObject* settings = host::late::getObject(&global, "ConnectionSettings");
    EXPECT_EQ(host::late::get(settings, "ConnectionString").toString(),
              QStringLiteral("Provider=Embedded;Data Source=a"));
    EXPECT_EQ(host::late::getVariant(host::late::getObject(&global, "Company"), "CompanyCode"),
              Variant::fromInt32(3));
    EXPECT_NE(host::late::getObject(&global, "Translation"), nullptr);
    EXPECT_EQ(global.Traduci(QStringLiteral("Formula")), QStringLiteral("Formula")); // Italian by default
}

TEST_F(Host, LateBoundErrors) {
    QObject plain;
    try {
        host::late::get(nullptr, "Status");
        FAIL();
    } catch (const core::ComError& e) {
        EXPECT_EQ(e.number(), core::err::ObjectVariableNotSet);
    }
    try {
        host::late::get(&plain, "Status");
        FAIL();
    } catch (const core::ComError& e) {
        EXPECT_EQ(e.number(), host::late::NotSupported);
    }
    EXPECT_THROW(host::late::call(&plain, "Update"), core::ComError);
    EXPECT_THROW(host::late::set(&plain, "TitoloMaster", QStringLiteral("x")), core::ComError);
}

// ---- Data frame ----

TEST_F(Host, DataFrameIsReadLateBound) {
    host::DataFrame frame;
    EXPECT_EQ(host::late::getObject(&frame, "Recordset"), nullptr);
    core::RowSet rows;
    rows.columns = {QStringLiteral("LP01_ID"), QStringLiteral("LP01_IDMEDIA_CG99")};
    rows.rows.append({Variant::fromInt32(1), Variant::null()});
    frame.setRecordset(std::make_shared<ado::Recordset>(rows));
    frame.setStatus(host::frame::Modified);
    QObject* rs = host::late::getObject(&frame, "Recordset");
    ASSERT_NE(rs, nullptr);
    QVariant value;
    ASSERT_TRUE(QMetaObject::invokeMethod(rs, "Fields", Q_RETURN_ARG(QVariant, value),
                                          Q_ARG(QString, QStringLiteral("LP01_ID"))));
    EXPECT_EQ(Variant::fromQVariant(value), Variant::fromInt32(1));
    ASSERT_TRUE(QMetaObject::invokeMethod(rs, "Fields", Q_RETURN_ARG(QVariant, value),
                                          Q_ARG(QString, QStringLiteral("LP01_IDMEDIA_CG99"))));
    EXPECT_TRUE(Variant::fromQVariant(value).isNull());
    ASSERT_TRUE(QMetaObject::invokeMethod(rs, "Fields", Q_RETURN_ARG(QVariant, value),
                                          Q_ARG(QString, QStringLiteral("MANCANTE"))));
    EXPECT_TRUE(Variant::fromQVariant(value).isEmpty());
    EXPECT_EQ(host::late::get(&frame, "Status").toInt(), host::frame::Modified);
    host::late::call(&frame, "Update");
    EXPECT_EQ(frame.Status(), host::frame::Editing);
    EXPECT_EQ(host::late::get(&frame, "Name").toString(), QStringLiteral("LP01_PROVIDER"));
}

} // namespace
