#pragma once
// What the fuzz targets share: a trap for a broken promise, a cursor over the fuzz
// input, a Kestrin client of their own behind a facade, the Audio Unit binary opened
// once per process the way a host opens it, and an in-memory file for readers that
// take a path.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "auhost/hostedunit.h"
#include "framework/client/clientfacade.h"
#include "framework/client/nullhostcommand.h"

namespace kfuzz {

// Prints what broke and aborts, so that libFuzzer keeps the input as a crash.
[[noreturn]] void trap(const char* what);

// Reads the fuzz input front to back; past its end every read gives zeros.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    std::size_t remaining() const { return size_ - at_; }
    std::uint8_t byte();
    std::uint16_t u16();
    std::uint32_t u32();
    float f32();
    double f64();
    // The next `n` bytes, fewer at the end.
    std::span<const std::uint8_t> bytes(std::size_t n);
    std::span<const std::uint8_t> rest() { return bytes(remaining()); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// A Kestrin client made in this process (no editor), behind the facade a format
// wrapper owns.
class LocalKestrin {
public:
    LocalKestrin();
    fw::ClientFacade& operator*() { return facade_; }
    fw::ClientFacade* operator->() { return &facade_; }

private:
    fw::NullHostCommand host_;  // declared first: it outlives the facade
    fw::ClientFacade facade_;
};

// The Kestrin component of the built Kestrin.component, registered on the first
// call. Traps when the bundle does not load.
AudioComponent kestrinComponent();
// A new instance of it. Traps when the component cannot be instantiated.
std::unique_ptr<auhost::HostedUnit> newKestrinUnit();

// Renders `blocks` blocks of `frames` frames of stereo through `unit` (initialized)
// and returns false when any render fails. When `finite` is given, it is set to
// false on the first sample that is NaN or infinite.
bool renderBlocks(auhost::HostedUnit& unit, int blocks, UInt32 frames, bool* finite);

// A file in memory that readers can open by path: write() replaces its contents.
class MemoryFile {
public:
    MemoryFile();
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    void write(std::span<const std::uint8_t> bytes);
    const std::string& path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace kfuzz
