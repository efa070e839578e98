// End-to-end tests of `kestrin`: each runs the built program, as a user would, and
// checks its exit code, its messages and the file it wrote.

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int exitCode = -1;
    std::string out, err;
};

struct Audio {
    int rate = 0;
    std::vector<std::vector<float>> channels;
    std::size_t frames() const { return channels.empty() ? 0 : channels[0].size(); }
};

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string slurp(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class KestrinTool : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kestrin-cli-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path path(const std::string& name) const { return dir_ / name; }

    // Runs `kestrin` with the arguments; standard output and error go to files (so
    // the program sees pipes, not a terminal).
    ToolRun run(const std::vector<std::string>& args) const {
        std::string cmd = quote(KESTRIN_TOOL);
        for (const auto& a : args) cmd.append(" ").append(quote(a));
        cmd.append(" >").append(quote(path("stdout.txt").string()));
        cmd.append(" 2>").append(quote(path("stderr.txt").string()));
        ToolRun r;
        const int status = std::system(cmd.c_str());
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = slurp(path("stdout.txt"));
        r.err = slurp(path("stderr.txt"));
        return r;
    }

    static void writeAudio(const fs::path& p, const Audio& a, int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT) {
        SF_INFO info{};
        info.samplerate = a.rate;
        info.channels = int(a.channels.size());
        info.format = format;
        SNDFILE* f = sf_open(p.c_str(), SFM_WRITE, &info);
        ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
        std::vector<float> inter(a.frames() * a.channels.size());
        for (std::size_t i = 0; i < a.frames(); ++i)
            for (std::size_t c = 0; c < a.channels.size(); ++c) inter[i * a.channels.size() + c] = a.channels[c][i];
        sf_writef_float(f, inter.data(), sf_count_t(a.frames()));
        sf_close(f);
    }

    static Audio readAudio(const fs::path& p) {
        Audio a;
        SF_INFO info{};
        SNDFILE* f = sf_open(p.c_str(), SFM_READ, &info);
        if (f == nullptr) return a;
        a.rate = info.samplerate;
        a.channels.assign(std::size_t(info.channels), {});
        std::vector<float> inter(std::size_t(info.frames) * std::size_t(info.channels));
        sf_readf_float(f, inter.data(), info.frames);
        sf_close(f);
        for (sf_count_t i = 0; i < info.frames; ++i)
            for (int c = 0; c < info.channels; ++c)
                a.channels[std::size_t(c)].push_back(inter[std::size_t(i) * std::size_t(info.channels) + std::size_t(c)]);
        return a;
    }

    static Audio impulse(int rate, double seconds, std::size_t at, int channel, int channels = 2) {
        Audio a;
        a.rate = rate;
        a.channels.assign(std::size_t(channels), std::vector<float>(std::size_t(rate * seconds), 0.0f));
        a.channels[std::size_t(channel)][at] = 0.5f;
        return a;
    }

    static Audio noise(int rate, double seconds, unsigned seed) {
        Audio a;
        a.rate = rate;
        a.channels.assign(2, std::vector<float>(std::size_t(rate * seconds)));
        unsigned s = seed;
        for (auto& ch : a.channels)
            for (float& x : ch) {
                s = s * 1664525u + 1013904223u;
                x = (float(s >> 8) / float(1u << 24) - 0.5f) * 0.6f;
            }
        return a;
    }

    // Energy of a channel over [from, to).
    static double energy(const std::vector<float>& x, std::size_t from, std::size_t to) {
        double e = 0;
        for (std::size_t i = from; i < to && i < x.size(); ++i) e += double(x[i]) * double(x[i]);
        return e;
    }

    fs::path dir_;
};

// ---------------------------------------------------------------------------
// The main job

TEST_F(KestrinTool, RendersTheBuiltInDemoAndSaysWhereItIs) {
    const ToolRun r = run({"render", "-o", path("demo.wav").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(path("demo.wav").string()), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");  // no progress bar on a pipe
    const Audio out = readAudio(path("demo.wav"));
    ASSERT_EQ(out.channels.size(), 2u);
    EXPECT_EQ(out.rate, 48000);
    EXPECT_GT(out.frames(), std::size_t(3.5 * 48000));  // the phrase plus its echoes
    EXPECT_GT(energy(out.channels[0], 0, out.frames()), 10.0);
    EXPECT_GT(energy(out.channels[1], 0, out.frames()), 10.0);
    for (const auto& entry : fs::directory_iterator(dir_))  // nothing left half-written
        EXPECT_EQ(entry.path().filename().string().find(".partial"), std::string::npos);
}

TEST_F(KestrinTool, AnImpulseEchoesOnTheOppositeChannelAtTheSetDelay) {
    // Left input feeds the line set by the R controls, heard on the right output. At
    // 384 kHz with 8x asked the effect runs at 2x (768 kHz, the working-rate ceiling)
    // and says so; the echoes keep their time.
    struct Case {
        int rate;
        int asked, used;  // oversampling factors
    };
    for (const Case& c : {Case{48000, 1, 1}, Case{384000, 8, 2}}) {
        const std::string where = std::to_string(c.rate) + " Hz";
        const std::size_t at = std::size_t(0.05 * c.rate);  // after the crossfade that follows initialisation
        const std::size_t window = std::size_t(0.001 * c.rate);
        writeAudio(path("impulse.wav"), impulse(c.rate, 1.0, at, 0));
        const ToolRun r = run({"render", path("impulse.wav").string(), "-o", path("out.wav").string(), "--set",
                               "Delay R=100", "--set", "Feedback R=50", "--set", "Mix R=0", "--set", "Mix L=0",
                               "--upsample", std::to_string(c.asked), "--tail", "0.5"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::string lowered = std::to_string(c.asked) + "x asked, " + std::to_string(c.used) + "x used at " +
                                    std::to_string(c.rate / 1000) + " kHz";
        EXPECT_EQ(r.out.find("asked") != std::string::npos, c.used < c.asked) << r.out;
        if (c.used < c.asked) {
            EXPECT_NE(r.out.find(lowered), std::string::npos) << r.out;
        }
        const Audio out = readAudio(path("out.wav"));
        ASSERT_EQ(out.frames(), std::size_t(1.5 * c.rate)) << where;
        // A tap delays by trunc(d) + 1 samples at the working rate.
        const double spacing = double(1 + std::size_t(0.1 * c.rate * c.used)) / c.used;
        const auto& right = out.channels[1];
        const auto& left = out.channels[0];
        for (int echo = 0; echo < 4; ++echo) {
            const auto t = std::size_t(double(at) + echo * spacing);
            const auto half = std::size_t(spacing / 2);
            const double around = energy(right, t, t + window);
            const double between = energy(right, t + half, t + half + window);
            EXPECT_GT(around, 100.0 * between) << where << ", echo " << echo;
            if (echo == 0) continue;  // the left output carries the dry impulse itself here
            const auto previous = std::size_t(double(at) + (echo - 1) * spacing);
            const double before = energy(right, previous, previous + window);
            EXPECT_NEAR(around / before, 0.25, 0.1) << where << ": each echo is half the previous one";
            EXPECT_GT(around, 1000.0 * energy(left, t, t + window)) << where << ", echo " << echo << " leaks left";
        }
    }
}

TEST_F(KestrinTool, SettingsChangeTheOutputAsAsked) {
    writeAudio(path("noise.wav"), noise(44100, 0.5, 1));
    // Mix 100 % on both sides is the dry signal alone, plain or normalized.
    ASSERT_EQ(run({"render", path("noise.wav").string(), "-o", path("dry.wav").string(), "--set", "Mix L=100",
                   "--set", "mix r=1n", "--tail", "0"})
                  .exitCode,
              0);
    const Audio in = readAudio(path("noise.wav"));
    const Audio dry = readAudio(path("dry.wav"));
    ASSERT_EQ(dry.frames(), in.frames());
    for (int c = 0; c < 2; ++c)
        EXPECT_EQ(std::memcmp(dry.channels[std::size_t(c)].data(), in.channels[std::size_t(c)].data(),
                              in.frames() * sizeof(float)),
                  0);

    // A preset by number and by name is the same preset, and differs from the default.
    ASSERT_EQ(run({"render", path("noise.wav").string(), "-o", path("p2.wav").string(), "--preset", "2", "--tail",
                   "1"})
                  .exitCode,
              0);
    ASSERT_EQ(run({"render", path("noise.wav").string(), "-o", path("chaos.wav").string(), "--preset",
                   "chaotic bliss", "--tail", "1"})
                  .exitCode,
              0);
    ASSERT_EQ(run({"render", path("noise.wav").string(), "-o", path("default.wav").string(), "--tail", "1"}).exitCode,
              0);
    const Audio p2 = readAudio(path("p2.wav")), chaos = readAudio(path("chaos.wav")),
                def = readAudio(path("default.wav"));
    ASSERT_EQ(p2.frames(), chaos.frames());
    EXPECT_EQ(std::memcmp(p2.channels[0].data(), chaos.channels[0].data(), p2.frames() * sizeof(float)), 0);
    EXPECT_NE(std::memcmp(def.channels[0].data(), chaos.channels[0].data(), p2.frames() * sizeof(float)), 0);

    // Bypassed, the input passes untouched and nothing rings out.
    ASSERT_EQ(run({"render", path("noise.wav").string(), "-o", path("bypass.wav").string(), "--bypass"}).exitCode, 0);
    const Audio bypass = readAudio(path("bypass.wav"));
    ASSERT_EQ(bypass.frames(), in.frames());
    EXPECT_EQ(std::memcmp(bypass.channels[1].data(), in.channels[1].data(), in.frames() * sizeof(float)), 0);
}

TEST_F(KestrinTool, OversamplingAndBlockSizeAreHonoured) {
    writeAudio(path("noise.wav"), noise(48000, 0.3, 2));
    const std::vector<std::string> base = {"render", path("noise.wav").string(), "--tail", "0.2"};
    auto with = [&](std::vector<std::string> extra, const std::string& name) {
        std::vector<std::string> args = base;
        args.insert(args.end(), {"-o", path(name).string()});
        args.insert(args.end(), extra.begin(), extra.end());
        const ToolRun r = run(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return readAudio(path(name));
    };
    const Audio one = with({}, "one.wav");
    const Audio eight = with({"--upsample", "8"}, "eight.wav");
    const Audio small = with({"--block", "37"}, "small.wav");
    ASSERT_EQ(one.frames(), eight.frames());
    EXPECT_NE(std::memcmp(one.channels[0].data(), eight.channels[0].data(), one.frames() * sizeof(float)), 0);
    // With constant settings the effect's result does not depend on where the host's
    // blocks begin and end.
    ASSERT_EQ(one.frames(), small.frames());
    EXPECT_EQ(std::memcmp(one.channels[1].data(), small.channels[1].data(), one.frames() * sizeof(float)), 0);
}

TEST_F(KestrinTool, SavedStateReproducesTheOutputBitForBit) {
    writeAudio(path("noise.wav"), noise(48000, 0.4, 3));
    const ToolRun saved = run({"render", path("noise.wav").string(), "-o", path("a.wav").string(), "--preset",
                           "Lead Guitar Magic", "--set", "Drive=40", "--set", "Width=20", "--upsample", "2",
                           "--save-state", path("state.aupreset").string(), "--tail", "0.5"});
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    const std::string plist = slurp(path("state.aupreset"));
    EXPECT_NE(plist.find("<key>subtype</key>"), std::string::npos);
    EXPECT_NE(plist.find("<integer>1265857587</integer>"), std::string::npos);
    const ToolRun loaded = run({"render", path("noise.wav").string(), "-o", path("b.wav").string(), "--state",
                            path("state.aupreset").string(), "--tail", "0.5"});
    ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
    const Audio a = readAudio(path("a.wav")), b = readAudio(path("b.wav"));
    ASSERT_EQ(a.frames(), b.frames());
    for (int c = 0; c < 2; ++c)
        EXPECT_EQ(std::memcmp(a.channels[std::size_t(c)].data(), b.channels[std::size_t(c)].data(),
                              a.frames() * sizeof(float)),
                  0);
}

TEST_F(KestrinTool, InfoListsParametersAndPresets) {
    const ToolRun r = run({"info"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* text : {"Kestrin 3", "aufx / Kst3 / Tlmw", "3.0.1", "1 in / 2 out", "2 in / 2 out", "infinite",
                             "Delay L", "Upsample Amount", "Chaotic Bliss", "Lead Guitar Magic", "1000.00",
                             "at or below 768 kHz"})
        EXPECT_NE(r.out.find(text), std::string::npos) << text << "\n" << r.out;
}

// ---------------------------------------------------------------------------
// Errors: a message, a non-zero exit, and no output file

struct ErrorCase {
    const char* what;
    std::vector<std::string> args;  // "@name" is replaced by a path in the test folder
    const char* message;            // a part of the expected message
};

TEST_F(KestrinTool, EveryErrorExitsNonZeroWithItsMessageAndLeavesNoFile) {
    writeAudio(path("ok.wav"), noise(48000, 0.1, 4));
    Audio three = noise(48000, 0.1, 5);
    three.channels.push_back(three.channels[0]);
    writeAudio(path("three.wav"), three);
    writeAudio(path("slow.wav"), noise(4000, 0.1, 6));
    { std::ofstream(path("text.wav")) << "this is not audio"; }
    { std::ofstream(path("corrupt.aupreset")) << "<?xml version=\"1.0\"?><plist><dict><key>type"; }
    {
        std::ofstream(path("foreign.aupreset"))
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST "
               "1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">\n<dict>\n"
               "<key>data</key><data>AAECAw==</data><key>manufacturer</key><integer>1634758764</integer>"
               "<key>name</key><string>Other</string><key>subtype</key><integer>1684368505</integer>"
               "<key>type</key><integer>1635083896</integer><key>version</key><integer>1</integer>\n</dict>\n"
               "</plist>\n";
    }
    const ErrorCase cases[] = {
        {"missing input", {"render", "@missing.wav"}, "cannot read"},
        {"not audio", {"render", "@text.wav"}, "cannot read"},
        {"three channels", {"render", "@three.wav"}, "mono or stereo"},
        {"rate too low", {"render", "@slow.wav"}, "8000 Hz to 384000 Hz"},
        {"unknown parameter", {"render", "@ok.wav", "--set", "Delay X=3"}, "the parameters are: Delay L"},
        {"out of range", {"render", "@ok.wav", "--set", "Delay L=5000"}, "from 1.00 to 2000.00"},
        {"not a whole note", {"render", "@ok.wav", "--set", "Note L=3.5"}, "whole number"},
        {"bad normalized", {"render", "@ok.wav", "--set", "Gain=2n"}, "from 0 to 1"},
        {"unknown preset", {"render", "@ok.wav", "--preset", "Jazz"}, "\"Chaotic Bliss\""},
        {"corrupt state", {"render", "@ok.wav", "--state", "@corrupt.aupreset"}, "cannot load the state"},
        {"foreign state", {"render", "@ok.wav", "--state", "@foreign.aupreset"}, "cannot load the state"},
        {"unwritable output", {"render", "@ok.wav", "-o", "@no/such/folder/out.wav"}, "cannot write"},
        {"unknown format", {"render", "@ok.wav", "-o", "@out.mp3"}, ".flac"},
        {"bad option", {"render", "--loud"}, "unknown option"},
        {"bad upsample", {"render", "--upsample", "3"}, "1, 2, 4 or 8"},
    };
    for (const ErrorCase& c : cases) {
        std::vector<std::string> args;
        for (const auto& a : c.args) args.push_back(a[0] == '@' ? path(a.substr(1)).string() : a);
        const bool hasOutput = std::find(args.begin(), args.end(), "-o") != args.end();
        if (!hasOutput) args.insert(args.end(), {"-o", path("result.wav").string()});
        const ToolRun r = run(args);
        EXPECT_NE(r.exitCode, 0) << c.what;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << ": " << r.err;
        EXPECT_FALSE(fs::exists(path("result.wav"))) << c.what;
        EXPECT_FALSE(fs::exists(path("out.mp3"))) << c.what;
        for (const auto& entry : fs::directory_iterator(dir_))
            EXPECT_EQ(entry.path().filename().string().find(".partial"), std::string::npos) << c.what;
    }
}

}  // namespace
