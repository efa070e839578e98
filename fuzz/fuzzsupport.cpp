#include "fuzzsupport.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "auhost/pluginbundle.h"
#include "kestrin/kestrin.h"
#include "kestrinhost.h"

namespace kfuzz {

void trap(const char* what) {
    std::fprintf(stderr, "fuzz target: %s\n", what);
    std::abort();
}

std::uint8_t Input::byte() { return empty() ? 0 : data_[at_++]; }

std::uint16_t Input::u16() { return std::uint16_t(byte() | (byte() << 8)); }

std::uint32_t Input::u32() {
    const std::uint32_t lo = u16();
    return lo | (std::uint32_t(u16()) << 16);
}

float Input::f32() {
    const std::uint32_t bits = u32();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

double Input::f64() {
    const std::uint64_t bits = u32() | (std::uint64_t(u32()) << 32);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

std::span<const std::uint8_t> Input::bytes(std::size_t n) {
    n = std::min(n, remaining());
    const std::span<const std::uint8_t> s(data_ + at_, n);
    at_ += n;
    return s;
}

LocalKestrin::LocalKestrin() : facade_(fw::makeClient<kestrin::Kestrin>(), &host_, {}) {}

AudioComponent kestrinComponent() {
    // The bundle stays loaded for the whole process, as in a host.
    static AudioComponent component = [] {
        static std::unique_ptr<kestrincli::KestrinHost> host;
        std::string error;
        if (!kestrincli::KestrinHost::load(kestrincli::KestrinHost::defaultPluginPath(), host, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            trap("the plug-in bundle does not load");
        }
        AudioComponentDescription d = host->component().description;
        AudioComponent c = AudioComponentFindNext(nullptr, &d);
        if (c == nullptr) trap("the registered component is not found");
        return c;
    }();
    return component;
}

std::unique_ptr<auhost::HostedUnit> newKestrinUnit() {
    std::unique_ptr<auhost::HostedUnit> unit;
    if (!auhost::HostedUnit::create(kestrinComponent(), unit)) trap("the component does not instantiate");
    return unit;
}

bool renderBlocks(auhost::HostedUnit& unit, int blocks, UInt32 frames, bool* finite) {
    std::vector<float> left(frames), right(frames);
    float* outputs[2] = {left.data(), right.data()};
    for (int b = 0; b < blocks; ++b) {
        if (unit.render(outputs, 2, frames) != noErr) return false;
        if (finite == nullptr) continue;
        for (UInt32 i = 0; i < frames; ++i)
            if (!std::isfinite(left[i]) || !std::isfinite(right[i])) *finite = false;
    }
    return true;
}

MemoryFile::MemoryFile() {
    fd_ = ::memfd_create("kestrin-fuzz", 0);
    if (fd_ < 0) trap("memfd_create failed");
    path_ = "/proc/self/fd/" + std::to_string(fd_);
}

MemoryFile::~MemoryFile() { ::close(fd_); }

void MemoryFile::write(std::span<const std::uint8_t> bytes) {
    if (::ftruncate(fd_, 0) != 0) trap("ftruncate failed");
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, off_t(done));
        if (n <= 0) trap("pwrite failed");
        done += std::size_t(n);
    }
}

}  // namespace kfuzz
