#include "framework/graphics/resample.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "framework/graphics/srgb.h"

namespace fw {

namespace {

// Added to alpha before colours are weighted by it, so that a fully transparent
// neighbourhood still carries its colour through the division that follows (it
// vanishes when alpha is converted back to 8 bits).
constexpr float kAlphaEpsilon = 1.0f / (1 << 20) / (1 << 20) / (1 << 20) / (1 << 20);  // 2^-80
constexpr int kMaxDimension = 1 << 16;
constexpr double kPi = 3.14159265358979323846;

float trapezoid(float x, float scale) noexcept {
    const float halfScale = scale / 2;
    const float t = 0.5f + halfScale;
    x = std::fabs(x);
    if (x >= t) return 0;
    const float r = 0.5f - halfScale;
    if (x <= r) return 1;
    return (t - x) / scale;
}

float lanczos(float x, double a) noexcept {
    const double t = std::fabs(double(x));
    if (t >= a) return 0;
    if (t < 1e-8) return 1;
    const double px = kPi * t;
    return float(a * std::sin(px) * std::sin(px / a) / (px * px));
}

// The quadratic B-spline ("magic kernel").
float quadraticBSpline(float t) noexcept {
    if (t < 0.5f) return 0.75f - t * t;
    if (t < 1.5f) return 0.5f * (t - 1.5f) * (t - 1.5f);
    return 0;
}

float magicKernelSharp2013(float t) noexcept {
    if (t < 0.5f) return 17.0f / 16.0f - (7.0f / 4.0f) * t * t;
    if (t < 1.5f) return (4.0f * t * t - 11.0f * t + 7.0f) / 4.0f;
    if (t < 2.5f) return -(1.0f / 8.0f) * (t - 2.5f) * (t - 2.5f);
    return 0;
}

float magicKernelSharp2021(float t) noexcept {
    if (t < 0.5f) return 577.0f / 576.0f - (239.0f / 144.0f) * t * t;
    if (t < 1.5f) return (140.0f * t * t - 379.0f * t + 239.0f) / 144.0f;
    if (t < 2.5f) return -(24.0f * t * t - 113.0f * t + 130.0f) / 144.0f;
    if (t < 3.5f) return (4.0f * t * t - 27.0f * t + 45.0f) / 144.0f;
    if (t < 4.5f) return -(4.0f * t * t - 36.0f * t + 81.0f) / 1152.0f;
    return 0;
}

ResizeFilter resolveFilter(ResizeFilter filter, float scale) noexcept {
    if (filter != ResizeFilter::automatic) return filter;
    return scale > 1 ? ResizeFilter::catmullRom : ResizeFilter::mitchell;
}

std::size_t alignUp(std::size_t n) noexcept { return (n + 15) & ~std::size_t(15); }

// Sample positions and normalised weights of one axis: output pixel j reads
// `count[j]` source pixels from index first[j] on (unclamped; the caller clamps).
struct Axis {
    int* first = nullptr;
    int* count = nullptr;
    float* weights = nullptr;  // taps floats per output pixel
    int taps = 0;
};

struct Layout {
    int hTaps = 0, vTaps = 0, decodeLength = 0;
    std::size_t hFirst = 0, hCount = 0, hWeights = 0;
    std::size_t vFirst = 0, vCount = 0, vWeights = 0;
    std::size_t decode = 0, ring = 0, ringTags = 0, accumulator = 0, total = 0;
};

float axisScale(int inSize, int outSize) noexcept { return float(outSize) / float(inSize); }

// Upper bound of the source pixels one output pixel reads.
int tapBound(ResizeFilter filter, float scale) noexcept {
    const ResizeFilter f = resolveFilter(filter, scale);
    const float radius = scale > 1 ? resizeFilterSupport(f, 1 / scale) : resizeFilterSupport(f, scale) / scale;
    return int(std::ceil(2.0 * radius)) + 6;
}

Layout computeLayout(const ResampleRequest& r) noexcept {
    Layout l;
    const float hs = axisScale(r.inputWidth, r.outputWidth), vs = axisScale(r.inputHeight, r.outputHeight);
    l.hTaps = tapBound(r.filter, hs);
    l.vTaps = tapBound(r.filter, vs);
    l.decodeLength = r.inputWidth + 2 * l.hTaps;
    const std::size_t ow = std::size_t(r.outputWidth), oh = std::size_t(r.outputHeight), c = std::size_t(r.channels);
    std::size_t at = 0;
    auto take = [&](std::size_t bytes) {
        const std::size_t start = at;
        at += alignUp(bytes);
        return start;
    };
    l.hFirst = take(ow * sizeof(int));
    l.hCount = take(ow * sizeof(int));
    l.hWeights = take(ow * std::size_t(l.hTaps) * sizeof(float));
    l.vFirst = take(oh * sizeof(int));
    l.vCount = take(oh * sizeof(int));
    l.vWeights = take(oh * std::size_t(l.vTaps) * sizeof(float));
    l.decode = take(std::size_t(l.decodeLength) * c * sizeof(float));
    l.ring = take(std::size_t(l.vTaps) * ow * c * sizeof(float));
    l.ringTags = take(std::size_t(l.vTaps) * sizeof(int));
    l.accumulator = take(ow * c * sizeof(float));
    l.total = at;
    return l;
}

void normalise(float* w, int n) noexcept {
    float total = 0;
    for (int i = 0; i < n; ++i) total += w[i];
    const float s = 1 / total;
    for (int i = 0; i < n; ++i) w[i] *= s;
}

// Fills one axis. Enlarging gathers with the kernel in source units; shrinking
// takes every source pixel whose stretched footprint reaches the output pixel,
// with the kernel in destination units. Both keep the source pixels in
// increasing order so that sums are formed in a fixed order.
void buildAxis(ResizeFilter requested, int inSize, int outSize, Axis& axis) noexcept {
    const float scale = axisScale(inSize, outSize);
    const ResizeFilter filter = resolveFilter(requested, scale);
    for (int j = 0; j < outSize; ++j) {
        float* w = axis.weights + std::size_t(j) * std::size_t(axis.taps);
        int n = 0;
        int first = 0;
        if (scale > 1) {
            const float inverse = 1 / scale;
            const float outRadius = resizeFilterSupport(filter, inverse) * scale;
            const float outCenter = float(j) + 0.5f;
            const float inLower = (outCenter - outRadius) / scale;
            const float inUpper = (outCenter + outRadius) / scale;
            const float inCenterOfOut = outCenter / scale;
            first = int(std::floor(inLower + 0.5));
            const int last = int(std::floor(inUpper - 0.5));
            for (int i = first; i <= last && n < axis.taps; ++i) {
                const float v = resizeFilterKernel(filter, inCenterOfOut - (float(i) + 0.5f), inverse);
                if (n == 0 && v == 0) {  // leading zero weights are dropped
                    ++first;
                    continue;
                }
                w[n++] = v;
            }
        } else {
            const float inRadius = resizeFilterSupport(filter, scale) / scale;
            const int margin = int(std::ceil(resizeFilterSupport(filter, scale) * 2 / scale)) / 2;
            const float center = (float(j) + 0.5f) / scale;
            const int lo = std::max(int(std::floor(center - inRadius)) - 2, -margin);
            const int hi = std::min(int(std::ceil(center + inRadius)) + 2, inSize + margin - 1);
            first = INT_MIN;
            for (int i = lo; i <= hi && n < axis.taps; ++i) {
                const float inCenter = float(i) + 0.5f;
                const float outLower = (inCenter - inRadius) * scale;
                const float outUpper = (inCenter + inRadius) * scale;
                if (j < int(std::floor(outLower + 0.5)) || j > int(std::floor(outUpper - 0.5))) continue;
                const float v = resizeFilterKernel(filter, (float(j) + 0.5f) - inCenter * scale, scale) * scale;
                if (first == INT_MIN) first = i;
                // Source pixels that reach the output pixel form one run.
                while (first + n < i && n < axis.taps) w[n++] = 0;
                if (n < axis.taps) w[n++] = v;
            }
            if (first == INT_MIN) first = int(center);
        }
        // Trailing zero weights carry nothing.
        while (n > 0 && w[n - 1] == 0) --n;
        float total = 0;
        for (int i = 0; i < n; ++i) total += w[i];
        if (!(total > 0)) {  // cannot happen with these kernels; keep the nearest pixel
            first = std::clamp(int((float(j) + 0.5f) / scale), 0, inSize - 1);
            n = 1;
            w[0] = 1;
        } else {
            normalise(w, n);
        }
        axis.first[j] = first;
        axis.count[j] = n;
    }
}

float saturate(float x) noexcept {
    if (!(x > 0)) return 0;  // also NaN
    return x > 1 ? 1 : x;
}

struct Codec {
    const SrgbTables* tables;
    int channels;
    int alphaChannel;      // -1: none
    bool weightByAlpha;    // premultiply on decode, divide on encode
    bool alphaUsesColorspace;
    bool srgb;

    static std::uint8_t encodeLinear(float v) noexcept {
        return std::uint8_t(int(double(saturate(v) * 255.0f) + 0.5));
    }

    void decodeRow(const std::uint8_t* row, int inWidth, int firstIndex, int length, float* out) const noexcept {
        for (int k = 0; k < length; ++k) {
            const std::uint8_t* p = row + std::size_t(std::clamp(firstIndex + k, 0, inWidth - 1)) * std::size_t(channels);
            float* d = out + std::size_t(k) * std::size_t(channels);
            for (int c = 0; c < channels; ++c) d[c] = srgb ? tables->toLinear[p[c]] : float(p[c]) / 255.0f;
            if (alphaChannel >= 0 && !alphaUsesColorspace) d[alphaChannel] = float(p[alphaChannel]) / 255.0f;
            if (weightByAlpha) {
                const float alpha = d[alphaChannel] + kAlphaEpsilon;
                d[alphaChannel] = alpha;
                for (int c = 0; c < channels; ++c)
                    if (c != alphaChannel) d[c] *= alpha;
            }
        }
    }

    void encodeRow(float* in, int width, std::uint8_t* out) const noexcept {
        for (int x = 0; x < width; ++x) {
            float* s = in + std::size_t(x) * std::size_t(channels);
            std::uint8_t* d = out + std::size_t(x) * std::size_t(channels);
            if (weightByAlpha) {
                const float alpha = s[alphaChannel];
                const float reciprocal = alpha != 0 ? 1.0f / alpha : 0.0f;
                for (int c = 0; c < channels; ++c)
                    if (c != alphaChannel) s[c] *= reciprocal;
            }
            for (int c = 0; c < channels; ++c) d[c] = srgb ? tables->encode(s[c]) : encodeLinear(s[c]);
            if (alphaChannel >= 0 && !alphaUsesColorspace) d[alphaChannel] = encodeLinear(s[alphaChannel]);
        }
    }
};

template <int C>
void filterRow(const float* decoded, int decodeFirst, const Axis& h, int outWidth, float* out) noexcept {
    for (int x = 0; x < outWidth; ++x) {
        const float* w = h.weights + std::size_t(x) * std::size_t(h.taps);
        const float* src = decoded + std::size_t(h.first[x] - decodeFirst) * C;
        float acc[C] = {};
        for (int t = 0, n = h.count[x]; t < n; ++t)
            for (int c = 0; c < C; ++c) acc[c] += src[t * C + c] * w[t];
        for (int c = 0; c < C; ++c) out[x * C + c] = acc[c];
    }
}

void filterRowAnyChannels(int channels, const float* decoded, int decodeFirst, const Axis& h, int outWidth, float* out) noexcept {
    switch (channels) {
        case 1: filterRow<1>(decoded, decodeFirst, h, outWidth, out); break;
        case 2: filterRow<2>(decoded, decodeFirst, h, outWidth, out); break;
        case 3: filterRow<3>(decoded, decodeFirst, h, outWidth, out); break;
        default: filterRow<4>(decoded, decodeFirst, h, outWidth, out); break;
    }
}

const char* validate(const ResampleRequest& r) noexcept {
    if (r.input == nullptr || r.output == nullptr) return "resize: null image pointer";
    if (r.inputWidth <= 0 || r.inputHeight <= 0 || r.outputWidth <= 0 || r.outputHeight <= 0)
        return "resize: empty source or destination";
    if (r.inputWidth > kMaxDimension || r.inputHeight > kMaxDimension || r.outputWidth > kMaxDimension ||
        r.outputHeight > kMaxDimension)
        return "resize: image dimension too large";
    if (r.channels < 1 || r.channels > 4) return "resize: channel count must be 1 to 4";
    if (r.alphaChannel < -1 || r.alphaChannel >= r.channels) return "resize: alpha channel index out of range";
    if ((r.flags & ~(kResizeAlphaPremultiplied | kResizeAlphaUsesColorspace)) != 0) return "resize: unknown flag";
    if (int(r.filter) < 0 || int(r.filter) >= kResizeFilterCount) return "resize: unknown filter";
    if (r.colorspace != ResizeColorspace::linear && r.colorspace != ResizeColorspace::srgb)
        return "resize: unknown colour space";
    if (r.inputStride < std::ptrdiff_t(r.inputWidth) * r.channels ||
        r.outputStride < std::ptrdiff_t(r.outputWidth) * r.channels)
        return "resize: row stride smaller than a row";
    return nullptr;
}

}  // namespace

float resizeFilterKernel(ResizeFilter filter, float x, float scale) noexcept {
    const float t = std::fabs(x);
    switch (filter) {
        case ResizeFilter::automatic: return 0;
        case ResizeFilter::box: return trapezoid(x, scale);
        case ResizeFilter::triangle: return t <= 1.0f ? 1 - t : 0;
        case ResizeFilter::cubicBSpline:
            if (t < 1.0f) return (4 + t * t * (3 * t - 6)) / 6;
            if (t < 2.0f) return (8 + t * (-12 + t * (6 - t))) / 6;
            return 0;
        case ResizeFilter::catmullRom:
            if (t < 1.0f) return 1 - t * t * (2.5f - 1.5f * t);
            if (t < 2.0f) return 2 - t * (4 + t * (0.5f * t - 2.5f));
            return 0;
        case ResizeFilter::mitchell:
            if (t < 1.0f) return (16 + t * t * (21 * t - 36)) / 18;
            if (t < 2.0f) return (32 + t * (-60 + t * (36 - 7 * t))) / 18;
            return 0;
        case ResizeFilter::lanczos2: return lanczos(x, 2.0);
        case ResizeFilter::lanczos2_5: return lanczos(x, 2.5);
        case ResizeFilter::lanczos3: return lanczos(x, 3.0);
        case ResizeFilter::lanczos4: return lanczos(x, 4.0);
        case ResizeFilter::magicKernel: return quadraticBSpline(t);
        case ResizeFilter::magicKernelSharpBlend: return 0.86f * magicKernelSharp2013(t) + 0.14f * quadraticBSpline(t);
        case ResizeFilter::magicKernelSharp2013: return magicKernelSharp2013(t);
        case ResizeFilter::magicKernelSharp2021: return magicKernelSharp2021(t);
    }
    return 0;
}

float resizeFilterSupport(ResizeFilter filter, float scale) noexcept {
    switch (filter) {
        case ResizeFilter::automatic: return 0;
        case ResizeFilter::box: return 0.5f + scale / 2;
        case ResizeFilter::triangle: return 1;
        case ResizeFilter::cubicBSpline:
        case ResizeFilter::catmullRom:
        case ResizeFilter::mitchell:
        case ResizeFilter::lanczos2: return 2;
        case ResizeFilter::lanczos2_5:
        case ResizeFilter::lanczos3:
        case ResizeFilter::magicKernel:
        case ResizeFilter::magicKernelSharpBlend:
        case ResizeFilter::magicKernelSharp2013: return 3;
        case ResizeFilter::lanczos4: return 4;
        case ResizeFilter::magicKernelSharp2021: return 5;
    }
    return 0;
}

std::size_t resampleScratchSize(const ResampleRequest& request) noexcept {
    if (validate(request) != nullptr) return 0;
    return computeLayout(request).total;
}

Status resampleUint8(const ResampleRequest& r, void* scratch, std::size_t scratchSize) noexcept {
    if (const char* problem = validate(r)) return Status::failure(problem);
    const Layout l = computeLayout(r);
    if (scratch == nullptr || scratchSize < l.total) return Status::failure("resize: scratch memory too small");
    if ((reinterpret_cast<std::uintptr_t>(scratch) & 15) != 0) return Status::failure("resize: scratch memory misaligned");

    std::uint8_t* base = static_cast<std::uint8_t*>(scratch);
    Axis h{reinterpret_cast<int*>(base + l.hFirst), reinterpret_cast<int*>(base + l.hCount),
           reinterpret_cast<float*>(base + l.hWeights), l.hTaps};
    Axis v{reinterpret_cast<int*>(base + l.vFirst), reinterpret_cast<int*>(base + l.vCount),
           reinterpret_cast<float*>(base + l.vWeights), l.vTaps};
    float* decoded = reinterpret_cast<float*>(base + l.decode);
    float* ring = reinterpret_cast<float*>(base + l.ring);
    int* ringTags = reinterpret_cast<int*>(base + l.ringTags);
    float* acc = reinterpret_cast<float*>(base + l.accumulator);

    buildAxis(r.filter, r.inputWidth, r.outputWidth, h);
    buildAxis(r.filter, r.inputHeight, r.outputHeight, v);

    int decodeFirst = INT_MAX, decodeLast = INT_MIN;
    for (int x = 0; x < r.outputWidth; ++x) {
        decodeFirst = std::min(decodeFirst, h.first[x]);
        decodeLast = std::max(decodeLast, h.first[x] + h.count[x] - 1);
    }
    const int decodeLength = decodeLast - decodeFirst + 1;
    if (decodeLength > l.decodeLength) return Status::failure("resize: internal filter extent exceeded");

    // With no alpha channel every channel is a colour and nothing is weighted.
    int flags = r.flags;
    if (r.alphaChannel < 0) flags |= kResizeAlphaUsesColorspace | kResizeAlphaPremultiplied;
    const Codec codec{&srgbTables(), r.channels, r.alphaChannel, (flags & kResizeAlphaPremultiplied) == 0,
                      (flags & kResizeAlphaUsesColorspace) != 0, r.colorspace == ResizeColorspace::srgb};

    const std::size_t rowFloats = std::size_t(r.outputWidth) * std::size_t(r.channels);
    for (int s = 0; s < v.taps; ++s) ringTags[s] = INT_MIN;

    for (int y = 0; y < r.outputHeight; ++y) {
        const float* w = v.weights + std::size_t(y) * std::size_t(v.taps);
        std::fill(acc, acc + rowFloats, 0.0f);
        for (int t = 0; t < v.count[y]; ++t) {
            const int sourceRow = std::clamp(v.first[y] + t, 0, r.inputHeight - 1);
            // The rows a destination row reads form a window that only moves
            // forward and is never longer than the ring, so a row's slot is free
            // again once it has left the window.
            const int slot = sourceRow % v.taps;
            float* filtered = ring + std::size_t(slot) * rowFloats;
            if (ringTags[slot] != sourceRow) {
                codec.decodeRow(r.input + std::ptrdiff_t(sourceRow) * r.inputStride, r.inputWidth, decodeFirst,
                                decodeLength, decoded);
                filterRowAnyChannels(r.channels, decoded, decodeFirst, h, r.outputWidth, filtered);
                ringTags[slot] = sourceRow;
            }
            const float weight = w[t];
            for (std::size_t i = 0; i < rowFloats; ++i) acc[i] += filtered[i] * weight;
        }
        codec.encodeRow(acc, r.outputWidth, r.output + std::ptrdiff_t(y) * r.outputStride);
    }
    return Status::success();
}

}  // namespace fw
