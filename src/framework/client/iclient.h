#pragma once
// IClient: the editor's view of its plug-in client.

#include "framework/client/hostcommand.h"

namespace fw {

class IClient {
public:
    virtual ~IClient() = default;

    // UI thread. Asks the host for another editor size; false when there is no host
    // or it refused.
    virtual bool requestResize(int width, int height) noexcept = 0;
    // Any thread.
    virtual DAW getDAW() noexcept = 0;
    // Any thread.
    virtual PluginFormat getPluginFormat() noexcept = 0;
};

}  // namespace fw
