#pragma once
// IProfiler: named zones around the editor's frame steps. The editor ships with
// NullProfiler, whose operations do nothing; a measuring tool can substitute its own.

namespace fw {

class IProfiler {
public:
    virtual ~IProfiler() = default;
    // Thread of the zone. `name` is a string literal.
    virtual void begin(const char* name) noexcept = 0;
    virtual void end() noexcept = 0;
};

class NullProfiler final : public IProfiler {
public:
    void begin(const char*) noexcept override {}
    void end() noexcept override {}
};

}  // namespace fw
