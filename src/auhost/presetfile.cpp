#include "auhost/presetfile.h"

#include <AudioToolbox/AudioUnitProperties.h>

#include <cstdio>
#include <cstdlib>

namespace auhost {

HostResult readPresetFile(const std::string& path, CFRef<CFPropertyListRef>& out) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return HostResult::failure(kAudio_FileNotFoundError, "cannot open " + path);
    std::string bytes;
    char chunk[8192];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (readError) return HostResult::failure(kAudioUnitErr_InvalidFile, "cannot read " + path);
    CFRef<CFDataRef> data(CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(bytes.data()), static_cast<CFIndex>(bytes.size())));
    CFErrorRef error = nullptr;
    CFRef<CFPropertyListRef> plist(
        data ? CFPropertyListCreateWithData(nullptr, data.get(), kCFPropertyListImmutable, nullptr, &error) : nullptr);
    if (!plist) {
        CFRef<CFErrorRef> owned(error);
        CFRef<CFStringRef> why(owned ? CFErrorCopyDescription(owned.get()) : nullptr);
        return HostResult::failure(kAudioUnitErr_InvalidFile, path + ": " + (why ? toUTF8(why.get()) : "unreadable"));
    }
    if (CFGetTypeID(plist.get()) != CFDictionaryGetTypeID())
        return HostResult::failure(kAudioUnitErr_InvalidFile, path + ": not a preset dictionary");
    for (const char* key : {kAUPresetVersionKey, kAUPresetTypeKey, kAUPresetSubtypeKey, kAUPresetManufacturerKey}) {
        CFRef<CFStringRef> k = fromUTF8(key);
        if (!CFDictionaryContainsKey(static_cast<CFDictionaryRef>(plist.get()), k.get()))
            return HostResult::failure(kAudioUnitErr_InvalidFile, path + ": the preset has no \"" + key + "\"");
    }
    out = std::move(plist);
    return HostResult::success();
}

HostResult writePresetFile(const std::string& path, CFPropertyListRef classInfo) {
    CFErrorRef error = nullptr;
    CFRef<CFDataRef> xml(CFPropertyListCreateData(nullptr, classInfo, kCFPropertyListXMLFormat_v1_0, 0, &error));
    if (!xml) {
        CFRef<CFErrorRef> owned(error);
        return HostResult::failure(kAudioUnitErr_InvalidPropertyValue, "the class info is not a property list");
    }
    const std::string temporary = path + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) return HostResult::failure(kAudio_FilePermissionError, "cannot write " + temporary);
    const auto length = static_cast<std::size_t>(CFDataGetLength(xml.get()));
    const bool written = std::fwrite(CFDataGetBytePtr(xml.get()), 1, length, file) == length;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return HostResult::failure(kAudio_FilePermissionError, "cannot write " + path);
    }
    return HostResult::success();
}

std::string userPresetFolder(const std::string& manufacturer, const std::string& unitName) {
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/Library/Audio/Presets/" + manufacturer + "/" + unitName + "/";
}

}  // namespace auhost
