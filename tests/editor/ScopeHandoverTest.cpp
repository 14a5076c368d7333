#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "editor/ScopeHandover.h"

TEST(ScopeHandover, PublishesOneSamplePerColumn) {
    auto handover = std::make_unique<ScopeHandover>();
    auto frame = std::make_unique<ScopeFrame>();
    std::vector<float> left(441000), right(441000);
    for (int i = 0; i < 441000; ++i) {
        left[static_cast<std::size_t>(i)] = static_cast<float>(i);
        right[static_cast<std::size_t>(i)] = -static_cast<float>(i);
    }
    EXPECT_FALSE(handover->take(*frame));

    handover->setColumns(400);
    handover->publish(left.data(), right.data(), 441000, 88200, 44100, 17);
    ASSERT_TRUE(handover->take(*frame));
    EXPECT_EQ(frame->columns, 400);
    EXPECT_EQ(frame->length, 88200);
    EXPECT_EQ(frame->posRed, 44100);
    EXPECT_EQ(frame->posGreen, 17);
    EXPECT_FLOAT_EQ(frame->left[1], 220.0f);
    EXPECT_FLOAT_EQ(frame->left[2], 441.0f);
    EXPECT_FLOAT_EQ(frame->left[398], 87759.0f);
    EXPECT_FLOAT_EQ(frame->right[398], -87759.0f);
    EXPECT_FALSE(handover->take(*frame)); // nothing new since

    // Only the newest of several publications reaches the reader.
    handover->publish(left.data(), right.data(), 441000, 1000, 1, 2);
    handover->publish(left.data(), right.data(), 441000, 2000, 3, 4);
    ASSERT_TRUE(handover->take(*frame));
    EXPECT_EQ(frame->length, 2000);
    EXPECT_EQ(frame->sequence, 3u);
    EXPECT_FLOAT_EQ(frame->left[200], 1000.0f);
}

TEST(ScopeHandover, NeverReadsOutsideTheLoop) {
    auto handover = std::make_unique<ScopeHandover>();
    auto frame = std::make_unique<ScopeFrame>();
    std::vector<float> small(100, 0.5f);
    handover->setColumns(100000); // clamped to what a frame holds
    EXPECT_EQ(handover->getColumns(), ScopeFrame::kMaxColumns);
    handover->setColumns(50);
    // A loop longer than the buffer: columns beyond it show silence.
    handover->publish(small.data(), small.data(), 100, 1000, 0, 0);
    ASSERT_TRUE(handover->take(*frame));
    EXPECT_FLOAT_EQ(frame->left[4], 0.5f); // sample 80
    EXPECT_FLOAT_EQ(frame->left[5], 0.0f); // sample 100, past the buffer
    EXPECT_FLOAT_EQ(frame->right[49], 0.0f);
    // Empty or missing loops and nonsense lengths.
    handover->publish(nullptr, nullptr, 0, 88200, 0, 0);
    ASSERT_TRUE(handover->take(*frame));
    EXPECT_FLOAT_EQ(frame->left[10], 0.0f);
    handover->publish(small.data(), small.data(), 100, -5, 0, 0);
    ASSERT_TRUE(handover->take(*frame));
    EXPECT_FLOAT_EQ(frame->left[10], 0.5f); // every column shows sample 0
    EXPECT_EQ(ScopeFrame::sampleIndex(0, 400, 7), 0);
    EXPECT_EQ(ScopeFrame::sampleIndex(441000, 0, 7), 0);
}

TEST(ScopeHandover, ReadsTheLoopAgainOnlyWhereItWasWritten) {
    EXPECT_EQ(ScopeHandover::segmentsOf(0, 0), 0u);
    EXPECT_EQ(ScopeHandover::segmentsOf(-1, 10), 0u);
    EXPECT_EQ(ScopeHandover::segmentsOf(0, 1), 1u);
    EXPECT_EQ(ScopeHandover::segmentsOf(8191, 2), 3u);
    EXPECT_EQ(ScopeHandover::segmentsOf(3 * 8192, 8192), 8u);
    EXPECT_EQ(ScopeHandover::segmentsOf(63 * 8192 - 1, 1000000), 3ull << 62);
    EXPECT_EQ(ScopeHandover::segmentsOf(2000000000, 2000000000), 1ull << 63);

    auto handover = std::make_unique<ScopeHandover>();
    auto frame = std::make_unique<ScopeFrame>();
    std::vector<float> left(441000, 1.0f), right(441000, -1.0f);
    handover->setColumns(400);
    handover->publish(left.data(), right.data(), 441000, 88200, 0, 0, 0); // the first reads all
    ASSERT_TRUE(handover->take(*frame));
    EXPECT_EQ(frame->left[399], 1.0f);
    // Columns 0 to 37 sample segment 0 (indices below 8192), 38 to 74 segment 1.
    std::fill(left.begin(), left.end(), 2.0f);
    std::fill(right.begin(), right.end(), -2.0f);
    handover->publish(left.data(), right.data(), 441000, 88200, 0, 0,
                      ScopeHandover::segmentsOf(9000, 10));
    ASSERT_TRUE(handover->take(*frame));
    EXPECT_EQ(frame->left[37], 1.0f);
    EXPECT_EQ(frame->left[38], 2.0f);
    EXPECT_EQ(frame->right[74], -2.0f);
    EXPECT_EQ(frame->right[75], -1.0f);
    // Told nothing was written, it still shows its last reading, in every slot it fills.
    for (int n = 0; n < 3; ++n) {
        handover->publish(left.data(), right.data(), 441000, 88200, n, 0, 0);
        ASSERT_TRUE(handover->take(*frame));
        EXPECT_EQ(frame->left[38] + frame->left[37] + frame->left[75], 4.0f) << n;
    }
    // Anything that moves the columns, or an invalidation, reads every column again.
    handover->publish(left.data(), right.data(), 441000, 88201, 0, 0, 0);
    ASSERT_TRUE(handover->take(*frame));
    EXPECT_EQ(frame->left[0], 2.0f);
    std::fill(left.begin(), left.end(), 3.0f);
    handover->invalidate();
    handover->publish(left.data(), right.data(), 441000, 88201, 0, 0, 0);
    ASSERT_TRUE(handover->take(*frame));
    EXPECT_EQ(frame->left[0], 3.0f);
    EXPECT_EQ(frame->left[399], 3.0f);
    handover->setColumns(300);
    std::fill(left.begin(), left.end(), 4.0f);
    handover->publish(left.data(), right.data(), 441000, 88201, 0, 0, 0);
    ASSERT_TRUE(handover->take(*frame));
    EXPECT_EQ(frame->left[299], 4.0f);
}

TEST(ScopeHandover, ReaderAlwaysSeesWholeFramesWhileTheWriterRuns) {
    auto handover = std::make_unique<ScopeHandover>();
    handover->setColumns(256);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        std::vector<float> loop(4096);
        for (int n = 1; n <= 20000; ++n) {
            std::fill(loop.begin(), loop.end(), static_cast<float>(n));
            handover->publish(loop.data(), loop.data(), 4096, 4096, n, n);
        }
        done.store(true);
    });
    auto frame = std::make_unique<ScopeFrame>();
    std::uint32_t last = 0;
    int taken = 0;
    bool consistent = true;
    for (;;) {
        const bool finished = done.load();
        if (!handover->take(*frame)) {
            if (finished)
                break;
            continue;
        }
        ++taken;
        const float expected = static_cast<float>(frame->posRed);
        consistent = consistent && frame->sequence > last &&
                     frame->sequence == static_cast<std::uint32_t>(frame->posRed) &&
                     frame->posGreen == frame->posRed;
        for (int i = 0; i < 256 && consistent; ++i)
            consistent = frame->left[i] == expected && frame->right[i] == expected;
        last = frame->sequence;
    }
    writer.join();
    EXPECT_TRUE(consistent);
    EXPECT_GT(taken, 0);
}
