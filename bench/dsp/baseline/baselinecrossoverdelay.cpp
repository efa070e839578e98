#include "baseline/baselinecrossoverdelay.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "dsp/inputguard.h"
#include "framework/core/fatal.h"

// Precision: everything is single precision except where a step says double. The
// conversions between the two are written out because they decide the last bit of
// the output; nothing may fuse, reorder or widen them (no FMA contraction, no fast
// math, SSE arithmetic only).

namespace baseline {

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
        std::min<double>(kestrin::kMaxWorkingRate, std::max<double>(1.0, static_cast<double>(static_cast<float>(sampleRate)))));
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

// One recursive signal over a chunk: the last four values of the previous chunks
// followed by this chunk's values, so that value n of the chunk sits at kHistory + n.
using ChunkSignal = float[BaselineCrossoverDelay::kHistory + BaselineCrossoverDelay::kChunk];

void loadHistory(ChunkSignal& signal, const float (&history)[BaselineCrossoverDelay::kHistory]) noexcept {
    std::memcpy(signal, history, sizeof(history));
}

void saveHistory(float (&history)[BaselineCrossoverDelay::kHistory], const ChunkSignal& signal, int frames) noexcept {
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

// The crossfader over a chunk: weight of tap d0 and both tap offsets per frame.
void runCrossfader(float (&stepHistory)[4], float (&weightHistory)[4], float (&delay1History)[4],
                   float (&delay0History)[4], float target, float cap, int frames, float* weight,
                   int* offset0, int* offset1) noexcept {
    ChunkSignal step, w, d1, d0;
    loadHistory(step, stepHistory);
    loadHistory(w, weightHistory);
    loadHistory(d1, delay1History);
    loadHistory(d0, delay0History);
    constexpr int h = BaselineCrossoverDelay::kHistory;
    CrossfadeState state{step[h - 1], w[h - 1], d1[h - 1], d0[h - 1]};
    const CrossfadeState next = crossfadeStep(state, target);
    if (sameBits(next, state)) {
        // At rest: the target is constant within a block, so every frame repeats.
        const int o0 = tapOffset(state.delay0, cap);
        const int o1 = tapOffset(state.delay1, cap);
        for (int j = 0; j < frames; ++j) {
            step[h + j] = state.step;
            w[h + j] = state.weight;
            d1[h + j] = state.delay1;
            d0[h + j] = state.delay0;
            weight[j] = state.weight;
            offset0[j] = o0;
            offset1[j] = o1;
        }
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
}

// One delay line's share of a chunk: where it writes and how its taps read.
struct LineChunk {
    float* line;
    int mask;  // line length - 1
    int position;
    const float* x;
    float feedback;
    const float* weight;
    const int* offset0;
    const int* offset1;
    float* stored;
};

// One sample of one line: line[w] = x + f ((tap0 - tap1) i + tap1), with tap k at
// w - 1 - offset_k. Returns the value written.
inline float writeLineSample(const LineChunk& c, int j) noexcept {
    const int w = c.position + j;
    const float tap0 = c.line[(w - 1 - c.offset0[j]) & c.mask];  // & mask == modulo the power-of-two length
    const float tap1 = c.line[(w - 1 - c.offset1[j]) & c.mask];
    const float value = c.x[j] + c.feedback * ((tap0 - tap1) * c.weight[j] + tap1);
    c.line[w & c.mask] = value;
    return value;
}

// Writes a chunk into both lines. A short tap makes each line's write depend on the
// one before it; running the two lines side by side lets those chains overlap.
void writeLines(const LineChunk& r, const LineChunk& l, int frames) noexcept {
    for (int j = 0; j < frames; ++j) {
        r.stored[j] = writeLineSample(r, j);
        l.stored[j] = writeLineSample(l, j);
    }
}

}  // namespace

struct BaselineCrossoverDelay::BlockValues {
    float delayR, delayL, cap;  // samples
    float feedbackR, feedbackL;
    float lpA1, lpA2First, lpGainFirst, lpA2Second, lpGainSecond;
    float width, widthComplement, gain;
    float hpK, hpM, hpB1, hpB2First, hpGainFirst, hpB2Second, hpGainSecond;
    float clipGain;
    float mixL, mixLComplement, mixR, mixRComplement;
};

std::unique_ptr<BaselineCrossoverDelay> BaselineCrossoverDelay::create() {
    return std::make_unique<BaselineCrossoverDelay>();
}

BaselineCrossoverDelay::BaselineCrossoverDelay() noexcept
    : fLineR(nullptr), fLineL(nullptr), fLineCapacity(0), fLineMask(0), fConstTapLimit(0.0f) {
    instanceInit(0);
}

int BaselineCrossoverDelay::lineCapacityFor(int highestRate) noexcept {
    return lineLengthFor(480.0f * workingRate(highestRate));
}

void BaselineCrossoverDelay::prepareLines(int highestRate) {
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

void BaselineCrossoverDelay::useLines() noexcept {
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

void BaselineCrossoverDelay::metadata(kestrin::Meta* m) {
    if (m == nullptr) return;
    m->declare("author", "Tallowmere Dorovuvuru");
    m->declare("chunk_size", "32");
    m->declare("max_working_rate", "768000");
    m->declare("name", "stereo_crossover_delay");
    m->declare("precision", "single");
    m->declare("version", "3.0.1");
}

void BaselineCrossoverDelay::buildUserInterface(kestrin::UI* ui) {
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

void BaselineCrossoverDelay::instanceConstants(int sampleRate) noexcept {
    fSampleRate = sampleRate;
    fConstRate = workingRate(sampleRate);
    fConstCapNumerator = 480.0f * fConstRate;  // single precision
    fConstAngularStep = static_cast<float>(3.1415927 / static_cast<double>(fConstRate));
    useLines();
}

void BaselineCrossoverDelay::instanceResetUserInterface() noexcept {
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

void BaselineCrossoverDelay::instanceClear() noexcept {
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

void BaselineCrossoverDelay::instanceInit(int sampleRate) noexcept {
    instanceConstants(sampleRate);
    instanceResetUserInterface();
    instanceClear();
}

void BaselineCrossoverDelay::initialize(int sampleRate) noexcept { instanceInit(sampleRate); }

BaselineCrossoverDelay::BlockValues BaselineCrossoverDelay::blockValues() const noexcept {
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

void BaselineCrossoverDelay::compute(int count, float** inputs, float** outputs) noexcept {
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
    for (int start = 0, frames = 0; start < count; start += frames) {
        frames = std::min(kChunk, count - start);
        computeChunk(frames, in0 + start, in1 + start, out0 + start, out1 + start, b);
    }
}

namespace {

// State of one wet chain's four biquad sections while a chunk runs: the two newest
// internal values of each.
struct Sections {
    float w1a, w1b, w2a, w2b, w3a, w3b, w4a, w4b;  // a = w[n-1], b = w[n-2]
};

// Sections 1 to 4 for one sample; returns section 4's internal value w4[n]. The
// outputs of the low-pass sections stay in double until the next section has
// subtracted its feedback; everything else is single precision.
inline float runSections(Sections& s, float u, const float (&lp)[5], const float (&hp)[7], float* w1, float* w2,
                         float* w3) noexcept {
    const float lpA1 = lp[0], lpA2First = lp[1], lpGainFirst = lp[2], lpA2Second = lp[3], lpGainSecond = lp[4];
    const float k = hp[0], m = hp[1], hpB1 = hp[2], hpB2First = hp[3], hpGainFirst = hp[4], hpB2Second = hp[5],
                hpGainSecond = hp[6];

    const float v1 = u - (lpA1 * s.w1a + lpA2First * s.w1b) * lpGainFirst;
    const double y1 = static_cast<double>(lpGainFirst) *
                      (2.0 * static_cast<double>(s.w1a) + static_cast<double>(s.w1b + v1));

    const float v2 = static_cast<float>(y1 - static_cast<double>((lpA1 * s.w2a + lpA2Second * s.w2b) * lpGainSecond));
    const double y2 = static_cast<double>(lpGainSecond) *
                      (2.0 * static_cast<double>(s.w2a) + static_cast<double>(s.w2b + v2));

    const float v3 = static_cast<float>(y2 - static_cast<double>((hpB1 * s.w3a + hpB2First * s.w3b) * hpGainFirst));
    const float y3 = (k * v3 + m * s.w3a + k * s.w3b) * hpGainFirst;

    const float v4 = y3 - (hpB1 * s.w4a + hpB2Second * s.w4b) * hpGainSecond;

    s.w1b = s.w1a;
    s.w1a = v1;
    s.w2b = s.w2a;
    s.w2a = v2;
    s.w3b = s.w3a;
    s.w3a = v3;
    s.w4b = s.w4a;
    s.w4a = v4;
    *w1 = v1;
    *w2 = v2;
    *w3 = v3;
    return v4;
}

// Drive, clip and cubic saturation of one sample, from section 4's internal values.
inline float saturate(float w4, float w4a, float w4b, float k, float m, float clipGain) noexcept {
    return clipAndSaturate(static_cast<double>(clipGain * (k * w4 + m * w4a + k * w4b)) + 0.1);
}

// D[n] = 0.995 D[n-1] + q[n] - q[n-1], left to right in double.
inline float dcBlock(float previousOut, float q, float previousQ) noexcept {
    return static_cast<float>((0.995 * static_cast<double>(previousOut) + static_cast<double>(q)) -
                              static_cast<double>(previousQ));
}

}  // namespace

void BaselineCrossoverDelay::computeChunk(int frames, const float* in0, const float* in1, float* out0, float* out1,
                                        const BlockValues& b) noexcept {
    constexpr int h = kHistory;

    // Inputs first, so that in-place processing reads every sample before it is overwritten.
    float x0[kChunk], x1[kChunk];
    for (int j = 0; j < frames; ++j) {
        x0[j] = dsp::guardInputSample(in0[j]);
        x1[j] = dsp::guardInputSample(in1[j]);
    }

    // Tap crossfaders, R then L.
    float weightR[kChunk], weightL[kChunk];
    int offsetR0[kChunk], offsetR1[kChunk], offsetL0[kChunk], offsetL1[kChunk];
    runCrossfader(fXfadeR.step, fXfadeR.weight, fXfadeR.delay1, fXfadeR.delay0, b.delayR, b.cap, frames, weightR,
                  offsetR0, offsetR1);
    runCrossfader(fXfadeL.step, fXfadeL.weight, fXfadeL.delay1, fXfadeL.delay0, b.delayL, b.cap, frames, weightL,
                  offsetL0, offsetL1);

    // Delay lines: move on by what the previous chunk wrote, then write this chunk.
    float r[kChunk], l[kChunk];
    fLineRPos = (fLineRPos + fLineRPending) & fLineMask;
    fLineRPending = frames;
    fLineLPos = (fLineLPos + fLineLPending) & fLineMask;
    fLineLPending = frames;
    writeLines({fLineR, fLineMask, fLineRPos, x0, b.feedbackR, weightR, offsetR0, offsetR1, r},
               {fLineL, fLineMask, fLineLPos, x1, b.feedbackL, weightL, offsetL0, offsetL1, l}, frames);

    // Width blend and gain.
    float uL[kChunk], uR[kChunk];
    for (int j = 0; j < frames; ++j) {
        uL[j] = (l[j] * b.width + r[j] * b.widthComplement) * b.gain;
        uR[j] = (r[j] * b.width + l[j] * b.widthComplement) * b.gain;
    }

    // Filter sections of both chains, interleaved so that their recursions overlap.
    ChunkSignal w1L, w2L, w3L, w4L, w1R, w2R, w3R, w4R;
    loadHistory(w1L, fLowpass1L);
    loadHistory(w2L, fLowpass2L);
    loadHistory(w3L, fHighpass1L);
    loadHistory(w4L, fHighpass2L);
    loadHistory(w1R, fLowpass1R);
    loadHistory(w2R, fLowpass2R);
    loadHistory(w3R, fHighpass1R);
    loadHistory(w4R, fHighpass2R);
    const float lp[5] = {b.lpA1, b.lpA2First, b.lpGainFirst, b.lpA2Second, b.lpGainSecond};
    const float hp[7] = {b.hpK, b.hpM, b.hpB1, b.hpB2First, b.hpGainFirst, b.hpB2Second, b.hpGainSecond};
    Sections sL{w1L[h - 1], w1L[h - 2], w2L[h - 1], w2L[h - 2], w3L[h - 1], w3L[h - 2], w4L[h - 1], w4L[h - 2]};
    Sections sR{w1R[h - 1], w1R[h - 2], w2R[h - 1], w2R[h - 2], w3R[h - 1], w3R[h - 2], w4R[h - 1], w4R[h - 2]};
    for (int j = 0; j < frames; ++j) {
        w4L[h + j] = runSections(sL, uL[j], lp, hp, &w1L[h + j], &w2L[h + j], &w3L[h + j]);
        w4R[h + j] = runSections(sR, uR[j], lp, hp, &w1R[h + j], &w2R[h + j], &w3R[h + j]);
    }

    // Drive, clip and saturation: no recursion, so this loop vectorises.
    ChunkSignal qL, qR;
    loadHistory(qL, fSaturationL);
    loadHistory(qR, fSaturationR);
    for (int j = 0; j < frames; ++j) {
        qL[h + j] = saturate(w4L[h + j], w4L[h + j - 1], w4L[h + j - 2], b.hpK, b.hpM, b.clipGain);
        qR[h + j] = saturate(w4R[h + j], w4R[h + j - 1], w4R[h + j - 2], b.hpK, b.hpM, b.clipGain);
    }

    // DC blockers.
    ChunkSignal dL, dR;
    loadHistory(dL, fDcBlockerL);
    loadHistory(dR, fDcBlockerR);
    for (int j = 0; j < frames; ++j) {
        dL[h + j] = dcBlock(dL[h + j - 1], qL[h + j], qL[h + j - 1]);
        dR[h + j] = dcBlock(dR[h + j - 1], qR[h + j], qR[h + j - 1]);
    }

    // Output mix: "Mix" is the share of the plain dry signal.
    for (int j = 0; j < frames; ++j) {
        out0[j] = x0[j] * b.mixL + (dL[h + j] + x0[j]) * b.mixLComplement;
        out1[j] = x1[j] * b.mixR + (dR[h + j] + x1[j]) * b.mixRComplement;
    }

    saveHistory(fLowpass1L, w1L, frames);
    saveHistory(fLowpass2L, w2L, frames);
    saveHistory(fHighpass1L, w3L, frames);
    saveHistory(fHighpass2L, w4L, frames);
    saveHistory(fLowpass1R, w1R, frames);
    saveHistory(fLowpass2R, w2R, frames);
    saveHistory(fHighpass1R, w3R, frames);
    saveHistory(fHighpass2R, w4R, frames);
    saveHistory(fSaturationL, qL, frames);
    saveHistory(fSaturationR, qR, frames);
    saveHistory(fDcBlockerL, dL, frames);
    saveHistory(fDcBlockerR, dR, frames);
}

}  // namespace baseline
