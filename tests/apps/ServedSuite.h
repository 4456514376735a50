#pragma once

// What the tests through `formule serve` share: one server for a whole suite of tests, and the
// editor's check run on one connection as the window runs it.

#include "../ado/LocalServer.h"
#include "ado/Ado.h"
#include "check/GuardedRun.h"
#include "check/SyntaxCheck.h"
#include "core/HostServices.h"
#include "core/TextBox.h"

#include <gtest/gtest.h>

namespace served_test {

// One `formule serve` on a free loopback port for every test of the suite; each test fails at
// once when it could not start.
class ServedSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_server = new testing_tds::LocalServer;
        QString error;
        s_started = s_server->start(error);
        s_error = error;
    }
    static void TearDownTestSuite() {
        EXPECT_EQ(s_server->stop(), 0) << "the server stops cleanly on SIGTERM";
        delete s_server;
        s_server = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(s_started) << s_error.toStdString(); }

    inline static testing_tds::LocalServer* s_server = nullptr;
    inline static bool s_started = false;
    inline static QString s_error;
};

// What the editor's check makes of a formula on one connection: its verdict, whether the server
// was busy, the message and the lines it marks, and the first error's own fields.
struct CheckVerdict {
    bool correct = true;
    bool busy = false;
    ado::Error error;
    int formulaLine = 0;
    int batchLine = 0;
    QString message;
};

inline CheckVerdict checkOn(ado::Connection& connection, const QString& formula) {
    core::StringTextBox box;
    core::FunctionServices host({.connection = [&connection] { return &connection; },
                                 .messageBox = [](const QString&, int, const QString&) { return 0; }});
    check::SyntaxCheck syntax(box, host);
    box.setText(formula);
    CheckVerdict v;
    v.correct = !syntax.CheckFormula(false).isEmpty();
    v.busy = syntax.lastServerBusy();
    v.formulaLine = syntax.lastFormulaLine();
    v.batchLine = syntax.lastBatchLine();
    v.message = syntax.lastServerMessage();
    if (v.correct || syntax.lastBatch().isEmpty())
        return v;
    // The same batch once more through the guard, for the error's own fields.
    const check::GuardedOutcome outcome =
        check::runGuarded(connection, syntax.lastBatch(), check::checkLimits(),
                          syntax.lastBatch().size() - formula.size(), check::SyntaxCheck::declarationLines());
    if (!outcome.errors.isEmpty())
        v.error = outcome.errors.first();
    return v;
}

} // namespace served_test
