#include "commandline.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using kestrincli::CommandKind;
using kestrincli::parseCommandLine;

kestrincli::ParseResult parse(std::vector<const char*> args) {
    args.insert(args.begin(), "kestrin");
    return parseCommandLine(int(args.size()), args.data());
}

TEST(CommandLine, ReadsARenderWithEveryOption) {
    const auto r = parse({"render", "in.flac", "-o", "out.wav", "--preset", "2", "--set", " Delay L = 350 ",
                          "--set", "Mix R=0.5n", "--tempo", "98.5", "--upsample", "4", "--block", "64", "--bypass",
                          "--state", "a.aupreset", "--save-state", "b.aupreset", "--tail", "2.5", "-q"});
    ASSERT_TRUE(r.ok) << r.error;
    const auto& c = r.command;
    EXPECT_EQ(c.kind, CommandKind::render);
    EXPECT_EQ(*c.input, "in.flac");
    EXPECT_EQ(*c.output, "out.wav");
    EXPECT_EQ(*c.preset, "2");
    ASSERT_EQ(c.settings.size(), 2u);
    EXPECT_EQ(c.settings[0].name, "Delay L");  // spaces around name and value are trimmed
    EXPECT_EQ(c.settings[0].value, "350");
    EXPECT_EQ(c.settings[1].value, "0.5n");
    EXPECT_DOUBLE_EQ(*c.tempo, 98.5);
    EXPECT_EQ(*c.upsample, 4);
    EXPECT_EQ(c.block, 64);
    EXPECT_TRUE(c.bypass);
    EXPECT_EQ(*c.stateIn, "a.aupreset");
    EXPECT_EQ(*c.stateOut, "b.aupreset");
    EXPECT_DOUBLE_EQ(*c.tail, 2.5);
    EXPECT_TRUE(c.quiet);
}

TEST(CommandLine, RenderWithoutInputMeansTheDemo) {
    const auto r = parse({"render"});
    ASSERT_TRUE(r.ok);
    EXPECT_FALSE(r.command.input.has_value());
    EXPECT_EQ(r.command.block, 512);
}

TEST(CommandLine, EditTakesWhereToStartAndWhereToSave) {
    const auto r = parse({"edit", "--state", "in.aupreset", "--preset", "Chaotic Bliss", "--set", "Sync=yes",
                          "--upsample", "2", "--save-state", "out.aupreset", "--plugin", "K.component"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.command.kind, kestrincli::CommandKind::edit);
    EXPECT_EQ(r.command.stateIn.value_or(""), "in.aupreset");
    EXPECT_EQ(r.command.preset.value_or(""), "Chaotic Bliss");
    ASSERT_EQ(r.command.settings.size(), 1u);
    EXPECT_EQ(r.command.settings[0].name, "Sync");
    EXPECT_EQ(r.command.upsample.value_or(0), 2);
    EXPECT_EQ(r.command.stateOut.value_or(""), "out.aupreset");
    EXPECT_EQ(r.command.plugin, "K.component");
}

TEST(CommandLine, RefusesMalformedOptionsWithAReason) {
    struct Case {
        std::vector<const char*> args;
        const char* message;
    };
    const Case cases[] = {
        {{"render", "--set", "Delay L"}, "NAME=VALUE"},
        {{"render", "--set", "=3"}, "NAME=VALUE"},
        {{"render", "--tempo", "0"}, "above 0"},
        {{"render", "--tempo", "fast"}, "beats per minute"},
        {{"render", "--upsample", "16"}, "1, 2, 4 or 8"},
        {{"render", "--block", "0"}, "1 to 8192"},
        {{"render", "--block", "12x"}, "1 to 8192"},
        {{"render", "--tail", "-1"}, "0 to 3600"},
        {{"convert", "a.aupreset", "b.aupreset", "-o", "c.lv2"}, "more than one input"},
        {{"render", "a.wav", "-", "-o", "out/"}, "cannot be one of several"},
        {{"render", "-"}, "needs -o FILE, or -o -"},
        {{"render", "a.wav", "b.wav", "-o", "-"}, "several inputs cannot all go to standard output"},
        {{"render", "--bits", "20"}, "16, 24 or 32"},
        {{"render", "--bits", "32", "-o", "x.FLAC"}, "FLAC holds 16 or 24 bits"},
        {{"render", "a.wav", "b.wav", "--format", "flac", "--bits=32"}, "FLAC holds 16 or 24 bits"},
        {{"render", "--format", "mp3"}, "wav, aiff or flac"},
        {{"render", "--format", "flac", "-o", "x.wav"}, "disagrees with -o \"x.wav\""},
        {{"render", "--format", "aiff", "-o", "-"}, "standard output takes WAV only"},
        {{"edit", "--bits", "16"}, "edit takes"},
        {{"render", "-o"}, "-o needs"},
        {{"render", "-o", ""}, "-o needs"},
        {{"render", "--frobnicate"}, "unknown option"},
        {{"info", "--bypass"}, "info takes no option"},
        {{"edit", "-o", "x.wav"}, "edit takes"},
        {{"edit", "--tempo", "90"}, "edit takes"},
        {{"edit", "take.wav"}, "edit takes"},
        {{"edit", "--save-state"}, "--save-state needs"},
        {{"play"}, "unknown command"},
    };
    for (const Case& c : cases) {
        const auto r = parse(c.args);
        EXPECT_FALSE(r.ok) << c.message;
        EXPECT_NE(r.error.find(c.message), std::string::npos) << r.error;
    }
}

TEST(CommandLine, TakesOptionValuesAttachedOrAfterAnEqualsSign) {
    const auto r = parse({"render", "-oout.wav", "--set=Delay L=350ms", "--set", "Mix L=1=2", "--tempo=96",
                          "--upsample=8", "--state=in.aupreset", "--plugin=K.component", "--dry-run"});
    ASSERT_TRUE(r.ok) << r.error;
    const auto& c = r.command;
    EXPECT_EQ(c.output.value_or(""), "out.wav");
    ASSERT_EQ(c.settings.size(), 2u);
    EXPECT_EQ(c.settings[0].name, "Delay L");
    EXPECT_EQ(c.settings[0].value, "350ms");
    EXPECT_EQ(c.settings[1].value, "1=2");  // only the first '=' separates the name
    EXPECT_DOUBLE_EQ(c.tempo.value_or(0), 96);
    EXPECT_EQ(c.upsample.value_or(0), 8);
    EXPECT_EQ(c.stateIn.value_or(""), "in.aupreset");
    EXPECT_EQ(c.plugin, "K.component");
    EXPECT_TRUE(c.dryRun);
    EXPECT_EQ(parse({"render", "--output=a.flac"}).command.output.value_or(""), "a.flac");
    EXPECT_EQ(parse({"render", "-", "-o", "-"}).command.input.value_or(""), "-");  // standard input, not an option
    EXPECT_EQ(parse({"render", "-", "-o", "-"}).command.output.value_or(""), "-");
    EXPECT_EQ(parse({"render", "--bits=24"}).command.bits.value_or(0), 24);
}

TEST(CommandLine, RenderTakesSeveralInputsWithOneSetOfOutputChoices) {
    const auto r = parse({"render", "a.wav", "b.aiff", "c.flac", "-o", "out/", "--bits", "16", "--format", "AIFF",
                          "--keep-going", "--tail", "2"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.command.input.value_or(""), "a.wav");
    EXPECT_EQ(r.command.moreInputs, (std::vector<std::string>{"b.aiff", "c.flac"}));
    EXPECT_EQ(r.command.output.value_or(""), "out/");
    EXPECT_EQ(r.command.bits.value_or(0), 16);
    EXPECT_TRUE(r.command.format == kestrincli::Container::aiff);
    EXPECT_TRUE(r.command.keepGoing);
    // The FLAC default is 24 bits, so a FLAC output without --bits is fine, and
    // --format agrees with a name of its own container in another spelling.
    EXPECT_TRUE(parse({"render", "-o", "x.flac"}).ok);
    EXPECT_TRUE(parse({"render", "--format", "aif", "-o", "x.aiff"}).ok);
}

TEST(CommandLine, HelpNamesTheCommandItWasAskedUnder) {
    struct Case {
        std::vector<const char*> args;
        CommandKind topic;
    };
    const Case cases[] = {
        {{"render", "--help"}, CommandKind::render},     {{"render", "a.wav", "-h"}, CommandKind::render},
        {{"info", "-h"}, CommandKind::info},             {{"edit", "--help"}, CommandKind::edit},
        {{"convert", "-h"}, CommandKind::convert},       {{"help", "render"}, CommandKind::render},
        {{"help", "convert"}, CommandKind::convert},     {{"help"}, CommandKind::help},
        {{"--help"}, CommandKind::help},
    };
    for (const Case& c : cases) {
        const auto r = parse(c.args);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.command.kind, CommandKind::help);
        EXPECT_EQ(r.command.helpTopic, c.topic) << c.args.back();
        EXPECT_EQ(kestrincli::usageText(c.topic).find("Usage:"), 0u);
    }
    // Each command's text is its own; the overview shows every command.
    EXPECT_NE(kestrincli::usageText(CommandKind::render), kestrincli::usageText(CommandKind::edit));
    EXPECT_EQ(kestrincli::usageText(CommandKind::info).find("--dry-run"), std::string::npos);
}

TEST(CommandLine, AFailedParseStillNamesTheCommandForItsHint) {
    EXPECT_EQ(parse({"render", "--bypass=1"}).command.kind, CommandKind::render);
    EXPECT_EQ(parse({"edit", "--dry-run"}).command.kind, CommandKind::edit);
    EXPECT_EQ(parse({"convert", "x"}).command.kind, CommandKind::convert);
    const auto r = parse({"render", "--quiet=yes"});
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("takes no value"), std::string::npos) << r.error;
    EXPECT_EQ(r.error.find('\n'), std::string::npos);  // one line
}

}  // namespace
