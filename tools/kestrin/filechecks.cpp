#include "filechecks.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace kestrincli {

namespace fs = std::filesystem;

std::string readProblem(const std::string& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) return "no such file";
    if (fs::is_directory(status)) return "it is a folder";
    if (::access(path.c_str(), R_OK) != 0) return "you may not read it";
    return {};
}

std::string writeProblem(const std::string& path) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) return "it is a folder";
    fs::path folder = fs::path(path).parent_path();
    const std::string shown = folder.empty() ? "./" : folder.string() + "/";
    if (folder.empty()) folder = ".";
    const fs::file_status status = fs::status(folder, ec);
    if (!fs::exists(status)) return "folder " + shown + " does not exist";
    if (!fs::is_directory(status)) return shown + " is not a folder";
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return "folder " + shown + " is not writable";
    return {};
}

namespace {

bool sameIdentity(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sameIdentity(sa, sb);
}

bool sameFileAsDescriptor(const std::string& path, int fd) {
    struct stat sp {}, sf {};
    return ::stat(path.c_str(), &sp) == 0 && ::fstat(fd, &sf) == 0 && S_ISREG(sf.st_mode) && sameIdentity(sp, sf);
}

}  // namespace kestrincli
