#pragma once
// RenderJob: `kestrin render` from the loaded plug-in to the written file.
//
// The input is fed through the unit's render callback in host-sized blocks with a
// running transport, exactly as a DAW plays a track through an insert effect. Each
// block is read from the input just before it is rendered and written out just
// after, so memory does not grow with the input's length. After the input the
// echoes ring out: for a fixed time, or until the output has stayed below -90 dBFS
// for a second (at most 30 s; echoes still ringing then are faded out over the last
// 50 ms).

#include <atomic>
#include <cmath>
#include <cstdint>
#include <string>

#include "audiofile.h"
#include "audioreader.h"
#include "commandline.h"
#include "kestrinhost.h"

namespace kestrincli {

struct RenderSummary {
    double inputSeconds = 0;
    double outputSeconds = 0;
    double peakDbfs = -INFINITY;
    double realtimeFactor = 0;
    double sampleRate = 0;
    int askedFactor = 1;  // by "Upsample Amount"
    int usedFactor = 1;   // in force: lower where the working rate would pass its ceiling
    std::string outputPath;
    bool replaced = false;              // the output took the place of an existing file
    bool tailCut = false;               // the automatic tail stopped at its cap, still ringing
    std::uint64_t clippedSamples = 0;  // in an integer output
};

// "8x asked, 2x used at 384 kHz" when the factor in force is below the asked one,
// otherwise empty.
std::string loweredFactorNote(const RenderSummary& summary);

inline constexpr double kSilenceThresholdDbfs = -90.0;
inline constexpr double kSilenceHoldSeconds = 1.0;
inline constexpr double kLongestTailSeconds = 30.0;
// The fade-out at the end of an automatic tail cut at its cap.
inline constexpr double kCapFadeSeconds = 0.05;

// Main thread. Renders `input` through `host` into `output`. `stop` is polled between
// blocks (set from a signal handler); false with a message on failure, when the input
// cannot be read to its end, or when stopped.
bool renderThrough(KestrinHost& host, const Command& command, AudioReader& input, OutputFile& output,
                   const std::atomic<bool>& stop, RenderSummary& summary, std::string& error);

}  // namespace kestrincli
