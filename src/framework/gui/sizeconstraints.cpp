#include "framework/gui/sizeconstraints.h"

#include <algorithm>
#include <cmath>

#include "framework/core/fatal.h"

namespace fw {

namespace {

int scaled(int size, float ratio) noexcept {
    // +0.5 then truncation; the float is clamped so the conversion stays defined.
    const float v = float(size) * ratio + 0.5f;
    return v >= 2147483520.0f ? 2147483520 : v <= 0.0f ? 0 : int(v);
}

float clampRatio(float r, float lo, float hi) noexcept { return std::max(lo, std::min(r, hi)); }

// The scale closest to r; the first of equally close ones.
float closestScale(const float* scales, int count, float r) noexcept {
    float best = scales[0];
    for (int i = 1; i < count; ++i)
        if (std::fabs(scales[i] - r) < std::fabs(best - r)) best = scales[i];
    return best;
}

void copyScales(float* dst, std::int32_t* count, std::initializer_list<float> scales) noexcept {
    int n = 0;
    for (float s : scales) {
        if (n == SizeConstraints::kMaxScales) break;
        dst[n++] = s;
    }
    *count = n;
}

}  // namespace

SizeConstraints SizeConstraints::makeContinuousRatio(int defaultWidth, int defaultHeight, float minRatio,
                                                     float maxRatio) {
    SizeConstraints c;
    c.kind = continuousRatio;
    c.defaultWidth = defaultWidth;
    c.defaultHeight = defaultHeight;
    c.minRatio = minRatio;
    c.maxRatio = maxRatio;
    return c;
}

SizeConstraints SizeConstraints::makeDiscreteRatio(int defaultWidth, int defaultHeight,
                                                   std::initializer_list<float> scales) {
    SizeConstraints c;
    c.kind = discreteRatio;
    c.defaultWidth = defaultWidth;
    c.defaultHeight = defaultHeight;
    copyScales(c.widthScales, &c.numWidthScales, scales);
    return c;
}

SizeConstraints SizeConstraints::makeFreeSize(int defaultWidth, int defaultHeight, int minWidth, int minHeight,
                                              int maxWidth, int maxHeight) {
    SizeConstraints c;
    c.kind = freeSize;
    c.defaultWidth = defaultWidth;
    c.defaultHeight = defaultHeight;
    c.minWidth = minWidth;
    c.minHeight = minHeight;
    c.maxWidth = maxWidth;
    c.maxHeight = maxHeight;
    return c;
}

SizeConstraints SizeConstraints::makeDiscreteRatioXY(int defaultWidth, int defaultHeight,
                                                     std::initializer_list<float> widthScales,
                                                     std::initializer_list<float> heightScales) {
    SizeConstraints c;
    c.kind = discreteRatioXY;
    c.defaultWidth = defaultWidth;
    c.defaultHeight = defaultHeight;
    copyScales(c.widthScales, &c.numWidthScales, widthScales);
    copyScales(c.heightScales, &c.numHeightScales, heightScales);
    return c;
}

void SizeConstraints::validate() const noexcept {
    if (kind < continuousRatio || kind > discreteRatioXY) fatalError("SizeConstraints: kind outside 0..3");
    if (defaultWidth <= 0 || defaultHeight <= 0) fatalError("SizeConstraints: the default size must be positive");
    const auto badCount = [](int n) { return n < 1 || n > kMaxScales; };
    if ((kind == discreteRatio || kind == discreteRatioXY) && badCount(numWidthScales))
        fatalError("SizeConstraints: discrete ratios need 1 to 12 width scales");
    if (kind == discreteRatioXY && badCount(numHeightScales))
        fatalError("SizeConstraints: discrete ratios per axis need 1 to 12 height scales");
    if (kind == continuousRatio && !(minRatio > 0.0f && minRatio <= maxRatio))
        fatalError("SizeConstraints: the ratio bounds must satisfy 0 < minimum <= maximum");
    if (kind == freeSize && !(minWidth >= 0 && minHeight >= 0 && minWidth <= maxWidth && minHeight <= maxHeight))
        fatalError("SizeConstraints: the size bounds must satisfy 0 <= minimum <= maximum");
}

void SizeConstraints::getNearestValidSize(int* width, int* height) const noexcept {
    const float rx = float(*width) / float(defaultWidth);
    const float ry = float(*height) / float(defaultHeight);
    switch (kind) {
        case continuousRatio: {
            const float r = clampRatio((rx + ry) / 2, minRatio, maxRatio);
            *width = scaled(defaultWidth, r);
            *height = scaled(defaultHeight, r);
            break;
        }
        case discreteRatio: {
            const float s = closestScale(widthScales, numWidthScales, (rx + ry) / 2);
            *width = scaled(defaultWidth, s);
            *height = scaled(defaultHeight, s);
            break;
        }
        case freeSize:
            *width = std::clamp(*width, minWidth, maxWidth);
            *height = std::clamp(*height, minHeight, maxHeight);
            break;
        default:
            *width = scaled(defaultWidth, closestScale(widthScales, numWidthScales, rx));
            *height = scaled(defaultHeight, closestScale(heightScales, numHeightScales, ry));
            break;
    }
}

namespace {

// The largest scale not above limit, or the closest one when all are above.
float largestScaleBelow(const float* scales, int count, float limit) noexcept {
    bool found = false;
    float best = 0;
    for (int i = 0; i < count; ++i) {
        if (scales[i] <= limit && (!found || scales[i] > best)) {
            best = scales[i];
            found = true;
        }
    }
    return found ? best : closestScale(scales, count, limit);
}

}  // namespace

void SizeConstraints::getMaxSmallerValidSize(int* width, int* height) const noexcept {
    const int w = *width, h = *height;
    switch (kind) {
        case continuousRatio: {
            const float r = clampRatio(std::min(float(w) / float(defaultWidth), float(h) / float(defaultHeight)),
                                       minRatio, maxRatio);
            *width = scaled(defaultWidth, r);
            *height = scaled(defaultHeight, r);
            break;
        }
        case discreteRatio: {
            int bestW = scaled(defaultWidth, widthScales[0]), bestH = scaled(defaultHeight, widthScales[0]);
            long long bestLeftover = -1;
            for (int i = 0; i < numWidthScales; ++i) {
                const int sw = scaled(defaultWidth, widthScales[i]), sh = scaled(defaultHeight, widthScales[i]);
                if (sw > w || sh > h) continue;
                const long long leftover = (long long)(w - sw) + (long long)(h - sh);
                if (bestLeftover < 0 || leftover < bestLeftover) {
                    bestLeftover = leftover;
                    bestW = sw;
                    bestH = sh;
                }
            }
            *width = bestW;
            *height = bestH;
            break;
        }
        case freeSize:
            getNearestValidSize(width, height);
            break;
        default:
            *width = scaled(defaultWidth,
                            largestScaleBelow(widthScales, numWidthScales, (float(w) + 0.5f) / float(defaultWidth)));
            *height = scaled(defaultHeight, largestScaleBelow(heightScales, numHeightScales,
                                                              (float(h) + 0.5f) / float(defaultHeight)));
            break;
    }
}

bool SizeConstraints::isResizable() const noexcept {
    switch (kind) {
        case continuousRatio:
        case freeSize:
            return true;
        case discreteRatio:
            return numWidthScales > 1;
        default:
            return numWidthScales >= 2 && numHeightScales > 1;
    }
}

}  // namespace fw
