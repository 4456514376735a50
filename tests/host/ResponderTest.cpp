#include "host/Responder.h"

#include <gtest/gtest.h>

namespace {

TEST(MessageBoxCode, ButtonsIconAndDefaultButton) {
    using namespace host::answer;
    using I = host::MessageBoxLayout::Icon;
    struct Case {
        std::int32_t code;
        QList<int> buttons;
        I icon;
        int defaultButton;
        bool systemModal;
    };
    const Case cases[] = {
        {0, {Ok}, I::None, Ok, false},
        {1, {Ok, Cancel}, I::None, Ok, false},
        {2, {Abort, Retry, Ignore}, I::None, Abort, false},
        {3, {Yes, No, Cancel}, I::None, Yes, false},
        {4, {Yes, No}, I::None, Yes, false},
        {5, {Retry, Cancel}, I::None, Retry, false},
        {16, {Ok}, I::Critical, Ok, false},
        {32 + 4, {Yes, No}, I::Question, Yes, false},
        {48, {Ok}, I::Exclamation, Ok, false},
        {64, {Ok}, I::Information, Ok, false},
        {4 + 32 + 256, {Yes, No}, I::Question, No, false},
        {4 + 48 + 256, {Yes, No}, I::Exclamation, No, false},
        {3 + 512, {Yes, No, Cancel}, I::None, Cancel, false},
        // The error display: abort/retry/ignore, critical, second button, system modal.
        {4370, {Abort, Retry, Ignore}, I::Critical, Retry, true},
        // A second default button where there is only one falls back to the first.
        {256, {Ok}, I::None, Ok, false},
        // Unknown button groups show OK.
        {7, {Ok}, I::None, Ok, false},
    };
    for (const Case& c : cases) {
        const host::MessageBoxLayout layout = host::messageBoxLayout(c.code);
        EXPECT_EQ(layout.buttons, c.buttons) << c.code;
        EXPECT_EQ(layout.icon, c.icon) << c.code;
        EXPECT_EQ(layout.defaultButton, c.defaultButton) << c.code;
        EXPECT_EQ(layout.systemModal, c.systemModal) << c.code;
    }
}

TEST(TestResponder, WithoutOneInstalledTheDefaultButtonAnswers) {
    host::Request q;
    q.code = 4 + 256;
    EXPECT_EQ(host::Responder::current()->respond(q), host::answer::No);
    host::TestResponder program({host::answer::Yes});
    host::Responder::setDefault(&program);
    EXPECT_EQ(host::Responder::current(), &program);
    host::Responder::setDefault(nullptr);
    EXPECT_EQ(host::Responder::current()->respond(q), host::answer::No);
    EXPECT_TRUE(program.requests().isEmpty());
}

} // namespace
