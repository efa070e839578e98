#include "filechecks.h"

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

}  // namespace kestrincli
