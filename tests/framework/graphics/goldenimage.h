#pragma once
// Golden-image comparison for drawing tests: images are compared by a checksum
// of their pixels; on a mismatch readable PNGs of both, and a difference image
// when the sizes agree, are written to the test's working directory and the
// failure message says where.

#include <gtest/gtest.h>

#include <cstdint>

#include "framework/graphics/image.h"

namespace testsupport {

std::uint64_t imageChecksum(fw::ImageRef<const fw::RGBA> image);

// Writes `image` as an RGBA PNG; returns false when it cannot.
bool writePNG(const char* path, fw::ImageRef<const fw::RGBA> image);

::testing::AssertionResult matchesGolden(const char* name, fw::ImageRef<const fw::RGBA> actual,
                                         fw::ImageRef<const fw::RGBA> expected);

}  // namespace testsupport
