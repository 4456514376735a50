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

TEST(RunSteps, CompletesWithoutAsking) {
    Procedure p;
    EXPECT_EQ(p.run(p.answering(3)), Outcome::Completed);
    EXPECT_EQ(p.ran, (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(p.asked.empty());
}

TEST(RunSteps, RetryRepeatsExactlyTheFailingStep) {
    Procedure p;
    p.failures = 2;
    EXPECT_EQ(p.run(p.answering(4)), Outcome::Completed);
    EXPECT_EQ(p.ran, (std::vector<int>{1, 2, 2, 2, 3}));
    ASSERT_EQ(p.asked.size(), 2u);
    EXPECT_EQ(p.askedBy[0], "UpdateFormula");
    EXPECT_EQ(p.asked[0].number, 13);
    EXPECT_EQ(p.asked[0].description, "Type mismatch");
    EXPECT_EQ(p.asked[0].source, "src");
}

TEST(RunSteps, IgnoreGoesOnWithTheNextStep) {
    Procedure p;
    p.failures = -1;
    EXPECT_EQ(p.run(p.answering(5)), Outcome::Completed);
    EXPECT_EQ(p.ran, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(p.asked.size(), 1u);
}

TEST(RunSteps, AbortAndAnyOtherAnswerLeave) {
    for (int answer : {3, 0, 1, 2, 6, 7, -1}) {
        SCOPED_TRACE(answer);
        Procedure p;
        p.failures = -1;
        EXPECT_EQ(p.run(p.answering(answer)), Outcome::Aborted);
        EXPECT_EQ(p.ran, (std::vector<int>{1, 2}));
        EXPECT_EQ(p.asked.size(), 1u);
    }
}

TEST(RunSteps, NoAnswerFunctionAborts) {
    Procedure p;
    p.failures = -1;
    EXPECT_EQ(p.run(core::ErrorAnswerFn()), Outcome::Aborted);
    EXPECT_EQ(p.ran, (std::vector<int>{1, 2}));
}

TEST(RunSteps, SuppressedErrorsSkipTheFailingStep) {
    Procedure p;
    p.failures = -1;
    EXPECT_EQ(p.run(core::suppressErrors()), Outcome::Completed);
    EXPECT_EQ(p.ran, (std::vector<int>{1, 2, 3}));
}

TEST(RunSteps, RetryThenIgnore) {
    Procedure p;
    p.failures = -1;
    int calls = 0;
    const auto answer = [&](const QString&, const ErrorInfo&) { return ++calls < 3 ? 4 : 5; };
    EXPECT_EQ(p.run(answer), Outcome::Completed);
    EXPECT_EQ(p.ran, (std::vector<int>{1, 2, 2, 2, 3}));
    EXPECT_EQ(calls, 3);
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
