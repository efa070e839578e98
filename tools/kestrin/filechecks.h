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

// Both names reach one existing file: the same path, a symbolic or hard link, or
// another spelling ("./dir/../in.wav"). Compares device and inode.
bool sameFile(const std::string& a, const std::string& b);

// `path` is the file open on `fd` (standard input redirected from it).
bool sameFileAsDescriptor(const std::string& path, int fd);

}  // namespace kestrincli
