#include "framework/client/midi.h"

#include <utility>

namespace fw {

void MidiQueue::clear() noexcept {
    heap_.clearContents();
    elapsed_ = 0;
    insertions_ = 0;
}

void MidiQueue::enqueue(const MidiMessage& message) {
    heap_.pushBack(Entry{message, elapsed_ + message.offset, insertions_++});
    // Sift up.
    std::size_t i = heap_.length() - 1;
    while (i > 0) {
        const std::size_t parent = (i - 1) / 2;
        if (!earlier(heap_[i], heap_[parent])) break;
        std::swap(heap_[i], heap_[parent]);
        i = parent;
    }
}

bool MidiQueue::popBefore(int frames, std::int64_t blockStart, MidiMessage& out) noexcept {
    if (heap_.empty() || heap_[0].absoluteOffset >= elapsed_ + frames) return false;
    out = heap_[0].message;
    out.offset = static_cast<std::int32_t>(heap_[0].absoluteOffset - blockStart);

    heap_[0] = heap_.back();
    heap_.popBack();
    // Sift down.
    const std::size_t n = heap_.length();
    std::size_t i = 0;
    for (;;) {
        const std::size_t left = 2 * i + 1;
        const std::size_t right = left + 1;
        std::size_t smallest = i;
        if (left < n && earlier(heap_[left], heap_[smallest])) smallest = left;
        if (right < n && earlier(heap_[right], heap_[smallest])) smallest = right;
        if (smallest == i) break;
        std::swap(heap_[i], heap_[smallest]);
        i = smallest;
    }
    return true;
}

}  // namespace fw
