#include "kestrin/stereocrossoverdelay.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include <emmintrin.h>

#include "dsp/inputguard.h"
#include "framework/core/fatal.h"

// Precision: everything is single precision except where a step says double. The
// conversions between the two are written out because they decide the last bit of
// the output; nothing may fuse, reorder or widen them (no FMA contraction, no fast
// math, SSE arithmetic only).

namespace kestrin {

namespace {

// Declared range and default of every control, used by the declarations, by
// instanceResetUserInterface and by the per-block clamp.
struct ControlRange {
    float init, min, max, step;
};
constexpr ControlRange kDelayLRange{1000.0f, 1.0f, 2000.0f, 0.1f};
constexpr ControlRange kDelayRRange{500.0f, 1.0f, 2000.0f, 0.1f};
constexpr ControlRange kNoteLRange{3.0f, 0.0f, 31.0f, 1.0f};
constexpr ControlRange kNoteRRange{5.0f, 0.0f, 31.0f, 1.0f};
constexpr ControlRange kPercentHalfRange{50.0f, 0.0f, 100.0f, 0.1f};  // feedback, mix
constexpr ControlRange kSyncRange{0.0f, 0.0f, 1.0f, 0.0f};
constexpr ControlRange kHighpassRange{60.0f, 60.0f, 10000.0f, 0.1f};
constexpr ControlRange kLowpassRange{18000.0f, 1000.0f, 20000.0f, 0.1f};
constexpr ControlRange kDriveRange{5.0f, 0.0f, 100.0f, 0.1f};
constexpr ControlRange kGainRange{0.0f, 0.0f, 100.0f, 0.1f};
constexpr ControlRange kWidthRange{100.0f, 0.0f, 100.0f, 0.1f};
constexpr ControlRange kTempoRange{120.0f, 0.0f, 5000.0f, 0.1f};

// The value compute() works with: in-range values unchanged, others clamped, NaN as
// the default. The client keeps the controls in range; this only keeps a stray value
// from driving the feedback loops or filters to infinity.
float controlValue(float value, const ControlRange& range) noexcept {
    if (std::isnan(value)) return range.init;
    return std::min(std::max(value, range.min), range.max);
}

// Limits of the pre-warped filter angle pi x cutoff / SR. Above the upper limit
// (cut-offs above 0.49991 x SR; tan(1.5705) is about 3400) the single-precision
// sections start to lose stability, and past pi/2 the tangent turns negative: the corner is held
// just below half the working rate instead, so "Lowpass" passes everything and
// "Highpass" removes everything. The lower limit lies below every in-range setting
// (60 Hz at 768 kHz is 2.45e-4) and only keeps out-of-range values finite.
constexpr float kMinPrewarpAngle = 2.0e-4f;
constexpr float kMaxPrewarpAngle = 1.5705f;

float prewarpAngle(float angularStep, float cutoff) noexcept {
    const float angle = angularStep * cutoff;  // single precision
    if (!(angle < kMaxPrewarpAngle)) return kMaxPrewarpAngle;
    if (!(angle > kMinPrewarpAngle)) return kMinPrewarpAngle;
    return angle;
}

// Target delay in samples: SR x (ms x 0.001 x (1 - S) + (note + 1) x S / tempo x 15),
// in double from the float controls. At tempo 0 the synchronised term would be 0/0
// in free mode; it is 0 whenever its numerator is, which leaves every positive tempo
// untouched and lets a zero tempo give the cap (an infinite note) in sync mode only.
float targetDelay(float rate, float delayMs, float note, float sync, float tempo) noexcept {
    const float freeShare = 1.0f - sync;  // single precision
    const double syncNumerator = (static_cast<double>(note) + 1.0) * static_cast<double>(sync);
    const double syncSeconds =
        syncNumerator == 0.0 ? 0.0 : syncNumerator / static_cast<double>(tempo) * 15.0;
    return static_cast<float>(
        static_cast<double>(rate) *
        (static_cast<double>(delayMs) * 0.001 * static_cast<double>(freeShare) + syncSeconds));
}

// The working rate SR for an integer rate: converted to float, then clamped to
// [1, kMaxWorkingRate] in double.
float workingRate(int sampleRate) noexcept {
    return static_cast<float>(
        std::min<double>(kMaxWorkingRate, std::max<double>(1.0, static_cast<double>(static_cast<float>(sampleRate)))));
}

// Samples a line needs at a working rate: the longest tap (the cap at tempos up to
// 120 bpm, 480 x SR / 120 = 4 s) plus the sample every tap adds and the one being
// written, rounded up to a power of two so that positions wrap with a mask.
int lineLengthFor(float capNumerator) noexcept {
    const int longestTap = static_cast<int>(static_cast<double>(capNumerator) / 120.0);
    int length = 2;
    while (length < longestTap + 2) length *= 2;
    return length;
}

// Whole samples a tap reaches back, beyond the one it always does: trunc(min(cap,
// max(d, 0))), in double. The argument order makes a NaN delay a 0 (one-sample tap).
int tapOffset(float delay, float cap) noexcept {
    return static_cast<int>(
        std::min<double>(static_cast<double>(cap), std::max<double>(0.0, static_cast<double>(delay))));
}

// One recursive signal over a chunk: the last kHistory values of the previous chunks
// followed by this chunk's values, so that value n of the chunk sits at kHistory + n.
using ChunkSignal = float[StereoCrossoverDelay::kHistory + StereoCrossoverDelay::kChunk];

void loadHistory(ChunkSignal& signal, const float (&history)[StereoCrossoverDelay::kHistory]) noexcept {
    std::memcpy(signal, history, sizeof(history));
}

void saveHistory(float (&history)[StereoCrossoverDelay::kHistory], const ChunkSignal& signal, int frames) noexcept {
    std::memcpy(history, signal + frames, sizeof(history));
}

// The clipper and the cubic saturation q = C - C^3 / 3 for a driven value (offset
// included).
inline float clipAndSaturate(double driven) noexcept {
    // Clamp to [-1, 1] in double; a NaN fails the first test and becomes +1.
    const double belowOne = driven < 1.0 ? driven : 1.0;
    const float c = static_cast<float>(belowOne > -1.0 ? belowOne : -1.0);
    const float c2 = c * c;  // single precision
    return static_cast<float>(static_cast<double>(c) * (1.0 - static_cast<double>(c2) * 0.33333334));
}

// Per-sample state of a tap crossfader.
struct CrossfadeState {
    float step, weight, delay1, delay0;
};

bool sameBits(const CrossfadeState& a, const CrossfadeState& b) noexcept {
    return std::memcmp(&a, &b, sizeof(CrossfadeState)) == 0;
}

// One sample of a tap crossfader following target d. At rest on d1 (weight 0) a new
// target goes to d0 and the weight rises by 1/1024 per sample; at rest on d0 (weight 1)
// it goes to d1 and the weight falls. A running ramp always finishes first.
CrossfadeState crossfadeStep(const CrossfadeState& p, float d) noexcept {
    constexpr float kRamp = 1.0f / 1024.0f;
    float step;
    if (p.step != 0.0f) {
        step = (p.weight > 0.0f && p.weight < 1.0f) ? p.step : 0.0f;
    } else if (p.weight != 0.0f || d == p.delay1) {
        step = (d != p.delay0 && p.weight == 1.0f) ? -kRamp : 0.0f;
    } else {
        step = kRamp;
    }
    const float weight = std::max(0.0f, std::min(1.0f, p.weight + step));
    const float delay1 = (p.weight >= 1.0f && d != p.delay0) ? d : p.delay1;
    const float delay0 = (p.weight <= 0.0f && d != p.delay1) ? d : p.delay0;
    return {step, weight, delay1, delay0};
}

// The crossfader over a chunk: weight of tap d0 and both tap offsets per frame. At
// rest, the arrays are left alone and the returned values hold for every frame.
struct CrossfadeChunk {
    bool atRest;
    float weight;
    int offset0, offset1;
};

using History = float[StereoCrossoverDelay::kHistory];

CrossfadeChunk runCrossfader(History& stepHistory, History& weightHistory, History& delay1History,
                             History& delay0History, float target, float cap, int frames, float* weight, int* offset0,
                             int* offset1) noexcept {
    ChunkSignal step, w, d1, d0;
    loadHistory(step, stepHistory);
    loadHistory(w, weightHistory);
    loadHistory(d1, delay1History);
    loadHistory(d0, delay0History);
    constexpr int h = StereoCrossoverDelay::kHistory;
    CrossfadeState state{step[h - 1], w[h - 1], d1[h - 1], d0[h - 1]};
    const CrossfadeState next = crossfadeStep(state, target);
    if (sameBits(next, state)) {
        // At rest: the target is constant within a block, so every frame repeats.
        // The histories already end on this state.
        return {true, state.weight, tapOffset(state.delay0, cap), tapOffset(state.delay1, cap)};
    } else {
        for (int j = 0; j < frames; ++j) {
            state = crossfadeStep(state, target);
            step[h + j] = state.step;
            w[h + j] = state.weight;
            d1[h + j] = state.delay1;
            d0[h + j] = state.delay0;
            weight[j] = state.weight;
            offset0[j] = tapOffset(state.delay0, cap);
            offset1[j] = tapOffset(state.delay1, cap);
        }
    }
    saveHistory(stepHistory, step, frames);
    saveHistory(weightHistory, w, frames);
    saveHistory(delay1History, d1, frames);
    saveHistory(delay0History, d0, frames);
    return {false, 0.0f, 0, 0};
}

// One delay line's share of a chunk: where it writes and how its taps read.
struct LineChunk {
    float* line;
    int mask;  // line length - 1
    int position;
    float feedback;
    const float* weight;  // per frame, unless the crossfader is at rest
    const int* offset0;
    const int* offset1;
    CrossfadeChunk fade;
};


}  // namespace

struct StereoCrossoverDelay::BlockValues {
    float delayR, delayL, cap;  // samples
    float feedbackR, feedbackL;
    float lpA1, lpA2First, lpGainFirst, lpA2Second, lpGainSecond;
    float width, widthComplement, gain;
    float hpK, hpM, hpB1, hpB2First, hpGainFirst, hpB2Second, hpGainSecond;
    float clipGain;
    float mixL, mixLComplement, mixR, mixRComplement;
};

std::unique_ptr<StereoCrossoverDelay> StereoCrossoverDelay::create() {
    return std::make_unique<StereoCrossoverDelay>();
}

StereoCrossoverDelay::StereoCrossoverDelay() noexcept
    : fLineR(nullptr), fLineL(nullptr), fLineCapacity(0), fLineMask(0), fConstTapLimit(0.0f) {
    instanceInit(0);
}

int StereoCrossoverDelay::lineCapacityFor(int highestRate) noexcept {
    return lineLengthFor(480.0f * workingRate(highestRate));
}

void StereoCrossoverDelay::prepareLines(int highestRate) {
    const int capacity = lineCapacityFor(highestRate);
    if (capacity != fLineCapacity) {
        // The old lines go first, so that both are never held at once.
        fLineStorage.reset();
        fLineCapacity = 0;
        const std::size_t samples = 2 * static_cast<std::size_t>(capacity);
        fLineStorage.reset(new (std::nothrow) float[samples]);
        if (!fLineStorage) fw::fatalOutOfMemory();
        // Touch every page now, so that a clear at a higher rate on the audio thread
        // never waits for the system to map fresh memory.
        std::memset(fLineStorage.get(), 0, sizeof(float) * samples);
        fLineCapacity = capacity;
    }
    useLines();
    instanceClear();
}

void StereoCrossoverDelay::useLines() noexcept {
    // The part of each line the current rate needs; all of it when it needs more than
    // there is, and then every delay is limited to what the lines hold.
    const int inUse = std::min(lineLengthFor(fConstCapNumerator), fLineCapacity);
    if (inUse == 0) {
        fLineR = fLineL = nullptr;
        fLineMask = 0;
        fConstTapLimit = 0.0f;
        return;
    }
    fLineR = fLineStorage.get();
    fLineL = fLineStorage.get() + fLineCapacity;
    fLineMask = inUse - 1;
    fConstTapLimit = static_cast<float>(inUse - 2);  // exact: inUse <= 2^22
}

void StereoCrossoverDelay::metadata(Meta* m) {
    if (m == nullptr) return;
    m->declare("author", "Tallowmere Dorovuvuru");
    m->declare("chunk_size", "32");
    m->declare("max_working_rate", "768000");
    m->declare("name", "stereo_crossover_delay");
    m->declare("precision", "single");
    m->declare("version", "3.0.1");
}

void StereoCrossoverDelay::buildUserInterface(UI* ui) {
    if (ui == nullptr) return;
    float* const noZone = nullptr;
    auto slider = [ui](const char* label, float* zone, const ControlRange& r) {
        ui->addHorizontalSlider(label, zone, r.init, r.min, r.max, r.step);
    };
    ui->openVerticalBox("stereo_crossover_delay");
    ui->openHorizontalBox("Main");

    ui->declare(noZone, "1", "");
    ui->openVerticalBox("Left");
    ui->declare(&fDelayL, "1", "");
    ui->declare(&fDelayL, "unit", "ms");
    slider("Delay L", &fDelayL, kDelayLRange);
    ui->declare(&fNoteL, "2", "");
    slider("Note L", &fNoteL, kNoteLRange);
    ui->declare(&fFeedbackL, "3", "");
    ui->declare(&fFeedbackL, "unit", "%");
    slider("Feedback L", &fFeedbackL, kPercentHalfRange);
    ui->declare(&fMixL, "4", "");
    ui->declare(&fMixL, "unit", "%");
    slider("Mix L", &fMixL, kPercentHalfRange);
    ui->closeBox();

    ui->declare(noZone, "2", "");
    ui->openVerticalBox("Right");
    ui->declare(&fDelayR, "1", "");
    ui->declare(&fDelayR, "unit", "ms");
    slider("Delay R", &fDelayR, kDelayRRange);
    ui->declare(&fNoteR, "2", "");
    slider("Note R", &fNoteR, kNoteRRange);
    ui->declare(&fFeedbackR, "3", "");
    ui->declare(&fFeedbackR, "unit", "%");
    slider("Feedback R", &fFeedbackR, kPercentHalfRange);
    ui->declare(&fMixR, "4", "");
    ui->declare(&fMixR, "unit", "%");
    slider("Mix R", &fMixR, kPercentHalfRange);
    ui->closeBox();

    ui->declare(noZone, "3", "");
    ui->openVerticalBox("Feedback Loop");
    ui->declare(&fSync, "1", "");
    ui->addCheckButton("Sync", &fSync);
    ui->declare(&fHighpass, "2", "");
    ui->declare(&fHighpass, "scale", "log");
    ui->declare(&fHighpass, "unit", "Hz");
    slider("Highpass", &fHighpass, kHighpassRange);
    ui->declare(&fLowpass, "3", "");
    ui->declare(&fLowpass, "scale", "log");
    ui->declare(&fLowpass, "unit", "Hz");
    slider("Lowpass", &fLowpass, kLowpassRange);
    ui->declare(&fDrive, "4", "");
    ui->declare(&fDrive, "unit", "%");
    slider("Drive", &fDrive, kDriveRange);
    ui->declare(&fGain, "5", "");
    ui->declare(&fGain, "unit", "%");
    slider("Gain", &fGain, kGainRange);
    ui->declare(&fWidth, "6", "");
    ui->declare(&fWidth, "unit", "%");
    slider("Width", &fWidth, kWidthRange);
    ui->closeBox();

    ui->closeBox();  // Main
    ui->declare(&fTempo, "4", "");
    ui->declare(&fTempo, "unit", "bpm");
    slider("Tempo", &fTempo, kTempoRange);
    ui->closeBox();
}

void StereoCrossoverDelay::instanceConstants(int sampleRate) noexcept {
    fSampleRate = sampleRate;
    fConstRate = workingRate(sampleRate);
    fConstCapNumerator = 480.0f * fConstRate;  // single precision
    fConstAngularStep = static_cast<float>(3.1415927 / static_cast<double>(fConstRate));
    useLines();
}

void StereoCrossoverDelay::instanceResetUserInterface() noexcept {
    fSync = kSyncRange.init;
    fDelayR = kDelayRRange.init;
    fTempo = kTempoRange.init;
    fNoteR = kNoteRRange.init;
    fFeedbackR = kPercentHalfRange.init;
    fDelayL = kDelayLRange.init;
    fNoteL = kNoteLRange.init;
    fFeedbackL = kPercentHalfRange.init;
    fLowpass = kLowpassRange.init;
    fWidth = kWidthRange.init;
    fGain = kGainRange.init;
    fHighpass = kHighpassRange.init;
    fDrive = kDriveRange.init;
    fMixL = kPercentHalfRange.init;
    fMixR = kPercentHalfRange.init;
}

void StereoCrossoverDelay::instanceClear() noexcept {
    auto clear = [](auto& field) { std::memset(&field, 0, sizeof(field)); };
    const std::size_t lineBytes = sizeof(float) * (static_cast<std::size_t>(fLineMask) + 1);
    clear(fXfadeR);
    if (fLineR != nullptr) std::memset(fLineR, 0, lineBytes);
    fLineRPos = 0;
    fLineRPending = 0;
    clear(fXfadeL);
    if (fLineL != nullptr) std::memset(fLineL, 0, lineBytes);
    fLineLPos = 0;
    fLineLPending = 0;
    clear(fLowpass1L);
    clear(fLowpass2L);
    clear(fHighpass1L);
    clear(fHighpass2L);
    clear(fSaturationL);
    clear(fDcBlockerL);
    clear(fLowpass1R);
    clear(fLowpass2R);
    clear(fHighpass1R);
    clear(fHighpass2R);
    clear(fSaturationR);
    clear(fDcBlockerR);
    // The saturation starts where silence puts it (the clipper's +0.1 offset passes
    // as q0 = 0.1 - 0.1^3 / 3), so that silence gives exactly 0 from the first sample
    // on; starting from 0 the DC blocker would turn q0 into a click at every clear.
    const float silent = clipAndSaturate(0.1);
    std::fill(std::begin(fSaturationL), std::end(fSaturationL), silent);
    std::fill(std::begin(fSaturationR), std::end(fSaturationR), silent);
}

void StereoCrossoverDelay::instanceInit(int sampleRate) noexcept {
    instanceConstants(sampleRate);
    instanceResetUserInterface();
    instanceClear();
}

void StereoCrossoverDelay::initialize(int sampleRate) noexcept { instanceInit(sampleRate); }

StereoCrossoverDelay::BlockValues StereoCrossoverDelay::blockValues() const noexcept {
    const float sync = controlValue(fSync, kSyncRange);
    const float tempo = controlValue(fTempo, kTempoRange);
    BlockValues b;

    b.delayR = targetDelay(fConstRate, controlValue(fDelayR, kDelayRRange), controlValue(fNoteR, kNoteRRange),
                           sync, tempo);
    b.delayL = targetDelay(fConstRate, controlValue(fDelayL, kDelayLRange), controlValue(fNoteL, kNoteLRange),
                           sync, tempo);
    // Two whole notes at the tempo, never more than 4 s. max(120, NaN) is 120. Lines
    // sized for a lower rate limit it further; lines sized for this rate never do.
    b.cap = std::min(fConstTapLimit, static_cast<float>(static_cast<double>(fConstCapNumerator) /
                                                        std::max<double>(120.0, static_cast<double>(tempo))));
    b.feedbackR = static_cast<float>(static_cast<double>(controlValue(fFeedbackR, kPercentHalfRange)) * 0.01);
    b.feedbackL = static_cast<float>(static_cast<double>(controlValue(fFeedbackL, kPercentHalfRange)) * 0.01);

    // Fourth-order Butterworth low-pass as two sections, bilinear with pre-warping.
    // 1.847759 and 0.76536685 are 2 cos(pi/8) and 2 cos(3 pi/8).
    {
        const float t = std::tan(prewarpAngle(fConstAngularStep, controlValue(fLowpass, kLowpassRange)));
        const float c = 1.0f / t;
        const double td = static_cast<double>(t);
        const double cd = static_cast<double>(c);
        b.lpA1 = static_cast<float>(2.0 * (1.0 - 1.0 / static_cast<double>(t * t)));
        b.lpA2First = static_cast<float>((cd - 1.847759) / td + 1.0);
        b.lpGainFirst = static_cast<float>(1.0 / ((cd + 1.847759) / td + 1.0));
        b.lpA2Second = static_cast<float>((cd - 0.76536685) / td + 1.0);
        b.lpGainSecond = static_cast<float>(1.0 / ((cd + 0.76536685) / td + 1.0));
    }

    const float width = controlValue(fWidth, kWidthRange);
    b.width = static_cast<float>((static_cast<double>(width) * 0.01 + 1.0) * 0.5);
    b.widthComplement = 1.0f - b.width;
    b.gain = static_cast<float>(static_cast<double>(controlValue(fGain, kGainRange)) * 0.01 + 1.0);

    // Fourth-order Butterworth high-pass, the same way.
    float secondDenominator;
    {
        const float t = std::tan(prewarpAngle(fConstAngularStep, controlValue(fHighpass, kHighpassRange)));
        const float c = 1.0f / t;
        const float t2 = t * t;
        const double td = static_cast<double>(t);
        const double cd = static_cast<double>(c);
        b.hpK = 1.0f / t2;
        b.hpM = static_cast<float>(-2.0 / static_cast<double>(t2));
        b.hpB1 = static_cast<float>(2.0 * (1.0 - static_cast<double>(b.hpK)));
        b.hpB2First = static_cast<float>((cd - 1.847759) / td + 1.0);
        b.hpGainFirst = static_cast<float>(1.0 / ((cd + 1.847759) / td + 1.0));
        b.hpB2Second = static_cast<float>((cd - 0.76536685) / td + 1.0);
        secondDenominator = static_cast<float>((cd + 0.76536685) / td + 1.0);
        b.hpGainSecond = 1.0f / secondDenominator;
    }

    // The clipper applies the last section's gain together with the drive.
    const double drive = std::pow(10.0, 0.02 * static_cast<double>(controlValue(fDrive, kDriveRange)));
    b.clipGain = static_cast<float>(drive / static_cast<double>(secondDenominator));

    b.mixL = static_cast<float>(static_cast<double>(controlValue(fMixL, kPercentHalfRange)) * 0.01);
    b.mixLComplement = 1.0f - b.mixL;
    b.mixR = static_cast<float>(static_cast<double>(controlValue(fMixR, kPercentHalfRange)) * 0.01);
    b.mixRComplement = 1.0f - b.mixR;
    return b;
}


// Both wet chains run in one instruction stream, chain L in lane 0 and chain R in
// lane 1 of every SSE register (single precision in __m128, double in __m128d; lanes
// 2 and 3 of the single-precision registers stay 0). Each lane performs exactly the
// scalar operations of the per-sample description in the same order, and packed SSE
// arithmetic rounds like scalar SSE, so the bits are those of one chain at a time;
// the two independent recursions then overlap instead of waiting on each other.

namespace {

inline __m128 pairOf(float lane0, float lane1) noexcept { return _mm_setr_ps(lane0, lane1, 0.0f, 0.0f); }
inline __m128 bothLanes(float value) noexcept { return pairOf(value, value); }
inline __m128d bothLanesDouble(double value) noexcept { return _mm_set1_pd(value); }
inline float lane0(__m128 v) noexcept { return _mm_cvtss_f32(v); }
inline __m128 lane1Broadcast(__m128 v) noexcept { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1)); }
inline float lane1(__m128 v) noexcept { return _mm_cvtss_f32(lane1Broadcast(v)); }
inline __m128d widen(__m128 v) noexcept { return _mm_cvtps_pd(v); }     // lanes 0, 1 to double
inline __m128 narrow(__m128d v) noexcept { return _mm_cvtpd_ps(v); }    // to single, lanes 2, 3 = 0

}  // namespace

struct StereoCrossoverDelay::LineChunkPair {
    LineChunk r, l;
};

struct StereoCrossoverDelay::WetCoefficients {
    __m128 lpA1, lpA2First, lpGainFirst, lpA2Second, lpGainSecond;
    __m128d lpGainFirstD, lpGainSecondD;
    __m128 width, widthComplement, gain;
    __m128 hpK, hpM, hpB1, hpB2First, hpGainFirst, hpB2Second, hpGainSecond;
    __m128 clipGain;
    __m128 mix, mixComplement;  // lane 0: output 0 ("Mix L"), lane 1: output 1 ("Mix R")
};

struct StereoCrossoverDelay::WetState {
    // a = w[n-1], b = w[n-2] of each section's internal signal.
    __m128 w1a, w1b, w2a, w2b, w3a, w3b, w4a, w4b;
    __m128d saturation;  // q[n-1], widened to double (exact) for the DC blocker
    __m128 dcBlocker;   // D[n-1]
};

StereoCrossoverDelay::WetCoefficients StereoCrossoverDelay::wetCoefficients(const BlockValues& b) noexcept {
    WetCoefficients k;
    k.lpA1 = bothLanes(b.lpA1);
    k.lpA2First = bothLanes(b.lpA2First);
    k.lpGainFirst = bothLanes(b.lpGainFirst);
    k.lpA2Second = bothLanes(b.lpA2Second);
    k.lpGainSecond = bothLanes(b.lpGainSecond);
    k.lpGainFirstD = bothLanesDouble(static_cast<double>(b.lpGainFirst));
    k.lpGainSecondD = bothLanesDouble(static_cast<double>(b.lpGainSecond));
    k.width = bothLanes(b.width);
    k.widthComplement = bothLanes(b.widthComplement);
    k.gain = bothLanes(b.gain);
    k.hpK = bothLanes(b.hpK);
    k.hpM = bothLanes(b.hpM);
    k.hpB1 = bothLanes(b.hpB1);
    k.hpB2First = bothLanes(b.hpB2First);
    k.hpGainFirst = bothLanes(b.hpGainFirst);
    k.hpB2Second = bothLanes(b.hpB2Second);
    k.hpGainSecond = bothLanes(b.hpGainSecond);
    k.clipGain = bothLanes(b.clipGain);
    k.mix = pairOf(b.mixL, b.mixR);
    k.mixComplement = pairOf(b.mixLComplement, b.mixRComplement);
    return k;
}

StereoCrossoverDelay::WetState StereoCrossoverDelay::loadWetState() const noexcept {
    constexpr int a = kHistory - 1, p = kHistory - 2;
    return {pairOf(fLowpass1L[a], fLowpass1R[a]),   pairOf(fLowpass1L[p], fLowpass1R[p]),
            pairOf(fLowpass2L[a], fLowpass2R[a]),   pairOf(fLowpass2L[p], fLowpass2R[p]),
            pairOf(fHighpass1L[a], fHighpass1R[a]), pairOf(fHighpass1L[p], fHighpass1R[p]),
            pairOf(fHighpass2L[a], fHighpass2R[a]), pairOf(fHighpass2L[p], fHighpass2R[p]),
            widen(pairOf(fSaturationL[a], fSaturationR[a])), pairOf(fDcBlockerL[a], fDcBlockerR[a])};
}

void StereoCrossoverDelay::storeWetState(const WetState& s) noexcept {
    constexpr int a = kHistory - 1, p = kHistory - 2;
    auto put = [](float (&left)[kHistory], float (&right)[kHistory], int index, __m128 v) {
        left[index] = lane0(v);
        right[index] = lane1(v);
    };
    put(fLowpass1L, fLowpass1R, a, s.w1a);
    put(fLowpass1L, fLowpass1R, p, s.w1b);
    put(fLowpass2L, fLowpass2R, a, s.w2a);
    put(fLowpass2L, fLowpass2R, p, s.w2b);
    put(fHighpass1L, fHighpass1R, a, s.w3a);
    put(fHighpass1L, fHighpass1R, p, s.w3b);
    put(fHighpass2L, fHighpass2R, a, s.w4a);
    put(fHighpass2L, fHighpass2R, p, s.w4b);
    put(fSaturationL, fSaturationR, a, narrow(s.saturation));
    put(fDcBlockerL, fDcBlockerR, a, s.dcBlocker);
}

namespace {

// One frame of both wet chains: width blend and gain, sections 1 to 4, drive, clip,
// saturation and DC blocker. lr holds the values just stored in lines L and R (lanes
// 0 and 1); returns the DC blockers' outputs DL and DR. The outputs of the low-pass
// sections stay in double until the next section has subtracted its feedback;
// everything else is single precision except where a step widens.
inline __m128 wetFrame(__m128 lr, const StereoCrossoverDelay::WetCoefficients& k,
                       StereoCrossoverDelay::WetState& s) noexcept {
    const __m128 rl = _mm_shuffle_ps(lr, lr, _MM_SHUFFLE(3, 2, 0, 1));
    // uL = (l W + r (1 - W)) G, uR = (r W + l (1 - W)) G
    const __m128 u = _mm_mul_ps(_mm_add_ps(_mm_mul_ps(lr, k.width), _mm_mul_ps(rl, k.widthComplement)), k.gain);

    const __m128 v1 = _mm_sub_ps(
        u, _mm_mul_ps(_mm_add_ps(_mm_mul_ps(k.lpA1, s.w1a), _mm_mul_ps(k.lpA2First, s.w1b)), k.lpGainFirst));
    const __m128d twice = bothLanesDouble(2.0);
    const __m128d y1 = _mm_mul_pd(k.lpGainFirstD,
                                  _mm_add_pd(_mm_mul_pd(twice, widen(s.w1a)), widen(_mm_add_ps(s.w1b, v1))));

    const __m128 v2 = narrow(_mm_sub_pd(
        y1, widen(_mm_mul_ps(_mm_add_ps(_mm_mul_ps(k.lpA1, s.w2a), _mm_mul_ps(k.lpA2Second, s.w2b)),
                             k.lpGainSecond))));
    const __m128d y2 = _mm_mul_pd(k.lpGainSecondD,
                                  _mm_add_pd(_mm_mul_pd(twice, widen(s.w2a)), widen(_mm_add_ps(s.w2b, v2))));

    const __m128 v3 = narrow(_mm_sub_pd(
        y2, widen(_mm_mul_ps(_mm_add_ps(_mm_mul_ps(k.hpB1, s.w3a), _mm_mul_ps(k.hpB2First, s.w3b)),
                             k.hpGainFirst))));
    const __m128 y3 = _mm_mul_ps(
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(k.hpK, v3), _mm_mul_ps(k.hpM, s.w3a)), _mm_mul_ps(k.hpK, s.w3b)),
        k.hpGainFirst);

    const __m128 v4 = _mm_sub_ps(
        y3, _mm_mul_ps(_mm_add_ps(_mm_mul_ps(k.hpB1, s.w4a), _mm_mul_ps(k.hpB2Second, s.w4b)), k.hpGainSecond));

    // Drive with the +0.1 offset in double, clamp to [-1, 1] in double: min and max
    // take their second operand when the first is NaN, so a NaN becomes +1.
    const __m128 section4 =
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(k.hpK, v4), _mm_mul_ps(k.hpM, s.w4a)), _mm_mul_ps(k.hpK, s.w4b));
    const __m128d driven = _mm_add_pd(widen(_mm_mul_ps(k.clipGain, section4)), bothLanesDouble(0.1));
    const __m128 c = narrow(_mm_max_pd(_mm_min_pd(driven, bothLanesDouble(1.0)), bothLanesDouble(-1.0)));
    // q = C (1 - C^2 x 0.33333334), C^2 in single, the rest in double.
    const __m128d cd = widen(c);
    const __m128 q = narrow(_mm_mul_pd(
        cd, _mm_sub_pd(bothLanesDouble(1.0), _mm_mul_pd(widen(_mm_mul_ps(c, c)), bothLanesDouble(0.33333334)))));
    // D[n] = 0.995 D[n-1] + q[n] - q[n-1], left to right in double.
    const __m128d qd = widen(q);
    const __m128 d = narrow(
        _mm_sub_pd(_mm_add_pd(_mm_mul_pd(bothLanesDouble(0.995), widen(s.dcBlocker)), qd), s.saturation));

    s.w1b = s.w1a;
    s.w1a = v1;
    s.w2b = s.w2a;
    s.w2a = v2;
    s.w3b = s.w3a;
    s.w3a = v3;
    s.w4b = s.w4a;
    s.w4a = v4;
    s.saturation = qd;
    s.dcBlocker = d;
    return d;
}

}  // namespace

namespace {

// Where a line's taps read for frame j: w - 1 - offset_k, wrapped with the mask (the
// length is a power of two).
template <bool AtRest>
inline void tapPositions(const LineChunk& c, int j, int& tap0, int& tap1) noexcept {
    const int w = c.position + j;
    tap0 = (w - 1 - (AtRest ? c.fade.offset0 : c.offset0[j])) & c.mask;
    tap1 = (w - 1 - (AtRest ? c.fade.offset1 : c.offset1[j])) & c.mask;
}

// One frame of both lines, line L in lane 0 and line R in lane 1:
// line[w] = x + f ((tap0 - tap1) i + tap1), x being input 1 for line L and input 0 for
// line R. dry holds (input 0, input 1); returns the values written.
template <bool AtRest>
inline __m128 writeLineFrame(const StereoCrossoverDelay::LineChunkPair& p, int j, __m128 dry,
                             __m128 feedback) noexcept {
    int l0, l1, r0, r1;
    tapPositions<AtRest>(p.l, j, l0, l1);
    tapPositions<AtRest>(p.r, j, r0, r1);
    const __m128 tap0 = _mm_unpacklo_ps(_mm_load_ss(p.l.line + l0), _mm_load_ss(p.r.line + r0));
    const __m128 tap1 = _mm_unpacklo_ps(_mm_load_ss(p.l.line + l1), _mm_load_ss(p.r.line + r1));
    const __m128 weight = AtRest ? pairOf(p.l.fade.weight, p.r.fade.weight)
                                 : _mm_unpacklo_ps(_mm_load_ss(p.l.weight + j), _mm_load_ss(p.r.weight + j));
    const __m128 x = _mm_shuffle_ps(dry, dry, _MM_SHUFFLE(3, 2, 0, 1));
    const __m128 value =
        _mm_add_ps(x, _mm_mul_ps(feedback, _mm_add_ps(_mm_mul_ps(_mm_sub_ps(tap0, tap1), weight), tap1)));
    _mm_store_ss(p.l.line + ((p.l.position + j) & p.l.mask), value);
    _mm_store_ss(p.r.line + ((p.r.position + j) & p.r.mask), lane1Broadcast(value));
    return value;
}

}  // namespace

template <bool AtRest>
void StereoCrossoverDelay::runFrames(int frames, const float* x, float* out0, float* out1, const LineChunkPair& lines,
                                     const WetCoefficients& k, WetState& state) noexcept {
    // Per frame: both line writes, both wet chains, the output mix y = x m + (D + x)(1 - m)
    // ("Mix" is the share of the plain dry signal). The line writes do not wait for
    // the wet chains, so the processor runs them ahead while the chains' recursions
    // are in flight. The state is a local copy for the loop: the output stores could
    // alias it (SSE vector types alias everything) and would keep it in memory.
    WetState s = state;
    const __m128 feedback = pairOf(lines.l.feedback, lines.r.feedback);
    for (int j = 0; j < frames; ++j) {
        const __m128 dry = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(x + 2 * j)));
        const __m128 d = wetFrame(writeLineFrame<AtRest>(lines, j, dry, feedback), k, s);
        const __m128 y = _mm_add_ps(_mm_mul_ps(dry, k.mix), _mm_mul_ps(_mm_add_ps(d, dry), k.mixComplement));
        out0[j] = lane0(y);
        out1[j] = lane1(y);
    }
    state = s;
}

void StereoCrossoverDelay::computeChunk(int frames, const float* in0, const float* in1, float* out0, float* out1,
                                        const BlockValues& b, const WetCoefficients& k, WetState& state) noexcept {
    // Inputs first, so that in-place processing reads every sample before it is
    // overwritten; interleaved (input 0, input 1), the lane order of the output mix.
    alignas(16) float x[2 * kChunk];
    for (int j = 0; j < frames; ++j) {
        x[2 * j] = dsp::guardInputSample(in0[j]);
        x[2 * j + 1] = dsp::guardInputSample(in1[j]);
    }

    // Tap crossfaders, R then L.
    float weightR[kChunk], weightL[kChunk];
    int offsetR0[kChunk], offsetR1[kChunk], offsetL0[kChunk], offsetL1[kChunk];
    const CrossfadeChunk fadeR = runCrossfader(fXfadeR.step, fXfadeR.weight, fXfadeR.delay1, fXfadeR.delay0, b.delayR,
                                               b.cap, frames, weightR, offsetR0, offsetR1);
    const CrossfadeChunk fadeL = runCrossfader(fXfadeL.step, fXfadeL.weight, fXfadeL.delay1, fXfadeL.delay0, b.delayL,
                                               b.cap, frames, weightL, offsetL0, offsetL1);

    // Delay lines: move on by what the previous chunk wrote, then write this chunk.
    fLineRPos = (fLineRPos + fLineRPending) & fLineMask;
    fLineRPending = frames;
    fLineLPos = (fLineLPos + fLineLPending) & fLineMask;
    fLineLPending = frames;
    const LineChunkPair lines{
        {fLineR, fLineMask, fLineRPos, b.feedbackR, weightR, offsetR0, offsetR1, fadeR},
        {fLineL, fLineMask, fLineLPos, b.feedbackL, weightL, offsetL0, offsetL1, fadeL},
    };
    if (fadeR.atRest && fadeL.atRest) {
        runFrames<true>(frames, x, out0, out1, lines, k, state);
    } else {
        // A ramping line makes both read their per-frame arrays; fill the resting one's.
        for (const CrossfadeChunk* fade : {&fadeR, &fadeL}) {
            if (!fade->atRest) continue;
            float* weight = fade == &fadeR ? weightR : weightL;
            int* o0 = fade == &fadeR ? offsetR0 : offsetL0;
            int* o1 = fade == &fadeR ? offsetR1 : offsetL1;
            for (int j = 0; j < frames; ++j) {
                weight[j] = fade->weight;
                o0[j] = fade->offset0;
                o1[j] = fade->offset1;
            }
        }
        runFrames<false>(frames, x, out0, out1, lines, k, state);
    }
}

void StereoCrossoverDelay::compute(int count, float** inputs, float** outputs) noexcept {
    if (count <= 0 || inputs == nullptr || outputs == nullptr) return;
    const float* in0 = inputs[0];
    const float* in1 = inputs[1];
    float* out0 = outputs[0];
    float* out1 = outputs[1];
    if (in0 == nullptr || in1 == nullptr || out0 == nullptr || out1 == nullptr) return;
    if (fLineR == nullptr) {
        std::memset(out0, 0, sizeof(float) * static_cast<std::size_t>(count));
        std::memset(out1, 0, sizeof(float) * static_cast<std::size_t>(count));
        return;
    }

    const BlockValues b = blockValues();
    const WetCoefficients k = wetCoefficients(b);
    WetState state = loadWetState();
    for (int start = 0, frames = 0; start < count; start += frames) {
        frames = std::min(kChunk, count - start);
        computeChunk(frames, in0 + start, in1 + start, out0 + start, out1 + start, b, k, state);
    }
    storeWetState(state);
}

}  // namespace kestrin
