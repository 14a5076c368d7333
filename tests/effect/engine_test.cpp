#include <gtest/gtest.h>

#include <limits>

#include "effect/engine.h"

namespace {

constexpr int kLoop = 441000;
constexpr int kIntMax = std::numeric_limits<int>::max();

TEST(Engine, AllocationAndReinit) {
    engine e;
    for (int size : {0, -5}) {
        e.Init(size);
        EXPECT_FALSE(e.isAllocated()) << size;
        EXPECT_EQ(e.getLeft(), nullptr);
        EXPECT_EQ(e.getLength(), 0);
    }
    // Writes and reads on an unallocated engine touch nothing.
    e.setDataAdd(0, 0, 1.0f);
    e.setDataMix(1, 0, 1.0f);
    e.setDataAdd(0, 1.0f);
    EXPECT_EQ(e.getData(0, 0.0f), 0.0f);

    e.Init(kLoop);
    ASSERT_TRUE(e.isAllocated());
    EXPECT_EQ(e.getLength(), kLoop);
    EXPECT_NE(e.getLeft(), e.getRight());
    for (int i = 0; i < kLoop; ++i)
        ASSERT_TRUE(e.getLeft()[i] == 0.0f && e.getRight()[i] == 0.0f) << i;

    // A second Init starts over (and leaks nothing under the sanitizer).
    e.setDataAdd(0, 3, 1.0f);
    e.increaseSecretpos(5, 8);
    e.Init(4);
    EXPECT_EQ(e.getLength(), 4);
    EXPECT_EQ(e.getSecretPos(), 0);
    EXPECT_EQ(e.getData(0, 3.0f), 0.0f);
}

TEST(Engine, WritesMixesAndReadsBySide) {
    engine e;
    e.Init(kLoop);
    e.setDataAdd(0, 5, 0.5f);
    e.setDataMix(0, 5, 0.25f);
    EXPECT_EQ(e.getData(0, 5.0f), 0.75f);
    EXPECT_EQ(e.getData(1, 5.0f), 0.0f);
    e.setDataAdd(0, 5, 0.125f); // overwrite replaces
    EXPECT_EQ(e.getData(0, 5.0f), 0.125f);
    e.setDataAdd(1, 7, -0.5f);
    EXPECT_EQ(e.getData(1, 7.99f), -0.5f); // truncated toward zero
    e.setDataAdd(1, kLoop - 1, 0.5f);      // the last sample is reachable
    EXPECT_EQ(e.getData(1, static_cast<float>(kLoop - 1)), 0.5f);
    // Unknown sides change nothing and read 0.
    e.setDataAdd(2, 9, 1.0f);
    e.setDataMix(-1, 9, 1.0f);
    EXPECT_EQ(e.getData(0, 9.0f) + e.getData(1, 9.0f) + e.getData(2, 5.0f), 0.0f);

    // At its own position, which writes never move.
    e.setDataAdd(0, 0.5f);
    e.setDataMix(0, 0.25f);
    e.setDataAdd(1, 0.125f);
    EXPECT_EQ(e.getData(0, 0.0f), 0.75f);
    EXPECT_EQ(e.getData(1, 0.0f), 0.125f);
    EXPECT_EQ(e.getSecretPos(), 0);
}

TEST(Engine, OwnPositionWrapsPastItsLimit) {
    engine e;
    e.Init(kLoop);
    for (int i = 1; i <= 9; ++i)
        e.increaseSecretpos(1, 9);
    EXPECT_EQ(e.getSecretPos(), 9); // the limit itself is visited
    e.increaseSecretpos(1, 9);
    EXPECT_EQ(e.getSecretPos(), 0);
    e.increaseSecretpos(1, 0); // a limit of 0 pins it
    EXPECT_EQ(e.getSecretPos(), 0);
    e.increaseSecretpos(50, 100);
    e.increaseSecretpos(1, 10); // a limit below the position sends it to 0
    EXPECT_EQ(e.getSecretPos(), 0);
    // A step that would overflow starts again at 0 instead.
    e.increaseSecretpos(kIntMax, kIntMax);
    e.increaseSecretpos(kIntMax, kIntMax);
    EXPECT_EQ(e.getSecretPos(), 0);
}

TEST(Engine, RefusesPositionsOutsideItsArrays) {
    engine e;
    e.Init(16);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (int pos : {-1, 16, 17, 1 << 30, std::numeric_limits<int>::min(), kIntMax}) {
        e.setDataAdd(0, pos, 1.0f);
        e.setDataMix(1, pos, 1.0f);
    }
    // -0.5 truncates to 0 but lies before the array: refused too.
    for (float pos : {-1.0f, -0.5f, 16.0f, 1e10f, -1e10f, nan, inf, -inf})
        EXPECT_EQ(e.getData(0, pos), 0.0f) << pos;
    // Its own position at the length (allowed for one step) writes nothing.
    e.increaseSecretpos(16, 16);
    ASSERT_EQ(e.getSecretPos(), 16);
    e.setDataAdd(0, 3.0f);
    e.setDataMix(1, 3.0f);
    for (int i = 0; i < 16; ++i)
        EXPECT_TRUE(e.getLeft()[i] == 0.0f && e.getRight()[i] == 0.0f) << i;
}

} // namespace
