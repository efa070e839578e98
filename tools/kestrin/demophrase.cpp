#include "demophrase.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace kestrincli {

namespace {

constexpr double kRate = 48000.0;

// A plucked string: a burst of filtered noise circulating in a delay line one period
// long, averaged with its neighbour on every pass (the string's damping).
void pluck(std::vector<float>& out, std::size_t start, double frequency, double seconds, float level,
           std::uint32_t seed) {
    const auto period = static_cast<std::size_t>(kRate / frequency + 0.5);
    std::vector<float> line(period);
    std::uint32_t state = seed;
    float smooth = 0.0f;
    for (float& x : line) {
        state = state * 1664525u + 1013904223u;  // a small linear congruential generator
        const float white = float(state >> 8) / float(1u << 24) * 2.0f - 1.0f;
        smooth = 0.6f * smooth + 0.4f * white;  // a softer pick
        x = smooth;
    }
    const auto length = static_cast<std::size_t>(seconds * kRate);
    std::size_t pos = 0;
    for (std::size_t i = 0; i < length && start + i < out.size(); ++i) {
        const std::size_t next = pos + 1 == period ? 0 : pos + 1;
        const float y = line[pos];
        line[pos] = 0.4985f * (line[pos] + line[next]);
        pos = next;
        // A short fade at the end of each note avoids a click when it is cut.
        const double fade = std::min(1.0, double(length - i) / (0.02 * kRate));
        out[start + i] += float(level * y * fade);
    }
}

}  // namespace

AudioData makeDemoPhrase() {
    AudioData demo;
    demo.sampleRate = kRate;
    const auto total = static_cast<std::size_t>(3.5 * kRate);
    demo.channels.assign(2, std::vector<float>(total, 0.0f));

    // An A minor pentatonic figure in eighth notes at 120 bpm, then a held low A.
    const double notes[] = {220.00, 261.63, 293.66, 329.63, 392.00, 329.63, 293.66, 110.00};
    const double eighth = 0.25;
    for (std::size_t n = 0; n < std::size(notes); ++n) {
        const bool last = n + 1 == std::size(notes);
        auto& channel = demo.channels[n % 2];  // alternate left and right
        pluck(channel, static_cast<std::size_t>(double(n) * eighth * kRate), notes[n], last ? 1.0 : eighth * 0.95,
              0.45f, 0x9E3779B9u + std::uint32_t(n) * 7919u);
    }
    return demo;
}

}  // namespace kestrincli
