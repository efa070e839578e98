#pragma once
// The unit's whole state as an .aupreset file, loaded and saved with messages that
// name the file and the cause in plain words. Loading caps the file's size; saving
// for a render follows the same all-or-nothing rule as the audio output: the state
// is written to a hidden file next to the destination before the render starts (so
// an unwritable destination fails at once), and moved into place only when the
// render and its output succeeded.

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

// Main thread. Loads a state saved by any host. Refuses a file that is missing, too
// large, not a property list, or saved for another plug-in ("this state belongs to
// another plug-in (subtype dely, manufacturer appl)"), before the unit sees it.
bool loadStateFile(KestrinHost& host, const std::string& path, std::string& error);

// Main thread. Saves the unit's state, replacing the file.
bool saveStateFile(KestrinHost& host, const std::string& path, std::string& error);

// A state saved for a render, in place only once commit() succeeds.
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
