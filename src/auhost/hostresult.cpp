#include "auhost/hostresult.h"

namespace auhost {

HostResult HostResult::check(OSStatus status, const char* what) {
    if (status == noErr) return success();
    return failure(status, std::string(what) + " failed (" + std::to_string(status) + ")");
}

}  // namespace auhost
