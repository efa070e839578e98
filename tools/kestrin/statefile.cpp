#include "statefile.h"

#include <AudioToolbox/AudioUnitProperties.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "auhost/presetfile.h"
#include "filechecks.h"
#include "plainerror.h"

namespace kestrincli {

namespace {

// A four-character code as its characters when they are printable, else the number.
std::string codeText(SInt64 code) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = char((code >> shift) & 0xFF);
        if (c < 0x20 || c > 0x7E) return std::to_string(code);
        s += c;
    }
    return code >> 32 == 0 ? s : std::to_string(code);
}

bool readCode(CFDictionaryRef dict, const char* key, SInt64& out) {
    auhost::CFRef<CFStringRef> k = auhost::fromUTF8(key);
    const auto value = static_cast<CFNumberRef>(CFDictionaryGetValue(dict, k.get()));
    return value != nullptr && CFGetTypeID(value) == CFNumberGetTypeID() &&
           CFNumberGetValue(value, kCFNumberSInt64Type, &out);
}

}  // namespace

bool loadStateFile(KestrinHost& host, const std::string& path, std::string& error) {
    const std::string prefix = "cannot load the state \"" + path + "\": ";
    if (const std::string why = readProblem(path); !why.empty()) {
        error = prefix + why;
        return false;
    }
    if (!checkStateFileSize(path, error)) {
        error = prefix + error;
        return false;
    }
    auhost::CFRef<CFPropertyListRef> state;
    if (const auhost::HostResult r = auhost::readPresetFile(path, state); !r) {
        // The reader names the file first; the prefix already does.
        std::string why = r.message();
        if (why.rfind(path + ": ", 0) == 0) why.erase(0, path.size() + 2);
        error = prefix + "it is not an .aupreset (a property list holding a unit's type, subtype, manufacturer "
                         "and data): " + why;
        return false;
    }
    const auto dict = static_cast<CFDictionaryRef>(state.get());
    const AudioComponentDescription& ours = host.component().description;
    SInt64 type = 0, subtype = 0, manufacturer = 0;
    if (!readCode(dict, kAUPresetTypeKey, type) || !readCode(dict, kAUPresetSubtypeKey, subtype) ||
        !readCode(dict, kAUPresetManufacturerKey, manufacturer)) {
        error = prefix + "its type, subtype or manufacturer is not a number";
        return false;
    }
    if (type != SInt64(ours.componentType) || subtype != SInt64(ours.componentSubType) ||
        manufacturer != SInt64(ours.componentManufacturer)) {
        error = prefix + "this state belongs to another plug-in (subtype " + codeText(subtype) + ", manufacturer " +
                codeText(manufacturer) + "; Kestrin 3 is " + codeText(ours.componentSubType) + ", " +
                codeText(ours.componentManufacturer) + ")";
        return false;
    }
    if (!host.unit().restoreClassInfo(state.get())) {
        error = prefix + "Kestrin 3 cannot read the sound in it (the data is damaged or from a newer version)";
        return false;
    }
    return true;
}

bool saveStateFile(KestrinHost& host, const std::string& path, std::string& error) {
    const std::string prefix = "cannot save the state to \"" + path + "\": ";
    if (const std::string why = writeProblem(path); !why.empty()) {
        error = prefix + why;
        return false;
    }
    if (!host.unit().savePresetFile(path)) {
        error = prefix + "the file could not be written";
        return false;
    }
    return true;
}

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
    if (const std::string why = writeProblem(path); !why.empty()) {
        error = "cannot save the state to \"" + path + "\": " + why;
        return false;
    }
    fs::path folder = destination.parent_path();
    if (folder.empty()) folder = ".";
    std::string hidden = ".";
    hidden.append(destination.filename().string()).append(".partial-").append(std::to_string(::getpid()));
    std::unique_ptr<PendingState> pending(new PendingState(path, (folder / hidden).string()));
    if (auhost::HostResult r = host.unit().savePresetFile(pending->temporary_); !r) {
        error = "cannot save the state to \"" + path + "\": " + plainMessage(r);
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
        error = "cannot save the state to \"" + path_ + "\": " + systemErrorInWords(errno);
        return false;
    }
    committed_ = true;
    return true;
}

}  // namespace kestrincli
