#include "plainerror.h"

#include <AudioToolbox/AUComponent.h>
#include <gtest/gtest.h>

#include <cerrno>

namespace {

using auhost::HostResult;
using kestrincli::plainMessage;

TEST(PlainError, ReplacesTheStatusNumberWithWhatItMeans) {
    EXPECT_EQ(plainMessage(HostResult::check(kAudioUnitErr_InvalidPropertyValue, "restoring the class info")),
              "restoring the class info failed: the plug-in refused the value");
    EXPECT_EQ(plainMessage(HostResult::check(kAudioUnitErr_FormatNotSupported, "setting the input format")),
              "setting the input format failed: the audio format is not supported");
    // A status the table does not know still gives words, never the number.
    const std::string unknown = plainMessage(HostResult::check(-12345, "rendering"));
    EXPECT_EQ(unknown.find("12345"), std::string::npos) << unknown;
    EXPECT_EQ(unknown.rfind("rendering failed: ", 0), 0u) << unknown;
}

TEST(PlainError, LeavesMessagesWithoutAStatusAlone) {
    EXPECT_EQ(plainMessage(HostResult::failure(kAudio_FileNotFoundError, "no plug-in bundle at /x")),
              "no plug-in bundle at /x");
    // A number in the text that is not the status stays.
    EXPECT_EQ(plainMessage(HostResult::failure(-50, "take (7)")), "take (7)");
}

TEST(PlainError, SoundFileAndSystemMessagesLoseTheirLabels) {
    using kestrincli::soundFileErrorInWords;
    EXPECT_EQ(soundFileErrorInWords("System error : No such file or directory."), "no such file or directory");
    EXPECT_EQ(soundFileErrorInWords("Error : Format not recognised."), "format not recognised");
    EXPECT_EQ(soundFileErrorInWords("File contains data in an unknown format."), "file contains data in an unknown format");
    EXPECT_EQ(soundFileErrorInWords(""), "the sound file library gave no reason");
    EXPECT_EQ(kestrincli::systemErrorInWords(ENOSPC), "no space left on device");
    EXPECT_EQ(kestrincli::systemErrorInWords(EACCES), "permission denied");
}

}  // namespace
