#pragma once
// Why a file cannot be read or written, in plain words, found before the operation
// so that the message names the cause ("folder ro/ is not writable") rather than a
// library's status.

#include <string>

namespace kestrincli {

// "" when `path` names a readable file; else "no such file", "it is a folder" or
// "you may not read it".
std::string readProblem(const std::string& path);

// "" when a file can be created or replaced at `path`; else "it is a folder",
// "folder out/ does not exist", "out/ is not a folder" or "folder ro/ is not writable".
std::string writeProblem(const std::string& path);

}  // namespace kestrincli
