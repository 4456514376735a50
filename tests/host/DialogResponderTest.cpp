#include "host/DialogResponder.h"

#include <gtest/gtest.h>

namespace {

using B = QMessageBox::StandardButton;

TEST(DialogResponder, AnswerCodesOfTheButtons) {
    const std::pair<B, int> cases[] = {{B::Ok, 1},    {B::Cancel, 2}, {B::Abort, 3},
                                       {B::Retry, 4}, {B::Ignore, 5}, {B::Yes, 6},
                                       {B::No, 7},    {B::Close, 2},  {B::NoButton, 2}};
    for (const auto& [button, code] : cases)
        EXPECT_EQ(host::answerCode(button), code) << int(button);
    for (int code = host::answer::Ok; code <= host::answer::No; ++code)
        EXPECT_EQ(host::answerCode(host::standardButton(code)), code) << code;
}

} // namespace
