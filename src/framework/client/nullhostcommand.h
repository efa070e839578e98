#pragma once
// NullHostCommand: a host that hears nothing and grants nothing, for code that runs a
// client without a real host (build-time generators, tools, tests). Gestures are
// dropped, resizes refused, the host and format unknown unless a format is given.

#include "framework/client/hostcommand.h"

namespace fw {

class NullHostCommand final : public IHostCommand {
public:
    explicit NullHostCommand(PluginFormat format = PluginFormat::unknown) noexcept : format_(format) {}

    // Any thread; each does nothing.
    void beginParamEdit(int) noexcept override {}
    void paramAutomate(int, float) noexcept override {}
    void endParamEdit(int) noexcept override {}
    bool requestResize(int, int) noexcept override { return false; }
    DAW getDAW() noexcept override { return DAW::unknown; }
    PluginFormat getPluginFormat() noexcept override { return format_; }

private:
    PluginFormat format_;
};

}  // namespace fw
