// Golden images of the whole editor: the default state and a second parameter
// set, at 0.5x, 1x and 2x, as the window shows them. They pin the layout, the
// widgets' drawing and the generated art together. On a mismatch the actual
// and expected pictures and their difference are written to the working
// directory. After an intended change of the art or the drawing, regenerate
// them with KESTRIN_UPDATE_GOLDENS=1 and look at every one before committing.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "editortestsupport.h"
#include "framework/graphics/pngdecode.h"
#include "framework/graphics/pngencode.h"
#include "goldenimage.h"

namespace {

using editorshot::EditorSession;

struct Setting {
    const char* name;
    const char* value;
};

// Every control away from its default, "Sync" on, 8x oversampling.
const std::vector<Setting> kSecondSet = {
    {"Sync", "yes"},         {"Note L", "5"},          {"Note R", "23"},     {"Feedback L", "0.8n"},
    {"Mix L", "0.35n"},      {"Feedback R", "0.15n"},  {"Mix R", "0.9n"},    {"Highpass", "0.6n"},
    {"Lowpass", "0.4n"},     {"Drive", "0.9n"},        {"Gain", "0.3n"},     {"Width", "0.85n"},
    {"Upsample Amount", "3"}};

struct GoldenCase {
    const char* name;
    int width;
    bool secondSet;
};

class EditorGolden : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(EditorGolden, MatchesTheReferencePicture) {
    const GoldenCase& c = GetParam();
    EditorSession s(c.width);
    if (c.secondSet) {
        for (const Setting& setting : kSecondSet) {
            std::string message;
            ASSERT_TRUE(s.applySetting(setting.name, setting.value, message)) << message;
        }
    }
    s.frame();
    const std::string path = std::string(KESTRIN_EDITOR_GOLDEN_DIR) + "/" + c.name + ".png";
    if (const char* update = std::getenv("KESTRIN_UPDATE_GOLDENS"); update != nullptr && *update == '1') {
        ASSERT_TRUE(fw::writePNGFile(path.c_str(), s.screen())) << path;
        GTEST_SKIP() << "wrote " << path;
    }
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file) << "missing golden image " << path;
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    fw::OwnedImage<fw::RGBA> expected;
    ASSERT_TRUE(fw::decodePNG(bytes.data(), bytes.size(), expected)) << path;
    EXPECT_TRUE(testsupport::matchesGolden(c.name, s.screen(), expected));
}

INSTANTIATE_TEST_SUITE_P(Sizes, EditorGolden,
                         ::testing::Values(GoldenCase{"editor-default-0.5x", 450, false},
                                           GoldenCase{"editor-default-1x", 900, false},
                                           GoldenCase{"editor-default-2x", 1800, false},
                                           GoldenCase{"editor-set2-0.5x", 450, true},
                                           GoldenCase{"editor-set2-1x", 900, true},
                                           GoldenCase{"editor-set2-2x", 1800, true}),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (char& ch : n)
                                 if (ch == '-' || ch == '.') ch = '_';
                             return n;
                         });

// A resize repaints everything: the picture after 2x -> 1x equals a fresh 1x one.
TEST(EditorGoldenResize, ResizedEditorShowsWhatAFreshOneShows) {
    EditorSession resized(1800);
    ASSERT_TRUE(resized.resize(900));
    EditorSession fresh(900);
    EXPECT_TRUE(testsupport::matchesGolden("editor-resized-1x", resized.screen(), fresh.screen()));
}

}  // namespace
