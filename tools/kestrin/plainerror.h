#pragma once
// Failures of host operations in plain words: "restoring the class info failed: the
// plug-in refused the value" instead of a raw status number.

#include <string>

#include "auhost/hostresult.h"

namespace kestrincli {

// What a status means to a user ("the audio format is not supported"); for a status
// this table does not know, "the plug-in reported an unexpected error".
std::string statusInWords(OSStatus status);

// An operating-system error number in words: "no space left on device".
std::string systemErrorInWords(int error);

// A libsndfile message without its "System error : " or "Error : " label and final
// full stop: "No such file or directory." -> "no such file or directory".
std::string soundFileErrorInWords(const std::string& message);

// The result's message with a trailing "(<status>)" replaced by ": <words>".
std::string plainMessage(const auhost::HostResult& result);

}  // namespace kestrincli
