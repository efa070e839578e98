#pragma once
// What a WAV or AIFF header says its audio takes, against what the file holds.
// libsndfile quietly reads what is there when a file is cut short or its header
// claims more; the command line refuses such a file instead, naming both figures.
// Other containers (FLAC, unknown ones) pass: their readers catch truncation.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace kestrincli {

// Reads `length` bytes at `offset`; false when they are not all there.
using ReadAt = std::function<bool(std::uint64_t offset, void* into, std::size_t length)>;

// False with a message (naming the file as `name`) when the header of a RIFF/RIFX,
// RF64 or AIFF/AIFC file declares more audio than the `fileSize` bytes hold.
bool checkDeclaredLength(const ReadAt& readAt, std::uint64_t fileSize, const std::string& name, std::string& error);

}  // namespace kestrincli
