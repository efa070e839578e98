#pragma once
// The oversampler's stereo upsample and decimate loops as they were before the
// pipelined cascade, frozen for the benchmarks only: they run on a StereoUpsampler's
// own filters and work buffers and give the same bits as its upsample() and
// decimate(). Both channels must be at the same factor, above 1.

#include "dsp/oversampling/stereoupsampler.h"

namespace baseline {

void upsample(dsp::oversampling::StereoUpsampler& up, int frames, const float* const* inputs) noexcept;
void decimate(dsp::oversampling::StereoUpsampler& up, float* const* outputs, int frames) noexcept;

}  // namespace baseline
