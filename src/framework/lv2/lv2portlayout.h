#pragma once
// Lv2PortLayout: the port indices of one LV2 plug-in built on a client. The plug-in
// binary and the Turtle generator both take them from here, so the description can
// never number a port differently from the code that connects it.
//
//   0 .. P-1          control inputs, one per parameter, port i is parameter i
//   P .. P+I-1        audio inputs
//   P+I .. P+I+O-1    audio outputs
//   P+I+O             latency in frames (control output, what the client reports)
//   P+I+O+1           transport: an atom sequence carrying time:Position

#include <cstdint>

namespace fw::lv2 {

struct Lv2PortLayout {
    int parameters = 0;
    int inputs = 0;
    int outputs = 0;

    // Any thread.
    constexpr int firstAudioInput() const noexcept { return parameters; }
    constexpr int firstAudioOutput() const noexcept { return parameters + inputs; }
    constexpr int latency() const noexcept { return parameters + inputs + outputs; }
    constexpr int transport() const noexcept { return latency() + 1; }
    constexpr int count() const noexcept { return transport() + 1; }
};

}  // namespace fw::lv2
