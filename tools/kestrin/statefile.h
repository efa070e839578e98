#pragma once
// State files (.aupreset) for the command line: a size cap on reading, and saving
// that follows the same all-or-nothing rule as the audio output. The state is
// written to a hidden file next to the destination before the render starts (so an
// unwritable destination fails at once), and moved into place only when the render
// and its output succeeded.

#include <cstdint>
#include <memory>
#include <string>

#include "kestrinhost.h"

namespace kestrincli {

// Far above any real state (a few kilobytes), far below what would exhaust memory.
inline constexpr std::uint64_t kLargestStateFile = 16u << 20;

// False with a message when `path` is larger than kLargestStateFile. A file that
// cannot be examined passes; reading it reports why.
bool checkStateFileSize(const std::string& path, std::string& error);

class PendingState {
public:
    // Writes the unit's state as it is now to the hidden file.
    static bool create(KestrinHost& host, const std::string& path, std::unique_ptr<PendingState>& out,
                       std::string& error);
    // Removes the hidden file unless commit() succeeded.
    ~PendingState();
    PendingState(const PendingState&) = delete;
    PendingState& operator=(const PendingState&) = delete;

    // Moves the state into place.
    bool commit(std::string& error);

private:
    PendingState(std::string path, std::string temporary) : path_(std::move(path)), temporary_(std::move(temporary)) {}

    std::string path_;
    std::string temporary_;
    bool committed_ = false;
};

}  // namespace kestrincli
