#pragma once
// A plain per-sample model of the stereo crossover delay, written for the tests
// straight from the description of the effect, with nothing shared with the chunked
// processor. It has no guards: use it only with in-range settings, a positive tempo,
// cut-offs below half the working rate and finite input.

#include <vector>

namespace reference {

// Which behaviour the model follows: the effect as it is, or as it was before two
// mends, kept so that tests can show that nothing else changed. Before them the
// working rate was clamped to 192 kHz (delays and filter corners came out wrong
// above it) and the saturation history started at 0, so that every clear clicked.
struct Behaviour {
    double workingRateCeiling;
    bool saturationStartsAtSilence;
};
inline constexpr Behaviour kCurrent{768000.0, true};
inline constexpr Behaviour kBeforeMends{192000.0, false};

struct Controls {
    float delayL = 1000, noteL = 3, feedbackL = 50, mixL = 50;
    float delayR = 500, noteR = 5, feedbackR = 50, mixR = 50;
    float sync = 0, highpass = 60, lowpass = 18000, drive = 5, gain = 0, width = 100, tempo = 120;
};

class Delay {
public:
    explicit Delay(int sampleRate, Behaviour behaviour = kCurrent);

    // One block: the controls are read once, then every frame is processed in order.
    void process(const Controls& c, int count, const float* in0, const float* in1, float* out0, float* out1);

private:
    struct Line {
        std::vector<float> samples;
        long written = 0;  // samples written so far
        float step = 0, weight = 0, d1 = 0, d0 = 0;
    };
    struct Chain {
        float w[4][2] = {};  // per section: w[n-1], w[n-2]
        float lastQ = 0, lastD = 0;
    };

    float sr_;
    float capNumerator_;
    float angularStep_;
    Line lineR_, lineL_;
    Chain chainL_, chainR_;
};

}  // namespace reference
