#include "core/Error.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

using core::ComError;
using core::ErrorInfo;
using core::Outcome;

namespace {

// Three steps; step 2 fails `failures` times (or always, with -1) before it succeeds.
// Records the steps run and the answers asked.
struct Procedure {
    int failures = 0;
    std::vector<int> ran;
    std::vector<ErrorInfo> asked;
    std::vector<QString> askedBy;

    core::ErrorAnswerFn answering(int answer) {
        return [this, answer](const QString& proc, const ErrorInfo& e) {
            askedBy.push_back(proc);
            asked.push_back(e);
            return answer;
        };
    }

    Outcome run(const core::ErrorAnswerFn& answer) {
        return core::runSteps(QStringLiteral("UpdateFormula"), answer,
                              {[this] { ran.push_back(1); },
                               [this] {
                                   ran.push_back(2);
                                   if (failures != 0) {
                                       if (failures > 0)
                                           --failures;
                                       throw ComError(13, QStringLiteral("Type mismatch"),
                                                      QStringLiteral("src"));
                                   }
                               },
                               [this] { ran.push_back(3); }});
    }
};

} // namespace

// What the error answer does to the steps: step 2 fails `failures` times (-1: always).
TEST(RunSteps, AnswersDecideWhichStepsRun) {
    const auto fixed = [](int a) -> core::ErrorAnswerFn {
        return [a](const QString&, const ErrorInfo&) { return a; };
    };
    int calls = 0;
    const core::ErrorAnswerFn retryTwiceThenIgnore = [&calls](const QString&, const ErrorInfo&) {
        return ++calls < 3 ? 4 : 5;
    };
    struct Case {
        const char* name;
        int failures;
        core::ErrorAnswerFn answer;
        Outcome outcome;
        std::vector<int> ran;
    };
    const Case cases[] = {
        {"no failure", 0, fixed(3), Outcome::Completed, {1, 2, 3}},
        {"retry repeats exactly the failing step", 2, fixed(4), Outcome::Completed, {1, 2, 2, 2, 3}},
        {"ignore goes on with the next step", -1, fixed(5), Outcome::Completed, {1, 2, 3}},
        {"retry then ignore", -1, retryTwiceThenIgnore, Outcome::Completed, {1, 2, 2, 2, 3}},
        {"no answer function aborts", -1, core::ErrorAnswerFn(), Outcome::Aborted, {1, 2}},
        {"suppressed errors skip the failing step",
         -1,
         core::suppressErrors(),
         Outcome::Completed,
         {1, 2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Procedure p;
        p.failures = c.failures;
        EXPECT_EQ(p.run(c.answer), c.outcome);
        EXPECT_EQ(p.ran, c.ran);
    }
    EXPECT_EQ(calls, 3);
    // Abort, and any answer but retry and ignore, leaves after the failing step.
    for (int answer : {3, 0, 1, 2, 6, 7, -1}) {
        Procedure p;
        p.failures = -1;
        EXPECT_EQ(p.run(fixed(answer)), Outcome::Aborted) << answer;
        EXPECT_EQ(p.ran, (std::vector<int>{1, 2})) << answer;
    }
}

// The answer is asked with the procedure's name and the error that was thrown.
TEST(RunSteps, TheAnswerIsAskedWithTheProcedureAndTheError) {
    Procedure p;
    p.failures = 2;
    EXPECT_EQ(p.run(p.answering(4)), Outcome::Completed);
    ASSERT_EQ(p.asked.size(), 2u);
    EXPECT_EQ(p.askedBy[0], "UpdateFormula");
    EXPECT_EQ(p.asked[0].number, 13);
    EXPECT_EQ(p.asked[0].description, "Type mismatch");
    EXPECT_EQ(p.asked[0].source, "src");
}

TEST(RunStep, ReportsCompletedIgnoredOrAborted) {
    int runs = 0;
    const auto failing = [&] {
        ++runs;
        throw std::runtime_error("boom");
    };
    const auto fixed = [](int a) { return [a](const QString&, const ErrorInfo&) { return a; }; };
    EXPECT_TRUE(core::runStep("p", fixed(3), [&] { ++runs; }));
    EXPECT_EQ(runs, 1);
    runs = 0;
    EXPECT_TRUE(core::runStep("p", fixed(5), failing));
    EXPECT_EQ(runs, 1);
    runs = 0;
    EXPECT_FALSE(core::runStep("p", fixed(3), failing));
    EXPECT_EQ(runs, 1);
}

TEST(CurrentErrorInfo, ConvertsWhatWasThrown) {
    const auto infoOf = [](auto thrower) {
        try {
            thrower();
        } catch (...) {
            return core::currentErrorInfo(std::current_exception());
        }
        return ErrorInfo{};
    };
    const ErrorInfo com = infoOf([] { throw ComError(-2147217900, "Incorrect syntax", "Provider"); });
    EXPECT_EQ(com.number, -2147217900);
    EXPECT_EQ(com.description, "Incorrect syntax");
    EXPECT_EQ(com.source, "Provider");

    const ErrorInfo std = infoOf([] { throw std::runtime_error("disk full"); });
    EXPECT_EQ(std.number, 5);
    EXPECT_EQ(std.description, "disk full");

    const ErrorInfo unknown = infoOf([] { throw 42; });
    EXPECT_EQ(unknown.number, 5);
    EXPECT_EQ(unknown.description, "Invalid procedure call or argument");

    EXPECT_EQ(core::currentErrorInfo(nullptr).number, 0);
}

TEST(ComErrorTest, StandardErrors) {
    struct Case {
        qint32 number;
        const char* description;
    };
    const Case cases[] = {{6, "Overflow"},
                          {13, "Type mismatch"},
                          {94, "Invalid use of Null"},
                          {91, "Object variable or With block variable not set"},
                          {11, "Division by zero"},
                          {12345, "Application-defined or object-defined error"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        try {
            core::raiseError(c.number, "core");
            FAIL() << "nothing raised";
        } catch (const ComError& e) {
            EXPECT_EQ(e.number(), c.number);
            EXPECT_EQ(e.description(), QString::fromLatin1(c.description));
            EXPECT_EQ(e.info().source, "core");
            EXPECT_NE(std::string(e.what()).find(c.description), std::string::npos);
        }
    }
}
