#include <gtest/gtest.h>

#include "effect/StammerixProgram.h"

namespace {

bool zeroFrom(const StammerixProgram& p, int first) {
    for (int i = first; i < StammerixProgram::kNameBytes; ++i)
        if (p.GetName()[i] != 0)
            return false;
    return true;
}

TEST(StammerixProgram, ParametersAndNames) {
    StammerixProgram p;
    EXPECT_STREQ(p.GetName(), "-");
    EXPECT_TRUE(zeroFrom(p, 1));
    EXPECT_EQ(p.GetParameter(0) + p.GetParameter(1), 0.0f);
    p.SetParameter(0, 0.75f);
    p.SetParameter(1, 0.25f);
    // Out-of-range indices touch nothing and read 0.
    p.SetParameter(2, 9.0f);
    p.SetParameter(-1, 9.0f);
    EXPECT_EQ(p.GetParameter(2) + p.GetParameter(-1), 0.0f);
    EXPECT_EQ(p.GetParameter(0), 0.75f);
    EXPECT_EQ(p.GetParameter(1), 0.25f);

    p.SetName("abcdefghijklmnopqrstuvwxyz0123"); // cut at 24 characters
    EXPECT_STREQ(p.GetName(), "abcdefghijklmnopqrstuvwx");
    p.SetName("short");
    EXPECT_STREQ(p.GetName(), "short");
    EXPECT_TRUE(zeroFrom(p, 5)); // the old tail is cleared
    p.SetName(nullptr);
    EXPECT_STREQ(p.GetName(), "short");
    p.SetName("");
    EXPECT_STREQ(p.GetName(), "");
}

} // namespace
