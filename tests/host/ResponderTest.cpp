#include "host/Responder.h"

#include <gtest/gtest.h>

using B = QMessageBox::StandardButton;

namespace {

TEST(MessageBoxCode, ButtonsIconAndDefaultButton) {
    struct Case {
        std::int32_t code;
        QList<B> buttons;
        QMessageBox::Icon icon;
        B defaultButton;
        bool systemModal;
    };
    const Case cases[] = {
        {0, {B::Ok}, QMessageBox::NoIcon, B::Ok, false},
        {1, {B::Ok, B::Cancel}, QMessageBox::NoIcon, B::Ok, false},
        {2, {B::Abort, B::Retry, B::Ignore}, QMessageBox::NoIcon, B::Abort, false},
        {3, {B::Yes, B::No, B::Cancel}, QMessageBox::NoIcon, B::Yes, false},
        {4, {B::Yes, B::No}, QMessageBox::NoIcon, B::Yes, false},
        {5, {B::Retry, B::Cancel}, QMessageBox::NoIcon, B::Retry, false},
        {16, {B::Ok}, QMessageBox::Critical, B::Ok, false},
        {32 + 4, {B::Yes, B::No}, QMessageBox::Question, B::Yes, false},
        {48, {B::Ok}, QMessageBox::Warning, B::Ok, false},
        {64, {B::Ok}, QMessageBox::Information, B::Ok, false},
        {4 + 32 + 256, {B::Yes, B::No}, QMessageBox::Question, B::No, false},
        {4 + 48 + 256, {B::Yes, B::No}, QMessageBox::Warning, B::No, false},
        {3 + 512, {B::Yes, B::No, B::Cancel}, QMessageBox::NoIcon, B::Cancel, false},
        // The error display: abort/retry/ignore, critical, second button, system modal.
        {4370, {B::Abort, B::Retry, B::Ignore}, QMessageBox::Critical, B::Retry, true},
        // A second default button where there is only one falls back to the first.
        {256, {B::Ok}, QMessageBox::NoIcon, B::Ok, false},
        // Unknown button groups show OK.
        {7, {B::Ok}, QMessageBox::NoIcon, B::Ok, false},
    };
    for (const Case& c : cases) {
        const host::MessageBoxSpec spec = host::messageBoxSpec(c.code);
        EXPECT_EQ(spec.buttons, c.buttons) << c.code;
        EXPECT_EQ(spec.icon, c.icon) << c.code;
        EXPECT_EQ(spec.defaultButton, c.defaultButton) << c.code;
        EXPECT_EQ(spec.systemModal, c.systemModal) << c.code;
    }
}

TEST(MessageBoxCode, AnswerCodes) {
    const std::pair<B, int> cases[] = {{B::Ok, 1},    {B::Cancel, 2}, {B::Abort, 3},
                                       {B::Retry, 4}, {B::Ignore, 5}, {B::Yes, 6},
                                       {B::No, 7},    {B::Close, 2},  {B::NoButton, 2}};
    for (const auto& [button, code] : cases)
        EXPECT_EQ(host::answerCode(button), code) << int(button);
}

TEST(TestResponder, ScriptedAnswersThenTheDefaultButton) {
    host::TestResponder r({7, 5});
    host::Request q;
    q.code = 4 + 256;
    EXPECT_EQ(r.respond(q), 7);
    EXPECT_EQ(r.respond(q), 5);
    EXPECT_EQ(r.respond(q), 7); // default button of 4 + 256 is No
    q.code = 4;
    EXPECT_EQ(r.respond(q), 6);
    q.code = 4370;
    EXPECT_EQ(r.respond(q), 4);
    r.setFallback(3);
    EXPECT_EQ(r.respond(q), 3);
    EXPECT_EQ(r.requests().size(), 6);
}

TEST(TestResponder, ScopedInstallationRestoresThePrevious) {
    host::Responder* original = host::Responder::current();
    ASSERT_NE(original, nullptr);
    host::TestResponder a, b;
    {
        host::ScopedResponder sa(&a);
        EXPECT_EQ(host::Responder::current(), &a);
        {
            host::ScopedResponder sb(&b);
            EXPECT_EQ(host::Responder::current(), &b);
        }
        EXPECT_EQ(host::Responder::current(), &a);
    }
    EXPECT_EQ(host::Responder::current(), original);
}

} // namespace
