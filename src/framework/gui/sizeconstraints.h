#pragma once
// SizeConstraints: which editor sizes are valid, as one of four kinds of rule
// around a default (design) size, and the two questions the editor asks of
// them: the valid size nearest a requested one, and the largest valid size that
// fits in a window. Ratios are computed in float; a size is a ratio times the
// default size plus 0.5, truncated.
//
// A plain record, copied into the editor at construction; every function here
// is pure and may run on any thread.

#include <cstdint>
#include <initializer_list>

namespace fw {

struct SizeConstraints {
    static constexpr int kMaxScales = 12;

    enum Kind : std::int32_t {
        continuousRatio = 0,  // any ratio in [minRatio, maxRatio], both axes alike
        discreteRatio = 1,    // one of widthScales, both axes alike
        freeSize = 2,         // any size within [minWidth, maxWidth] x [minHeight, maxHeight]
        discreteRatioXY = 3,  // one of widthScales for x and one of heightScales for y
    };

    std::int32_t kind = discreteRatio;
    std::int32_t defaultWidth = 0;
    std::int32_t defaultHeight = 0;
    std::int32_t numWidthScales = 0;
    float widthScales[kMaxScales] = {};
    std::int32_t numHeightScales = 0;
    float heightScales[kMaxScales] = {};
    float minRatio = 1.0f;
    float maxRatio = 1.0f;
    std::int32_t minWidth = 0;
    std::int32_t minHeight = 0;
    std::int32_t maxWidth = 0;
    std::int32_t maxHeight = 0;

    // Any thread. Makers of the four kinds; at most 12 scales are kept.
    static SizeConstraints makeContinuousRatio(int defaultWidth, int defaultHeight, float minRatio, float maxRatio);
    static SizeConstraints makeDiscreteRatio(int defaultWidth, int defaultHeight, std::initializer_list<float> scales);
    static SizeConstraints makeFreeSize(int defaultWidth, int defaultHeight, int minWidth, int minHeight,
                                        int maxWidth, int maxHeight);
    static SizeConstraints makeDiscreteRatioXY(int defaultWidth, int defaultHeight,
                                               std::initializer_list<float> widthScales,
                                               std::initializer_list<float> heightScales);

    // Any thread. A fatal programming error unless the record is usable: a known
    // kind, a positive default size, scale counts in 1..12 for the discrete kinds,
    // ordered bounds for the others.
    void validate() const noexcept;

    // Any thread. In place: the valid size nearest (width, height).
    void getNearestValidSize(int* width, int* height) const noexcept;
    // Any thread. In place: the largest valid size not exceeding (width, height)
    // (for discrete ratios the one leaving the least room, or the first scale
    // when none fits).
    void getMaxSmallerValidSize(int* width, int* height) const noexcept;
    // Any thread. Whether more than one size is valid.
    bool isResizable() const noexcept;
};
static_assert(sizeof(SizeConstraints) == 35 * 4);

}  // namespace fw
