#include "plainerror.h"

#include <AudioToolbox/AUComponent.h>
#include <gtest/gtest.h>

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

}  // namespace
