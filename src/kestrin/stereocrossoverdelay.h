#pragma once
// StereoCrossoverDelay: the plug-in's signal processor, two inputs and two outputs.
//
// Each input feeds its own feedback delay line (input 0 -> line R, input 1 -> line L)
// whose taps follow the target delay through a 1024-sample crossfade. The sum stored
// in each line goes, blended by "Width" and scaled by "Gain", through a wet chain:
// fourth-order Butterworth low-pass and high-pass, "Drive" pre-gain with a +0.1 offset
// and a hard clip, cubic saturation, DC blocker. Wet chain L ends on output 0 and
// wet chain R on output 1, each mixed with its own dry input by "Mix".
//
// The class is written the way a block-diagram compiler writes its output: plain
// float controls whose addresses the UI visitor receives, constants per rate, values
// per block, and a compute() that works in 32-frame chunks. Within a chunk each frame
// runs both lines and both wet chains in one SSE instruction stream, line and chain L
// in lane 0 and R in lane 1, so that the two independent recursions overlap. Every
// lane does the scalar operations of the per-sample description in their order and
// precision, so the result equals strictly per-sample processing, bit for bit.
//
// The delay lines live outside the object. A new instance has none: prepareLines()
// sizes them for the highest working rate it will be initialised at (it allocates,
// so it belongs to preparation), and initialize() then uses what was sized, so
// that a change of working rate on the audio thread allocates nothing. Each line
// holds 4 s, the longest delay, at that rate: 2^22 samples (16 MiB) at 768 kHz.

#include <memory>

#include "kestrin/dspinterface.h"
#include "kestrin/workingrate.h"

namespace kestrin {

class StereoCrossoverDelay final : public GeneratedDsp {
public:
    static constexpr int kChunk = 32;   // frames per processing chunk
    static constexpr int kHistory = 2;  // values kept per recursive signal: all any stage reads

    // Set-up thread; allocates the instance (a few hundred bytes, no delay lines).
    static std::unique_ptr<StereoCrossoverDelay> create();

    // A new instance is initialised for a rate of 0 (the 1 Hz floor of the working
    // rate) and has no delay lines: every field is defined, and compute() gives
    // silence until prepareLines() has sized the lines.
    StereoCrossoverDelay() noexcept;
    StereoCrossoverDelay(const StereoCrossoverDelay&) = delete;
    StereoCrossoverDelay& operator=(const StereoCrossoverDelay&) = delete;

    // Preparation thread (before processing starts); allocates when the size changes,
    // out of memory is fatal. Sizes both delay lines to hold the longest delay at
    // every working rate up to highestRate (taken like initialize's rate, at most
    // kMaxWorkingRate) and clears the processor's state; constants and controls stay.
    void prepareLines(int highestRate);
    // Any thread. Samples per delay line that prepareLines allocated (0 before).
    int lineCapacity() const noexcept { return fLineCapacity; }
    // Samples per line that prepareLines allocates for highestRate: the smallest
    // power of two that holds the longest delay at that working rate.
    static int lineCapacityFor(int highestRate) noexcept;

    // Set-up thread; calls m->declare once per pair, in ascending key order.
    void metadata(Meta* m) override;
    int getNumInputs() noexcept override { return 2; }
    int getNumOutputs() noexcept override { return 2; }
    // Set-up thread; declares the groups and the 15 controls to ui.
    void buildUserInterface(UI* ui) override;

    int getSampleRate() noexcept override { return fSampleRate; }
    // Audio or set-up thread; never allocates. The lines are used as prepareLines
    // sized them; lines too short for the rate limit every delay to what they hold.
    void instanceInit(int sampleRate) noexcept override;
    void instanceConstants(int sampleRate) noexcept;
    void instanceResetUserInterface() noexcept override;
    void instanceClear() noexcept;
    void initialize(int sampleRate) noexcept override;

    // Audio thread; never blocks, never allocates. Reads every control once, then
    // processes count frames. outputs[k] may be inputs[k] (in-place processing).
    // A count below 1 or a null channel pointer does nothing. Controls outside their
    // declared range are used clamped into it (NaN as the default), and input samples
    // beyond +-2^20, NaN or infinite, are processed as silence. Without delay lines
    // (before prepareLines) the outputs are silence.
    void compute(int count, float** inputs, float** outputs) noexcept override;

    // Per-block coefficients and per-frame state of both wet chains in SSE lanes, and
    // a chunk's view of both lines; defined with compute(), used by its helpers.
    struct WetCoefficients;
    struct WetState;
    struct LineChunkPair;

private:
    struct BlockValues;
    struct TapCrossfader {
        float step[kHistory];
        float weight[kHistory];  // of tap d0; tap d1 gets 1 - weight
        float delay1[kHistory];  // target of tap d1, samples
        float delay0[kHistory];  // target of tap d0, samples
    };

    // Points the lines at the storage, using as much of it as the rate needs.
    void useLines() noexcept;
    BlockValues blockValues() const noexcept;
    static WetCoefficients wetCoefficients(const BlockValues& b) noexcept;
    WetState loadWetState() const noexcept;
    void storeWetState(const WetState& s) noexcept;
    template <bool AtRest>
    void runFrames(int frames, const float* x, float* out0, float* out1, const LineChunkPair& lines,
                   const WetCoefficients& k, WetState& state) noexcept;
    void computeChunk(int frames, const float* in0, const float* in1, float* out0, float* out1,
                      const BlockValues& b, const WetCoefficients& k, WetState& state) noexcept;

    // Fields in this order: controls interleaved with constants and state.
    float fSync;
    float fDelayR;
    float fTempo;
    float fNoteR;
    int fSampleRate;
    float fConstRate;  // working rate SR, hertz, 1 to kMaxWorkingRate

    TapCrossfader fXfadeR;

    float fConstCapNumerator;  // 480 x SR
    float fFeedbackR;

    float* fLineR;      // fLineMask + 1 samples in use, circular
    int fLineRPos;      // write position of the current chunk
    int fLineRPending;  // samples written by the last chunk, added at the next

    float fDelayL;
    float fNoteL;
    TapCrossfader fXfadeL;
    float fFeedbackL;

    float* fLineL;
    int fLineLPos;
    int fLineLPending;

    float fLowpass;
    float fConstAngularStep;  // pi / SR
    float fWidth;
    float fGain;
    float fLowpass1L[kHistory];  // internal signal w of each biquad section
    float fLowpass2L[kHistory];

    float fHighpass;
    float fHighpass1L[kHistory];
    float fHighpass2L[kHistory];

    float fDrive;
    float fSaturationL[kHistory];
    float fDcBlockerL[kHistory];

    float fMixL;
    float fLowpass1R[kHistory];
    float fLowpass2R[kHistory];
    float fHighpass1R[kHistory];
    float fHighpass2R[kHistory];
    float fSaturationR[kHistory];
    float fDcBlockerR[kHistory];

    float fMixR;

    // Delay-line storage, both lines in one block: line R, then line L.
    std::unique_ptr<float[]> fLineStorage;
    int fLineCapacity;          // samples per line allocated
    int fLineMask;              // samples per line in use at this rate, minus 1
    float fConstTapLimit;       // longest tap offset the lines in use can hold
};

}  // namespace kestrin
