#include "framework/core/uuid.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace {

TEST(UUID, TextHasVersion4AndVariantBits) {
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        char text[37];
        fw::uuidToString(fw::generateRandomUUID(), text);
        text[36] = 0;
        const std::string s(text);
        EXPECT_EQ(s[8], '-');
        EXPECT_EQ(s[13], '-');
        EXPECT_EQ(s[18], '-');
        EXPECT_EQ(s[23], '-');
        EXPECT_EQ(s[14], '4');
        EXPECT_TRUE(std::strchr("89ab", s[19]) != nullptr) << s;
        for (char c : s) EXPECT_TRUE(std::strchr("0123456789abcdef-", c) != nullptr) << s;
        seen.insert(s);
    }
    EXPECT_EQ(seen.size(), 1000u);  // successive UUIDs differ
}

TEST(UUID, NullTerminatedFormWritesPrefixUuidAndZero) {
    char buffer[60];
    std::memset(buffer, 'x', sizeof buffer);
    ASSERT_TRUE(fw::generateNullTerminatedRandomUUID("PluginCocoaViewFactory_", buffer, sizeof buffer));
    EXPECT_EQ(std::strlen(buffer), 59u);
    EXPECT_EQ(std::strncmp(buffer, "PluginCocoaViewFactory_", 23), 0);
    EXPECT_EQ(buffer[23 + 14], '4');
}

TEST(UUID, RefusesABufferThatIsTooSmall) {
    char buffer[59];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_FALSE(fw::generateNullTerminatedRandomUUID("PluginCocoaViewFactory_", buffer, sizeof buffer));
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], 'x');  // nothing else written
}

}  // namespace
