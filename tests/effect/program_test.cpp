#include <gtest/gtest.h>

#include <cstring>

#include "effect/StammerixProgram.h"

namespace {

TEST(StammerixProgram, DefaultsAndParameters) {
    StammerixProgram p;
    EXPECT_STREQ(p.GetName(), "-");
    // The whole name after "-" is zero.
    for (int i = 1; i < StammerixProgram::kNameBytes; ++i)
        EXPECT_EQ(p.GetName()[i], 0) << i;
    EXPECT_EQ(p.GetParameter(0), 0.0f);
    EXPECT_EQ(p.GetParameter(1), 0.0f);

    p.SetParameter(0, 0.75f);
    p.SetParameter(1, 0.25f);
    EXPECT_EQ(p.GetParameter(0), 0.75f);
    EXPECT_EQ(p.GetParameter(1), 0.25f);
    // Out-of-range indices touch nothing and read 0.
    p.SetParameter(2, 9.0f);
    p.SetParameter(-1, 9.0f);
    EXPECT_EQ(p.GetParameter(2), 0.0f);
    EXPECT_EQ(p.GetParameter(-1), 0.0f);
    EXPECT_EQ(p.GetParameter(0), 0.75f);
    EXPECT_EQ(p.GetParameter(1), 0.25f);
}

TEST(StammerixProgram, NamesAreCutAt24Characters) {
    StammerixProgram p;
    p.SetName("abcdefghijklmnopqrstuvwxyz0123"); // 30 characters
    EXPECT_STREQ(p.GetName(), "abcdefghijklmnopqrstuvwx");
    EXPECT_EQ(std::strlen(p.GetName()), 24u);
    p.SetName("short");
    EXPECT_STREQ(p.GetName(), "short");
    // The old tail is cleared, not left behind the new terminator.
    for (int i = 5; i < StammerixProgram::kNameBytes; ++i)
        EXPECT_EQ(p.GetName()[i], 0) << i;
    p.SetName(nullptr);
    EXPECT_STREQ(p.GetName(), "short");
    p.SetName("");
    EXPECT_STREQ(p.GetName(), "");
}

} // namespace
