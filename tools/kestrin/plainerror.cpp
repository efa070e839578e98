#include "plainerror.h"

#include <AudioToolbox/AUComponent.h>
#include <CoreAudioTypes/CoreAudioBaseTypes.h>

#include <cctype>
#include <cstring>
#include <utility>

namespace kestrincli {

std::string statusInWords(OSStatus status) {
    switch (status) {
        case kAudio_UnimplementedError: return "the plug-in does not do this";
        case kAudio_FileNotFoundError: return "no such file";
        case kAudio_FilePermissionError: return "permission denied";
        case kAudio_ParamError: return "a value was out of range";
        case kAudio_MemFullError: return "out of memory";
        case kAudioUnitErr_InvalidProperty: return "the plug-in does not have this property";
        case kAudioUnitErr_InvalidParameter: return "no such parameter";
        case kAudioUnitErr_InvalidElement: return "no such bus";
        case kAudioUnitErr_NoConnection: return "nothing is connected to its input";
        case kAudioUnitErr_FailedInitialization: return "the plug-in could not start";
        case kAudioUnitErr_TooManyFramesToProcess: return "the block is larger than the plug-in was prepared for";
        case kAudioUnitErr_InvalidFile: return "the file is damaged or not for this plug-in";
        case kAudioUnitErr_FormatNotSupported: return "the audio format is not supported";
        case kAudioUnitErr_Uninitialized: return "the plug-in has not been started";
        case kAudioUnitErr_InvalidScope: return "no such scope";
        case kAudioUnitErr_PropertyNotWritable: return "the property cannot be changed";
        case kAudioUnitErr_CannotDoInCurrentContext: return "not possible right now";
        case kAudioUnitErr_InvalidPropertyValue: return "the plug-in refused the value";
        case kAudioUnitErr_Initialized: return "not possible while the plug-in is running";
        case kAudioUnitErr_InvalidParameterValue: return "the value is out of the parameter's range";
        default: return "the plug-in reported an unexpected error";
    }
}

namespace {

// "No space left on device" reads as part of a sentence in lower case; a word in
// capitals at the start ("FLAC ...") stays.
std::string asClause(std::string text) {
    if (text.size() > 1 && std::isupper(static_cast<unsigned char>(text[0])) &&
        std::islower(static_cast<unsigned char>(text[1])))
        text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

}  // namespace

std::string systemErrorInWords(int error) { return asClause(std::strerror(error)); }

std::string soundFileErrorInWords(const std::string& message) {
    std::string text = message;
    for (const char* label : {"System error : ", "Error : ", "Error: "})
        if (text.rfind(label, 0) == 0) text.erase(0, std::strlen(label));
    while (!text.empty() && (text.back() == '.' || text.back() == ' ' || text.back() == '\n')) text.pop_back();
    if (text.empty()) return "the sound file library gave no reason";
    return asClause(std::move(text));
}

std::string plainMessage(const auhost::HostResult& result) {
    const std::string& message = result.message();
    const std::string code = " (" + std::to_string(result.status()) + ")";
    if (message.size() >= code.size() && message.compare(message.size() - code.size(), code.size(), code) == 0)
        return message.substr(0, message.size() - code.size()) + ": " + statusInWords(result.status());
    return message;
}

}  // namespace kestrincli
