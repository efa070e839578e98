#include "statefile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "auhost/presetfile.h"

namespace kestrincli {

bool checkStateFileSize(const std::string& path, std::string& error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return true;
    if (std::uint64_t(st.st_size) <= kLargestStateFile) return true;
    char size[32];
    std::snprintf(size, sizeof size, "%.1f MB", double(st.st_size) / double(1 << 20));
    error = "it is " + std::to_string(st.st_size) + " bytes (" + size + "); a state file holds at most " +
            std::to_string(kLargestStateFile >> 20) + " MB";
    return false;
}

bool PendingState::create(KestrinHost& host, const std::string& path, std::unique_ptr<PendingState>& out,
                          std::string& error) {
    namespace fs = std::filesystem;
    const fs::path destination(path);
    if (fs::is_directory(destination)) {
        error = "cannot save the state to \"" + path + "\": it is a folder";
        return false;
    }
    fs::path folder = destination.parent_path();
    if (folder.empty()) folder = ".";
    std::string hidden = ".";
    hidden.append(destination.filename().string()).append(".partial-").append(std::to_string(::getpid()));
    std::unique_ptr<PendingState> pending(new PendingState(path, (folder / hidden).string()));
    if (auhost::HostResult r = host.unit().savePresetFile(pending->temporary_); !r) {
        error = "cannot save the state to \"" + path + "\": " + r.message();
        return false;
    }
    out = std::move(pending);
    return true;
}

PendingState::~PendingState() {
    if (!committed_) std::remove(temporary_.c_str());
}

bool PendingState::commit(std::string& error) {
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        error = "cannot save the state to \"" + path_ + "\": " + std::strerror(errno);
        return false;
    }
    committed_ = true;
    return true;
}

}  // namespace kestrincli
