// Reading factory presets from an FXB bank.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/client/fxb.h"
#include "testclient.h"

namespace {

using testclient::kCutoff;
using testclient::kDelay;
using testclient::kMode;
using testclient::kSync;
using testclient::makeTestClient;

struct Program {
    std::string name;
    std::vector<float> values;
    std::uint32_t length = 0;      // M, skipped bytes after the size field
    std::string kind = "FxCk";
    std::int32_t version = 1;
    std::string code = "Tst1";
    std::optional<std::int32_t> countOverride{};  // K written instead of values.size()
    bool negativeCount = false;
    bool writeSkippedBytes = true;  // false: claim M bytes without writing them
};

// Writes a bank byte by byte, independently of the reader under test.
class BankBuilder {
public:
    std::uint32_t length = 0;  // L
    std::string kind = "FxBk";
    std::string code = "Tst1";
    std::optional<std::int32_t> countOverride{};  // N written instead of programs.size()
    bool writeSkippedBytes = true;  // false: claim L bytes without writing them
    std::vector<Program> programs;

    std::vector<std::uint8_t> build() const {
        std::vector<std::uint8_t> b;
        tag(b, "CcnK");
        le32(b, length);
        if (writeSkippedBytes) b.insert(b.end(), length, 0xAA);
        tag(b, kind);
        be32(b, 2);  // bank version
        tag(b, code);
        be32(b, 0x00030001);
        be32(b, static_cast<std::uint32_t>(countOverride.value_or(static_cast<std::int32_t>(programs.size()))));
        b.insert(b.end(), 128, 0);
        for (const Program& p : programs) {
            tag(b, "CcnK");
            le32(b, p.length);
            if (p.writeSkippedBytes) b.insert(b.end(), p.length, 0xBB);
            tag(b, p.kind);
            be32(b, static_cast<std::uint32_t>(p.version));
            tag(b, p.code);
            be32(b, 0x00030001);
            const std::int32_t k =
                p.negativeCount ? -1 : p.countOverride.value_or(static_cast<std::int32_t>(p.values.size()));
            be32(b, static_cast<std::uint32_t>(k));
            char name[28] = {};
            std::memcpy(name, p.name.data(), std::min<std::size_t>(p.name.size(), 28));
            b.insert(b.end(), name, name + 28);
            for (float v : p.values) {
                std::uint32_t u;
                std::memcpy(&u, &v, 4);
                be32(b, u);
            }
        }
        return b;
    }

private:
    static void tag(std::vector<std::uint8_t>& b, const std::string& t) { b.insert(b.end(), t.begin(), t.begin() + 4); }
    static void be32(std::vector<std::uint8_t>& b, std::uint32_t v) {
        for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<std::uint8_t>(v >> s));
    }
    static void le32(std::vector<std::uint8_t>& b, std::uint32_t v) {
        for (int s = 0; s <= 24; s += 8) b.push_back(static_cast<std::uint8_t>(v >> s));
    }
};

BankBuilder threePrograms() {
    BankBuilder bank;
    bank.programs = {{"Default", {0.5f, 0.25f, 0.0f, 1.0f}},
                     {"Lead", {0.1f, 0.2f, 0.3f, 0.4f}},
                     {"Chaos", {0.9f, 0.8f, 0.7f, 0.6f}}};
    return bank;
}

// Reads from an exact-size heap copy so that ASan catches any over-read.
fw::FXBPresets read(const fw::Client& client, const std::vector<std::uint8_t>& bytes, std::size_t length,
                    int maxCount = -1) {
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[length == 0 ? 1 : length]);
    if (length != 0) std::memcpy(copy.get(), bytes.data(), length);
    return fw::loadPresetsFromFXB(client, std::span<const std::uint8_t>(copy.get(), length), maxCount);
}

fw::FXBPresets read(const fw::Client& client, const std::vector<std::uint8_t>& bytes, int maxCount = -1) {
    return read(client, bytes, bytes.size(), maxCount);
}

const char* const kBad = "Error in parsing FXB";
const char* const kShort = "Expected a byte, but found end of input";

// ---- Reading ----

TEST(FXBReader, ReadsEveryProgramInFileOrder) {
    auto client = makeTestClient();
    fw::FXBPresets r = read(*client, threePrograms().build());
    ASSERT_TRUE(r.status.ok()) << r.status.message();
    ASSERT_EQ(r.presets.size(), 3u);
    EXPECT_EQ(r.presets[0].name, "Default");
    EXPECT_EQ(r.presets[1].name, "Lead");
    EXPECT_EQ(r.presets[2].name, "Chaos");
    EXPECT_EQ(r.presets[1].normalizedValues, (std::vector<float>{0.1f, 0.2f, 0.3f, 0.4f}));
    EXPECT_EQ(r.presets[2].normalizedValues[kSync], 0.6f);
}

TEST(FXBReader, NameFillingAll28BytesIsKeptWhole) {
    auto client = makeTestClient();
    BankBuilder bank = threePrograms();
    bank.programs[0].name = std::string(28, 'N');
    fw::FXBPresets r = read(*client, bank.build());
    ASSERT_TRUE(r.status.ok());
    EXPECT_EQ(r.presets[0].name, std::string(28, 'N'));
}

TEST(FXBReader, MaxCountLimitsTheProgramsRead) {
    auto client = makeTestClient();
    fw::FXBPresets r = read(*client, threePrograms().build(), 2);
    ASSERT_TRUE(r.status.ok());
    ASSERT_EQ(r.presets.size(), 2u);
    EXPECT_EQ(r.presets[1].name, "Lead");
}

TEST(FXBReader, FewerValuesKeepDefaultsForTheRest) {
    auto client = makeTestClient();
    BankBuilder bank;
    bank.programs = {{"Short", {0.0f, 1.0f}}};
    fw::FXBPresets r = read(*client, bank.build());
    ASSERT_TRUE(r.status.ok());
    const fw::Preset defaults = client->makeDefaultPreset();
    EXPECT_EQ(r.presets[0].normalizedValues[kDelay], 0.0f);
    EXPECT_EQ(r.presets[0].normalizedValues[kCutoff], 1.0f);
    EXPECT_EQ(r.presets[0].normalizedValues[kMode], defaults.normalizedValues[kMode]);
    EXPECT_EQ(r.presets[0].normalizedValues[kSync], defaults.normalizedValues[kSync]);
}

TEST(FXBReader, ExtraValuesAreSkippedAndTheNextProgramStillReads) {
    auto client = makeTestClient();
    BankBuilder bank;
    bank.programs = {{"Long", {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f}}, {"Next", {0.9f, 0.9f, 0.9f, 0.9f}}};
    fw::FXBPresets r = read(*client, bank.build());
    ASSERT_TRUE(r.status.ok());
    ASSERT_EQ(r.presets.size(), 2u);
    EXPECT_EQ(r.presets[0].normalizedValues.size(), 4u);
    EXPECT_EQ(r.presets[0].normalizedValues[kSync], 0.4f);
    EXPECT_EQ(r.presets[1].name, "Next");
}

TEST(FXBReader, SkipsTheDeclaredHeaderLengths) {
    auto client = makeTestClient();
    BankBuilder bank = threePrograms();
    bank.length = 12;
    bank.programs[1].length = 5;
    fw::FXBPresets r = read(*client, bank.build());
    ASSERT_TRUE(r.status.ok()) << r.status.message();
    EXPECT_EQ(r.presets[1].name, "Lead");
    EXPECT_EQ(r.presets[2].name, "Chaos");
}

// ---- Refusals ----

TEST(FXBReader, RejectsWrongBankStructure) {
    auto client = makeTestClient();
    {
        auto bytes = threePrograms().build();
        bytes[0] = 'X';
        EXPECT_STREQ(read(*client, bytes).status.message(), kBad);
    }
    {
        BankBuilder bank = threePrograms();
        bank.kind = "FxBx";
        EXPECT_STREQ(read(*client, bank.build()).status.message(), kBad);
    }
    {
        BankBuilder bank = threePrograms();
        bank.code = "Kst3";
        EXPECT_STREQ(read(*client, bank.build()).status.message(), kBad);
    }
}

TEST(FXBReader, RejectsProgramCountBelowOne) {
    auto client = makeTestClient();
    for (std::int32_t count : {0, -1, -2147483647}) {
        BankBuilder bank = threePrograms();
        bank.countOverride = count;
        fw::FXBPresets r = read(*client, bank.build());
        EXPECT_STREQ(r.status.message(), kBad) << count;
        EXPECT_TRUE(r.presets.empty());
    }
    EXPECT_STREQ(read(*client, threePrograms().build(), 0).status.message(), kBad);
}

TEST(FXBReader, RejectsWrongProgramStructure) {
    auto client = makeTestClient();
    auto expectBad = [&](auto change) {
        BankBuilder bank = threePrograms();
        change(bank.programs[2]);
        fw::FXBPresets r = read(*client, bank.build());
        EXPECT_STREQ(r.status.message(), kBad);
        EXPECT_TRUE(r.presets.empty());
    };
    expectBad([](Program& p) { p.kind = "FPCh"; });  // opaque chunk programs are not read
    expectBad([](Program& p) { p.version = 2; });
    expectBad([](Program& p) { p.version = 0; });
    expectBad([](Program& p) { p.code = "Tst2"; });
    expectBad([](Program& p) { p.negativeCount = true; });

    auto bytes = threePrograms().build();
    bytes[156] = 'c';  // first program's "CcnK"
    EXPECT_STREQ(read(*client, bytes).status.message(), kBad);
}

TEST(FXBReader, EveryTruncationFailsWithEndOfInput) {
    auto client = makeTestClient();
    BankBuilder bank = threePrograms();
    bank.length = 3;
    bank.programs[1].length = 2;
    bank.programs[2].values.push_back(0.5f);  // one value more than parameters
    const auto bytes = bank.build();
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        fw::FXBPresets r = read(*client, bytes, n);
        EXPECT_STREQ(r.status.message(), kShort) << n;
        EXPECT_TRUE(r.presets.empty()) << n;
    }
    EXPECT_TRUE(read(*client, bytes).status.ok());
}

TEST(FXBReader, AbsurdLengthsAndCountsFailCleanly) {
    auto client = makeTestClient();
    {
        BankBuilder bank = threePrograms();
        bank.length = 0xFFFFFFF0u;
        bank.writeSkippedBytes = false;
        EXPECT_STREQ(read(*client, bank.build()).status.message(), kShort);
    }
    {
        BankBuilder bank = threePrograms();
        bank.programs[1].length = 0xFFFFFFFFu;
        bank.programs[1].writeSkippedBytes = false;
        EXPECT_STREQ(read(*client, bank.build()).status.message(), kShort);
    }
    {
        BankBuilder bank = threePrograms();
        bank.countOverride = 0x7FFFFFFF;  // no room is reserved for it
        EXPECT_STREQ(read(*client, bank.build()).status.message(), kShort);
    }
    {
        BankBuilder bank = threePrograms();
        bank.programs[0].countOverride = 0x7FFFFFFF;
        EXPECT_STREQ(read(*client, bank.build()).status.message(), kShort);
    }
}

}  // namespace
