#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "effect/engine.h"

namespace {

constexpr int kLoop = 441000;

TEST(Engine, StartsUnallocatedAndSilent) {
    engine e;
    EXPECT_FALSE(e.isAllocated());
    EXPECT_EQ(e.getLeft(), nullptr);
    EXPECT_EQ(e.getRight(), nullptr);
    EXPECT_EQ(e.getLength(), 0);
    // Writes and reads on an unallocated engine touch nothing.
    e.setDataAdd(0, 0, 1.0f);
    e.setDataMix(1, 0, 1.0f);
    e.setDataAdd(0, 1.0f);
    EXPECT_EQ(e.getData(0, 0.0f), 0.0f);
}

TEST(Engine, InitGivesTwoZeroedChannels) {
    engine e;
    e.Init(kLoop);
    ASSERT_TRUE(e.isAllocated());
    EXPECT_EQ(e.getLength(), kLoop);
    EXPECT_EQ(e.getSecretPos(), 0);
    ASSERT_NE(e.getLeft(), nullptr);
    ASSERT_NE(e.getRight(), nullptr);
    EXPECT_NE(e.getLeft(), e.getRight());
    for (int i = 0; i < kLoop; ++i) {
        ASSERT_EQ(e.getLeft()[i], 0.0f) << i;
        ASSERT_EQ(e.getRight()[i], 0.0f) << i;
    }
}

TEST(Engine, OverwriteMixAndReadBySide) {
    engine e;
    e.Init(kLoop);
    e.setDataAdd(0, 5, 0.5f);
    e.setDataMix(0, 5, 0.25f);
    EXPECT_EQ(e.getData(0, 5.0f), 0.75f);
    EXPECT_EQ(e.getData(1, 5.0f), 0.0f);

    e.setDataAdd(1, 7, -0.5f);
    EXPECT_EQ(e.getData(1, 7.99f), -0.5f); // truncated toward zero
    EXPECT_EQ(e.getData(0, 7.0f), 0.0f);

    // Overwrite replaces, it does not add.
    e.setDataAdd(0, 5, 0.125f);
    EXPECT_EQ(e.getLeft()[5], 0.125f);

    // Unknown sides change nothing and read 0.
    e.setDataAdd(2, 9, 1.0f);
    e.setDataMix(-1, 9, 1.0f);
    EXPECT_EQ(e.getData(0, 9.0f), 0.0f);
    EXPECT_EQ(e.getData(1, 9.0f), 0.0f);
    EXPECT_EQ(e.getData(2, 5.0f), 0.0f);

    // The last sample is reachable.
    e.setDataAdd(1, kLoop - 1, 0.5f);
    EXPECT_EQ(e.getData(1, static_cast<float>(kLoop - 1)), 0.5f);
}

TEST(Engine, WritesAtItsOwnPositionAndWraps) {
    engine e;
    e.Init(kLoop);
    e.setDataAdd(0, 0.5f);
    e.setDataMix(0, 0.25f);
    e.setDataAdd(1, 0.125f);
    EXPECT_EQ(e.getData(0, 0.0f), 0.75f);
    EXPECT_EQ(e.getData(1, 0.0f), 0.125f);
    EXPECT_EQ(e.getSecretPos(), 0); // writes never move it

    for (int i = 1; i <= 9; ++i) {
        e.increaseSecretpos(1, 9);
        EXPECT_EQ(e.getSecretPos(), i);
    }
    e.increaseSecretpos(1, 9);
    EXPECT_EQ(e.getSecretPos(), 0);

    e.setDataAdd(0, 2.0f);
    EXPECT_EQ(e.getData(0, 0.0f), 2.0f);

    // A limit of 0 pins the position to 0.
    for (int i = 0; i < 3; ++i) {
        e.increaseSecretpos(1, 0);
        EXPECT_EQ(e.getSecretPos(), 0);
    }
    // A limit smaller than the position sends it to 0 at the next step.
    for (int i = 0; i < 50; ++i)
        e.increaseSecretpos(1, 100);
    EXPECT_EQ(e.getSecretPos(), 50);
    e.increaseSecretpos(1, 10);
    EXPECT_EQ(e.getSecretPos(), 0);
    // A step that would overflow starts again at 0 instead.
    e.increaseSecretpos(std::numeric_limits<int>::max(), std::numeric_limits<int>::max());
    e.increaseSecretpos(std::numeric_limits<int>::max(), std::numeric_limits<int>::max());
    EXPECT_EQ(e.getSecretPos(), 0);
}

TEST(Engine, RefusesPositionsOutsideItsArrays) {
    engine e;
    e.Init(16);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (int pos :
         {-1, 16, 17, 1 << 30, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
        e.setDataAdd(0, pos, 1.0f);
        e.setDataMix(1, pos, 1.0f);
    }
    for (float pos : {-1.0f, -0.5f, 16.0f, 1e10f, -1e10f, nan, inf, -inf})
        EXPECT_EQ(e.getData(0, pos), 0.0f) << pos;
    // -0.5 truncates to 0 but lies before the array: refused too.
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(e.getLeft()[i], 0.0f);
        EXPECT_EQ(e.getRight()[i], 0.0f);
    }
    // Its own position at the length (allowed for one step) writes nothing.
    for (int i = 0; i < 16; ++i)
        e.increaseSecretpos(1, 16);
    EXPECT_EQ(e.getSecretPos(), 16);
    e.setDataAdd(0, 3.0f);
    e.setDataMix(1, 3.0f);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(e.getLeft()[i] + e.getRight()[i], 0.0f);
}

TEST(Engine, ReinitAndBadSizes) {
    engine e;
    e.Init(0);
    EXPECT_FALSE(e.isAllocated());
    e.Init(-5);
    EXPECT_FALSE(e.isAllocated());
    e.Init(8);
    e.setDataAdd(0, 3, 1.0f);
    e.increaseSecretpos(1, 8);
    e.Init(4); // a second Init starts over (and leaks nothing under the sanitizer)
    EXPECT_TRUE(e.isAllocated());
    EXPECT_EQ(e.getLength(), 4);
    EXPECT_EQ(e.getSecretPos(), 0);
    EXPECT_EQ(e.getData(0, 3.0f), 0.0f);
}

} // namespace
