#pragma once
// AlignedBuffer: a byte block owned by one holder, 16-byte aligned, reallocated
// only when a larger size is requested (exactly that size, no doubling: images
// are large and their size rarely grows). Contents are not preserved on growth.

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

namespace fw {

class AlignedBuffer {
public:
    static constexpr std::size_t kAlignment = 16;

    AlignedBuffer() noexcept = default;
    ~AlignedBuffer() { release(); }
    AlignedBuffer(const AlignedBuffer&) = delete;
    AlignedBuffer& operator=(const AlignedBuffer&) = delete;
    AlignedBuffer(AlignedBuffer&& o) noexcept
        : data_(std::exchange(o.data_, nullptr)), capacity_(std::exchange(o.capacity_, 0)) {}
    AlignedBuffer& operator=(AlignedBuffer&& o) noexcept {
        if (this != &o) {
            release();
            data_ = std::exchange(o.data_, nullptr);
            capacity_ = std::exchange(o.capacity_, 0);
        }
        return *this;
    }

    // Not real-time when it grows. Out of memory is fatal (global operator new).
    void ensureCapacity(std::size_t bytes) {
        if (bytes <= capacity_) return;
        release();
        data_ = static_cast<std::uint8_t*>(::operator new(bytes, std::align_val_t(kAlignment)));
        capacity_ = bytes;
    }

    std::uint8_t* data() const noexcept { return data_; }
    std::size_t capacity() const noexcept { return capacity_; }

private:
    void release() noexcept {
        if (data_ != nullptr) ::operator delete(data_, std::align_val_t(kAlignment));
        data_ = nullptr;
        capacity_ = 0;
    }

    std::uint8_t* data_ = nullptr;
    std::size_t capacity_ = 0;
};

}  // namespace fw
