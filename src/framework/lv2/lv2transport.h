#pragma once
// Lv2Transport: the host's tempo and position, read from time:Position objects in
// an atom sequence (time:beatsPerMinute, time:speed, time:frame), as TimeInfo.
//
// Until a host says otherwise the tempo is 120 and the transport is stopped at 0,
// as for a host that tells nothing. Between objects the position advances by the
// frames processed while rolling.

#include <cstdint>

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include "framework/client/plugininfo.h"

namespace fw::lv2 {

class Lv2Transport {
public:
    // Host thread (instantiation). Without a map no object is recognised.
    explicit Lv2Transport(const LV2_URID_Map* map) noexcept;

    // Audio thread; never blocks, never allocates. Whether `event` is a time:Position
    // object; if so its known properties (right type and size) update the transport.
    bool apply(const LV2_Atom* event) noexcept;
    // Audio thread. `frames` were processed at the current transport.
    void advance(std::int64_t frames) noexcept;
    // Audio thread. The transport for the next frames.
    const TimeInfo& timeInfo() const noexcept { return info_; }
    double speed() const noexcept { return speed_; }

private:
    bool readNumber(const LV2_Atom* value, double& out) const noexcept;

    struct Urids {
        LV2_URID atomObject = 0, atomBlank = 0, atomResource = 0;
        LV2_URID atomFloat = 0, atomDouble = 0, atomInt = 0, atomLong = 0;
        LV2_URID timePosition = 0, timeBpm = 0, timeSpeed = 0, timeFrame = 0;
    } urid_;
    TimeInfo info_;
    double speed_ = 0;
};

}  // namespace fw::lv2
