#pragma once
// Vec<T, Alignment>: a growable array owned by its holder.
//
// When an append or a resize needs more room, the capacity becomes twice the
// needed length. Shrinking or clearing keeps the capacity, so a warm path that
// refills a Vec to a size it has seen before never allocates. Storage comes from
// the global aligned operator new, so allocation-counting tests see it.

#include <cstddef>
#include <initializer_list>
#include <new>
#include <utility>

namespace fw {

template <typename T, std::size_t Alignment = alignof(T)>
class Vec {
    static_assert(Alignment >= alignof(T) && (Alignment & (Alignment - 1)) == 0,
                  "alignment must be a power of two at least alignof(T)");

public:
    using value_type = T;

    Vec() noexcept = default;
    explicit Vec(std::size_t length) { resize(length); }
    Vec(std::initializer_list<T> items) {
        reserve(items.size());
        for (const T& x : items) pushBack(x);
    }
    ~Vec() {
        clearContents();
        deallocate(data_);
    }

    Vec(const Vec&) = delete;
    Vec& operator=(const Vec&) = delete;
    Vec(Vec&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          length_(std::exchange(other.length_, 0)),
          capacity_(std::exchange(other.capacity_, 0)) {}
    Vec& operator=(Vec&& other) noexcept {
        if (this != &other) {
            clearContents();
            deallocate(data_);
            data_ = std::exchange(other.data_, nullptr);
            length_ = std::exchange(other.length_, 0);
            capacity_ = std::exchange(other.capacity_, 0);
        }
        return *this;
    }

    std::size_t length() const noexcept { return length_; }
    std::size_t size() const noexcept { return length_; }
    std::size_t capacity() const noexcept { return capacity_; }
    bool empty() const noexcept { return length_ == 0; }

    T* data() noexcept { return data_; }
    const T* data() const noexcept { return data_; }
    T& operator[](std::size_t i) noexcept { return data_[i]; }
    const T& operator[](std::size_t i) const noexcept { return data_[i]; }
    T* begin() noexcept { return data_; }
    T* end() noexcept { return data_ + length_; }
    const T* begin() const noexcept { return data_; }
    const T* end() const noexcept { return data_ + length_; }
    T& back() noexcept { return data_[length_ - 1]; }

    // Makes room for at least `n` elements (exactly `n` when it has to grow).
    void reserve(std::size_t n) {
        if (n > capacity_) reallocate(n);
    }

    // New elements are value-initialised; shrinking destroys the tail and keeps capacity.
    void resize(std::size_t n) {
        if (n > capacity_) reallocate(2 * n);
        for (std::size_t i = length_; i < n; ++i) ::new (static_cast<void*>(data_ + i)) T();
        for (std::size_t i = n; i < length_; ++i) data_[i].~T();
        length_ = n;
    }

    template <typename... Args>
    T& emplaceBack(Args&&... args) {
        if (length_ == capacity_) reallocate(2 * (length_ + 1));
        T* slot = ::new (static_cast<void*>(data_ + length_)) T(std::forward<Args>(args)...);
        ++length_;
        return *slot;
    }
    void pushBack(const T& x) { emplaceBack(x); }
    void pushBack(T&& x) { emplaceBack(std::move(x)); }

    void popBack() noexcept {
        --length_;
        data_[length_].~T();
    }

    // Removes element i by moving the last element into its place (order not kept).
    void removeAndReplaceByLast(std::size_t i) noexcept {
        if (i + 1 != length_) data_[i] = std::move(data_[length_ - 1]);
        popBack();
    }

    // Destroys every element; the capacity stays.
    void clearContents() noexcept {
        for (std::size_t i = 0; i < length_; ++i) data_[i].~T();
        length_ = 0;
    }

private:
    static T* allocate(std::size_t n) {
        return static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t(Alignment)));
    }
    static void deallocate(T* p) noexcept {
        if (p != nullptr) ::operator delete(p, std::align_val_t(Alignment));
    }

    // Growth is the cold path; keeping it out of line keeps pushBack small.
    [[gnu::noinline]] void reallocate(std::size_t newCapacity) {
        T* fresh = allocate(newCapacity);
        for (std::size_t i = 0; i < length_; ++i) {
            ::new (static_cast<void*>(fresh + i)) T(std::move(data_[i]));
            data_[i].~T();
        }
        deallocate(data_);
        data_ = fresh;
        capacity_ = newCapacity;
    }

    T* data_ = nullptr;
    std::size_t length_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace fw
