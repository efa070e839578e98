// The MIDI queue: time order, stability for equal frames, elapsed frames.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "framework/client/midi.h"

namespace {

fw::MidiMessage message(int offset, std::uint8_t tag) {
    fw::MidiMessage m;
    m.offset = offset;
    m.bytes[0] = 0xB0;
    m.bytes[1] = tag;
    m.length = 2;
    return m;
}

std::vector<fw::MidiMessage> drain(fw::MidiQueue& q, int frames) {
    std::vector<fw::MidiMessage> out;
    fw::MidiMessage m;
    while (q.popBefore(frames, q.framesElapsed(), m)) out.push_back(m);
    return out;
}

TEST(MidiQueue, PopsInFrameOrder) {
    fw::MidiQueue q;
    for (int offset : {30, 5, 20, 0, 12}) q.enqueue(message(offset, static_cast<std::uint8_t>(offset)));
    auto out = drain(q, 100);
    ASSERT_EQ(out.size(), 5u);
    const int expected[] = {0, 5, 12, 20, 30};
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(out[i].offset, expected[i]);
}

TEST(MidiQueue, EqualFramesLeaveInArrivalOrder) {
    fw::MidiQueue q;
    // Many equal keys interleaved with others: a plain heap would reorder them.
    std::mt19937 rng(7);
    std::vector<int> offsets;
    for (int i = 0; i < 200; ++i) offsets.push_back(static_cast<int>(rng() % 4));
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        fw::MidiMessage m = message(offsets[i], 0);
        m.bytes[2] = static_cast<std::uint8_t>(i);
        q.enqueue(m);
    }
    auto out = drain(q, 10);
    ASSERT_EQ(out.size(), offsets.size());
    for (std::size_t i = 1; i < out.size(); ++i) {
        ASSERT_LE(out[i - 1].offset, out[i].offset);
        if (out[i - 1].offset == out[i].offset) {
            EXPECT_LT(out[i - 1].bytes[2], out[i].bytes[2]);
        }
    }
}

TEST(MidiQueue, OnlyMessagesBeforeTheWindowLeave) {
    fw::MidiQueue q;
    q.enqueue(message(63, 1));
    q.enqueue(message(64, 2));
    auto first = drain(q, 64);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].bytes[1], 1);
    EXPECT_EQ(q.size(), 1u);
}

TEST(MidiQueue, OffsetsAreAbsoluteInsideAndRelativeOutside) {
    fw::MidiQueue q;
    q.accumulate(100);
    q.enqueue(message(10, 1));  // absolute 110
    q.accumulate(64);           // now at 164: the message is already due
    fw::MidiMessage m;
    ASSERT_TRUE(q.popBefore(1, 100, m));
    EXPECT_EQ(m.offset, 10);
    q.enqueue(message(5, 2));  // absolute 169
    ASSERT_TRUE(q.popBefore(10, 164, m));
    EXPECT_EQ(m.offset, 5);
}

TEST(MidiQueue, ClearEmptiesAndRestartsTheFrameCount) {
    fw::MidiQueue q;
    q.accumulate(1000);
    q.enqueue(message(1, 1));
    q.clear();
    EXPECT_TRUE(q.empty());
    EXPECT_EQ(q.framesElapsed(), 0);
    fw::MidiMessage m;
    EXPECT_FALSE(q.popBefore(1 << 30, 0, m));
}

}  // namespace
