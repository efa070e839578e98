#pragma once
// What a WAV or AIFF header declares, checked before the decoder sees the file: the
// audio it claims against what the file holds, and the sample rate. libsndfile
// quietly reads what is there when a file is cut short or its header claims more,
// and refuses absurd rates with an internal error; the command line refuses such
// files with a message naming the figures. Other containers (FLAC, unknown ones)
// pass: their readers catch truncation.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace kestrincli {

// Reads `length` bytes at `offset`; false when they are not all there.
using ReadAt = std::function<bool(std::uint64_t offset, void* into, std::size_t length)>;

// False with a message (naming the file as `name`) when the header of a RIFF/RIFX,
// RF64 or AIFF/AIFC file declares more audio than the `fileSize` bytes hold, or a
// sample rate outside kLowestRate to kHighestRate.
bool checkHeader(const ReadAt& readAt, std::uint64_t fileSize, const std::string& name, std::string& error);

// "\"NAME\" is sampled at RATE Hz; Kestrin 3 renders at 8000 Hz to 384000 Hz"
std::string unsupportedRateMessage(const std::string& name, double rate);

}  // namespace kestrincli
