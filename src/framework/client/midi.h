#pragma once
// MIDI messages and the time-ordered queue the client keeps them in.
//
// A MidiQueue holds messages at absolute frame offsets (frames since the last
// reset) in a binary min-heap; messages at the same frame leave in the order they
// arrived. It counts the frames elapsed so that offsets relative to the current
// block can be made absolute on the way in and relative again on the way out.

#include <cstdint>

#include "framework/core/vec.h"

namespace fw {

struct MidiMessage {
    std::int32_t offset = 0;   // frame offset of the message
    std::uint8_t bytes[3]{};   // status and data bytes
    std::uint8_t length = 0;   // number of valid bytes, 1 to 3
};

class MidiQueue {
public:
    // Preparation time; may allocate.
    void reserve(std::size_t capacity) { heap_.reserve(capacity); }

    // Empties the queue and sets the elapsed-frame counter to 0; keeps capacity.
    void clear() noexcept;

    // `message.offset` is relative to the current block and is made absolute by
    // adding the frames elapsed. Allocates only when the queue outgrows its capacity
    // (the storage then becomes twice the needed count).
    void enqueue(const MidiMessage& message);

    // Pops the earliest message whose absolute offset lies before elapsed + `frames`,
    // with its offset made relative to `blockStart` (an absolute frame); false when
    // there is none. Never allocates.
    [[nodiscard]] bool popBefore(int frames, std::int64_t blockStart, MidiMessage& out) noexcept;

    // Advances the elapsed-frame counter.
    void accumulate(int frames) noexcept { elapsed_ += frames; }
    std::int64_t framesElapsed() const noexcept { return elapsed_; }
    std::size_t size() const noexcept { return heap_.length(); }
    bool empty() const noexcept { return heap_.empty(); }

private:
    struct Entry {
        MidiMessage message;
        std::int64_t absoluteOffset;
        std::uint64_t insertion;  // breaks ties so equal offsets keep arrival order
    };
    static bool earlier(const Entry& a, const Entry& b) noexcept {
        return a.absoluteOffset != b.absoluteOffset ? a.absoluteOffset < b.absoluteOffset
                                                    : a.insertion < b.insertion;
    }

    Vec<Entry> heap_;
    std::int64_t elapsed_ = 0;
    std::uint64_t insertions_ = 0;
};

}  // namespace fw
