#include <gtest/gtest.h>

#include "desktop/MessageBox.h"

using namespace desktop;

TEST(MessageBox, OffscreenAnswersTheDefaultButRetryWithCancel) {
    ASSERT_TRUE(IsOffscreen());
    EXPECT_EQ(ShowMessage(nullptr, {"Quillon Pro", "Done", MessageIcon::Information, Ok}), Ok);
    EXPECT_EQ(ShowMessage(nullptr, {"Quillon Pro", "Sure?", MessageIcon::Question, Yes | No, No}),
              No);
    EXPECT_EQ(ShowMessage(nullptr, {"Quillon Pro", "Sure?", MessageIcon::Question, Yes | No}), Yes);
    EXPECT_EQ(ShowMessage(nullptr, {"Quillon Pro", "A: is not accessible.", MessageIcon::Error,
                                    Retry | Cancel}),
              Cancel);
}

TEST(MessageBox, AnAnswererSeesEveryRequest) {
    std::vector<MessageRequest> asked;
    SetMessageAnswerer([&](const MessageRequest& r) {
        asked.push_back(r);
        return Retry;
    });
    EXPECT_EQ(ShowMessage(nullptr, {"Quillon Pro", "X", MessageIcon::Error, Retry | Cancel}),
              Retry);
    SetMessageAnswerer({});
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, QStringLiteral("X"));
    EXPECT_EQ(asked[0].icon, MessageIcon::Error);
}
