// End-to-end tests of `kestrin`: each runs the built program, as a user would, and
// checks its exit code, its messages and the file it wrote.

#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sysframeworks/bplistencoder.h"

extern char** environ;

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

    // Runs `kestrin` directly (no shell) and gives its peak resident set in kB.
    int runMeasured(const std::vector<std::string>& args, long& peakKb) const {
        std::vector<std::string> all = {KESTRIN_TOOL};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (::posix_spawn(&pid, KESTRIN_TOOL, nullptr, nullptr, argv.data(), environ) != 0) return -1;
        int status = 0;
        struct rusage usage {};
        if (::wait4(pid, &status, 0, &usage) != pid) return -1;
        peakKb = usage.ru_maxrss;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    static void writeBytes(const fs::path& p, const std::string& bytes) {
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out << bytes;
    }

    // Overwrites `n` little- or big-endian bytes at the first `tag` + `skip`.
    static void patch(const fs::path& p, const char* tag, std::size_t skip, std::uint64_t value, int n, bool big) {
        std::string bytes = slurp(p);
        const std::size_t at = bytes.find(tag);
        ASSERT_NE(at, std::string::npos) << tag;
        for (int i = 0; i < n; ++i)
            bytes[at + skip + std::size_t(i)] = char(value >> (8 * (big ? n - 1 - i : i)));
        writeBytes(p, bytes);
    }

    // The binary property-list form of an XML one.
    static void toBinaryPlist(const fs::path& xml, const fs::path& binary) {
        const std::string text = slurp(xml);
        CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(text.data()), CFIndex(text.size()));
        CFPropertyListRef plist = CFPropertyListCreateWithData(nullptr, data, kCFPropertyListImmutable, nullptr, nullptr);
        CFRelease(data);
        ASSERT_NE(plist, nullptr) << xml;
        const bplisttest::Bytes bytes = bplisttest::encode(plist);
        CFRelease(plist);
        writeBytes(binary, std::string(bytes.begin(), bytes.end()));
    }

    // Energy of a channel over [from, to).
    static double energy(const std::vector<float>& x, std::size_t from, std::size_t to) {
        double e = 0;
        for (std::size_t i = from; i < to && i < x.size(); ++i) e += double(x[i]) * double(x[i]);
        return e;
    }

    // The value `kestrin render --dry-run` shows for a parameter after `settings`;
    // empty when the run fails.
    std::string shownAfter(const std::vector<std::string>& settings, const std::string& parameter) const {
        std::vector<std::string> args = {"render", "--dry-run", "-o", path("never.wav").string()};
        args.insert(args.end(), settings.begin(), settings.end());
        const ToolRun r = run(args);
        if (r.exitCode != 0) return "exit " + std::to_string(r.exitCode) + ": " + r.err;
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);) {
            const auto at = line.find_first_not_of(' ');
            if (at == std::string::npos || line.compare(at, parameter.size(), parameter) != 0) continue;
            const auto value = line.find_first_not_of(' ', at + parameter.size());
            if (value != std::string::npos && value > at + parameter.size()) return line.substr(value);
        }
        return "no line for " + parameter + " in:\n" + r.out;
    }

    // Runs a shell command line in which KESTRIN stands for the program; standard
    // error goes to a file, standard output too unless the line redirects it.
    ToolRun shell(std::string line, bool captureOut = true) const {
        for (std::size_t at; (at = line.find("KESTRIN")) != std::string::npos;) line.replace(at, 7, quote(KESTRIN_TOOL));
        if (captureOut) line.append(" >").append(quote(path("stdout.txt").string()));
        const std::string cmd = "( " + line + " ) 2>" + quote(path("stderr.txt").string());
        ToolRun r;
        const int status = std::system(cmd.c_str());
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = captureOut ? slurp(path("stdout.txt")) : "";
        r.err = slurp(path("stderr.txt"));
        return r;
    }

    // The format libsndfile reads a file as, and its frame count; 0 when unreadable.
    static int formatOf(const fs::path& p, sf_count_t* frames = nullptr) {
        SF_INFO info{};
        SNDFILE* f = sf_open(p.c_str(), SFM_READ, &info);
        if (f == nullptr) return 0;
        sf_close(f);
        if (frames != nullptr) *frames = info.frames;
        return info.format;
    }

    bool noPartialFiles(const fs::path& folder) const {
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.path().filename().string().find(".partial") != std::string::npos) return false;
        return true;
    }

    static bool sameSamples(const Audio& a, const Audio& b) {
        if (a.channels.size() != b.channels.size() || a.frames() != b.frames() || a.rate != b.rate) return false;
        for (std::size_t c = 0; c < a.channels.size(); ++c)
            if (std::memcmp(a.channels[c].data(), b.channels[c].data(), a.frames() * sizeof(float)) != 0) return false;
        return true;
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
    // Hosts also save presets as binary property lists; the same state loads from one.
    toBinaryPlist(path("state.aupreset"), path("binary.aupreset"));
    ASSERT_EQ(slurp(path("binary.aupreset")).rfind("bplist00", 0), 0u);
    const ToolRun binary = run({"render", path("noise.wav").string(), "-o", path("c.wav").string(), "--state",
                                path("binary.aupreset").string(), "--tail", "0.5"});
    ASSERT_EQ(binary.exitCode, 0) << binary.err;
    const Audio a = readAudio(path("a.wav")), b = readAudio(path("b.wav")), c = readAudio(path("c.wav"));
    ASSERT_EQ(a.frames(), b.frames());
    ASSERT_EQ(a.frames(), c.frames());
    for (int ch = 0; ch < 2; ++ch) {
        const auto n = a.frames() * sizeof(float);
        EXPECT_EQ(std::memcmp(a.channels[std::size_t(ch)].data(), b.channels[std::size_t(ch)].data(), n), 0);
        EXPECT_EQ(std::memcmp(a.channels[std::size_t(ch)].data(), c.channels[std::size_t(ch)].data(), n), 0);
    }
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
    int exitCode = 1;               // 2 for a command line that does not parse
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
    // Damaged and hostile inputs.
    const Audio second = noise(48000, 1.0, 7);
    writeAudio(path("pcm.wav"), second, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    fs::copy_file(path("pcm.wav"), path("cut.wav"));
    fs::resize_file(path("cut.wav"), fs::file_size(path("pcm.wav")) / 2);
    fs::copy_file(path("pcm.wav"), path("claims4g.wav"));
    patch(path("claims4g.wav"), "data", 4, 0xFFFFFFF0u, 4, false);
    fs::copy_file(path("pcm.wav"), path("claims2g.wav"));
    patch(path("claims2g.wav"), "data", 4, 0x80000000u, 4, false);
    fs::copy_file(path("pcm.wav"), path("fast.wav"));
    patch(path("fast.wav"), "fmt ", 12, 0xFFFFFFFFu, 4, false);  // the sample rate
    writeAudio(path("pcm.aiff"), second, SF_FORMAT_AIFF | SF_FORMAT_PCM_16);
    fs::copy_file(path("pcm.aiff"), path("cut.aiff"));
    fs::resize_file(path("cut.aiff"), fs::file_size(path("pcm.aiff")) - 1000);
    fs::copy_file(path("pcm.aiff"), path("claims4g.aiff"));
    patch(path("claims4g.aiff"), "SSND", 4, 0xFFFFFFF0u, 4, true);
    writeAudio(path("whole.flac"), second, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    fs::copy_file(path("whole.flac"), path("cut.flac"));
    fs::resize_file(path("cut.flac"), fs::file_size(path("whole.flac")) / 2);
    writeAudio(path("empty.wav"), Audio{48000, {{}, {}}});
    Audio nan = noise(48000, 0.5, 8);
    nan.channels[1][20000] = std::nanf("");
    writeAudio(path("nan.wav"), nan);
    Audio inf = noise(48000, 0.5, 9);
    inf.channels[0][3] = -INFINITY;
    writeAudio(path("inf.aiff"), inf, SF_FORMAT_AIFF | SF_FORMAT_FLOAT);
    // States: enormous, nested without end (in both forms), binary but broken.
    { std::ofstream(path("huge.aupreset")) << "<plist>"; }
    fs::resize_file(path("huge.aupreset"), 17u << 20);
    {
        std::string deep = "<?xml version=\"1.0\"?><plist>";
        for (int i = 0; i < 100000; ++i) deep += "<array>";
        writeBytes(path("deep.aupreset"), deep);
        bplisttest::Builder b(4);
        for (std::size_t i = 0; i + 1 < 100000; ++i) b.add(b.array({i + 1}));
        b.add(b.array({}));
        const bplisttest::Bytes bytes = b.finish(0);
        writeBytes(path("deep-binary.aupreset"), std::string(bytes.begin(), bytes.end()));
    }
    writeBytes(path("broken-binary.aupreset"), std::string("bplist00") + std::string(40, '\xFF'));
    toBinaryPlist(path("foreign.aupreset"), path("foreign-binary.aupreset"));

    const ErrorCase cases[] = {
        {"WAV cut short", {"render", "@cut.wav"},
         "the header claims 192000 bytes (192.0 kB) of audio data, the file holds 95978 bytes (96.0 kB)"},
        {"WAV claiming 4 GB", {"render", "@claims4g.wav"}, "claims 4294967280 bytes (4.3 GB)"},
        {"WAV claiming 2 GB", {"render", "@claims2g.wav"}, "claims 2147483648 bytes (2.1 GB)"},
        {"AIFF cut short", {"render", "@cut.aiff"}, "claims 192000 bytes (192.0 kB) of audio data, the file holds 191000"},
        {"AIFF claiming 4 GB", {"render", "@claims4g.aiff"}, "claims 4294967272 bytes (4.3 GB)"},
        {"FLAC cut short", {"render", "@cut.flac"}, "cannot read"},
        {"no frames", {"render", "@empty.wav"}, "holds no audio (0 frames)"},
        {"NaN sample", {"render", "@nan.wav"}, "not a finite number (NaN) at 0.417 s (frame 20000, channel 2)"},
        {"infinite sample", {"render", "@inf.aiff"}, "not a finite number (infinite) at 0.000 s (frame 3, channel 1)"},
        {"absurd rate", {"render", "@fast.wav"}, "sampled at 4294967295 Hz; Kestrin 3 renders at 8000 Hz to 384000 Hz"},
        {"enormous state", {"render", "@ok.wav", "--state", "@huge.aupreset"}, "a state file holds at most 16 MB"},
        {"deeply nested state", {"render", "@ok.wav", "--state", "@deep.aupreset"}, "nested too deeply"},
        {"deeply nested binary state", {"render", "@ok.wav", "--state", "@deep-binary.aupreset"},
         "nested more than 512 deep"},
        {"broken binary state", {"render", "@ok.wav", "--state", "@broken-binary.aupreset"}, "binary property list:"},
        {"foreign binary state", {"render", "@ok.wav", "--state", "@foreign-binary.aupreset"}, "cannot load the state"},
        {"unwritable state", {"render", "@ok.wav", "--save-state", "@no/such/folder/s.aupreset"},
         "cannot save the state"},
        {"state in a folder", {"render", "@ok.wav", "--save-state", "@."}, "it is a folder"},
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
        {"bad option", {"render", "--loud"}, "unknown option", 2},
        {"bad upsample", {"render", "--upsample", "3"}, "1, 2, 4 or 8", 2},
    };
    for (const ErrorCase& c : cases) {
        std::vector<std::string> args;
        for (const auto& a : c.args) args.push_back(a[0] == '@' ? path(a.substr(1)).string() : a);
        const bool hasOutput = std::find(args.begin(), args.end(), "-o") != args.end();
        if (!hasOutput) args.insert(args.end(), {"-o", path("result.wav").string()});
        // The state is saved only along with a complete render.
        const bool savesState = std::find(args.begin(), args.end(), "--save-state") != args.end();
        if (!savesState && args[0] == "render")
            args.insert(args.end(), {"--save-state", path("saved.aupreset").string()});
        const ToolRun r = run(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.what;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << ": " << r.err;
        EXPECT_FALSE(fs::exists(path("result.wav"))) << c.what;
        EXPECT_FALSE(fs::exists(path("saved.aupreset"))) << c.what;
        EXPECT_FALSE(fs::exists(path("out.mp3"))) << c.what;
        for (const auto& entry : fs::directory_iterator(dir_))
            EXPECT_EQ(entry.path().filename().string().find(".partial"), std::string::npos) << c.what;
    }
}

TEST_F(KestrinTool, MemoryStaysBoundedWhateverTheInputLengthAndFactor) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's shadow memory says nothing about the program's own";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    GTEST_SKIP() << "a sanitizer's shadow memory says nothing about the program's own";
#endif
#endif
    // Ten minutes of 16-bit stereo at 48 kHz (115 MB), written block by block.
    constexpr int kRate = 48000;
    constexpr int kSeconds = 600;
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path("long.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    std::vector<short> second(std::size_t(kRate) * 2);
    unsigned seed = 11;
    for (short& x : second) {
        seed = seed * 1664525u + 1013904223u;
        x = short(int(seed >> 20) - 2048);
    }
    for (int s = 0; s < kSeconds; ++s) ASSERT_EQ(sf_writef_short(f, second.data(), kRate), kRate);
    sf_close(f);
    ASSERT_GT(fs::file_size(path("long.wav")), 115000000u);

    // The limit is far below the input's size, let alone its decoded floats (230 MB).
    constexpr long kLimitKb = 64 * 1024;
    struct Case {
        int factor;
        int seconds;  // of the input rendered
    };
    // At 8x each second costs eight times the work; a minute shows the same bound.
    for (const Case& c : {Case{1, kSeconds}, Case{8, 60}}) {
        if (c.seconds < kSeconds) fs::resize_file(path("long.wav"), 44 + std::uintmax_t(c.seconds) * kRate * 4);
        if (c.seconds < kSeconds) patch(path("long.wav"), "data", 4, std::uint64_t(c.seconds) * kRate * 4, 4, false);
        long peakKb = 0;
        const int code = runMeasured({"render", path("long.wav").string(), "-o", path("out.wav").string(),
                                      "--upsample", std::to_string(c.factor), "--tail", "0", "-q"},
                                     peakKb);
        ASSERT_EQ(code, 0) << c.factor << "x";
        SF_INFO written{};
        SNDFILE* out = sf_open(path("out.wav").c_str(), SFM_READ, &written);
        ASSERT_NE(out, nullptr);
        sf_close(out);
        EXPECT_EQ(written.frames, sf_count_t(c.seconds) * kRate) << c.factor << "x: every input frame, no tail";
        EXPECT_LT(peakKb, kLimitKb) << c.factor << "x: peak " << peakKb << " kB";
        std::printf("peak resident set at %dx for %d s of input: %ld kB\n", c.factor, c.seconds, peakKb);
    }
}


// ---------------------------------------------------------------------------
// Saying what is set: value forms, refusals, info and --dry-run

TEST_F(KestrinTool, EveryValueFormSetsWhatItsPlainValueSets) {
    struct Form {
        const char* parameter;
        std::vector<const char*> typed;  // all set the same value
        const char* shown;               // as --dry-run shows it
    };
    const Form forms[] = {
        {"Delay L", {"350", "350ms", "350 ms", "0.35s", "0.35 S"}, "350.00 ms"},
        {"Delay R", {"1500", "1.5s", "1500MS"}, "1500.00 ms"},
        {"Mix L", {"30", "30%", "30 %"}, "30.00 %"},
        {"Lowpass", {"1500", "1500Hz", "1.5kHz", "1.5 khz"}, "1500.00 Hz"},
        {"Note R", {"1/8", "2/16", "1"}, "1/8"},
        {"Note L", {"3/16", "2"}, "3/16"},
        {"Note L", {"1 & 1/2", "1&1/2", "3/2", "24/16", "23"}, "1 & 1/2"},
        {"Note L", {"1/1", "4/4", "15"}, "1"},
        {"Note R", {"2/1", "1 & 16/16", "31"}, "2"},
        {"Sync", {"on", "ON", "yes", "true", "1", "1n"}, "on"},
        {"Sync", {"off", "no", "False", "0"}, "off"},
        {"Upsample Amount", {"4x", "4X", "2"}, "4x"},
        {"Upsample Amount", {"8x", "3", "1n"}, "8x"},
    };
    for (const Form& f : forms) {
        std::string first;
        for (const char* typed : f.typed) {
            const std::string name = f.parameter;
            // Both spellings of the option: the value as the next word and after '='.
            const std::string separate = shownAfter({"--set", name + "=" + typed}, name);
            const std::string attached = shownAfter({"--set=" + name + "=" + typed}, name);
            EXPECT_EQ(separate, attached) << name << "=" << typed;
            if (*f.shown) {
                EXPECT_EQ(separate, f.shown) << name << "=" << typed;
            }
            if (first.empty()) first = separate;
            EXPECT_EQ(separate, first) << name << "=" << typed << " differs from " << name << "=" << f.typed[0];
        }
    }
    // The note parameters' normalized form still addresses the index.
    EXPECT_EQ(shownAfter({"--set", "Note L=0n"}, "Note L"), "1/16");
}

TEST_F(KestrinTool, MismatchedUnitsAndImpossibleValuesAreRefusedWithTheFormsThatWork) {
    const ErrorCase cases[] = {
        {"hertz for a delay", {"--set", "Delay L=350Hz"}, "Delay L is a time in milliseconds: write 350, 350ms or 0.35s"},
        {"percent for a delay", {"--set", "Delay R=50%"}, "milliseconds"},
        {"time for a mix", {"--set", "Mix L=5ms"}, "Mix L is a percentage: write 50 or 50%"},
        {"time for a cut-off", {"--set", "Lowpass=2s"}, "Lowpass is a frequency in hertz"},
        {"seconds out of range", {"--set", "Delay L=3s"}, "from 1.00 to 2000.00 (got 3s)"},
        {"kilohertz out of range", {"--set", "Highpass=12kHz"}, "from 60.00 to 10000.00"},
        {"a 32nd note", {"--set", "Note R=1/32"}, "Note R takes a note value in sixteenths from 1/16 to 2/1"},
        {"a triplet", {"--set", "Note R=1/3"}, "note value in sixteenths"},
        {"longer than two whole notes", {"--set", "Note L=2 & 1/16"}, "note value"},
        {"index past the last note", {"--set", "Note L=32"}, "index, a whole number from 0 to 31"},
        {"zero note", {"--set", "Note L=0/4"}, "note value"},
        {"a word for a switch", {"--set", "Sync=maybe"}, "Sync is a switch: use on or off"},
        {"a factor that does not exist", {"--set", "Upsample Amount=3x"}, "1x, 2x, 4x or 8x, or its index 0 to 3"},
        {"a factor as a plain 8", {"--set", "Upsample Amount=8"}, "1x, 2x, 4x or 8x"},
        {"the tempo", {"--set", "Tempo=96"}, "Tempo follows the host's tempo"},
        {"no number", {"--set", "Width=wide"}, "is not a number"},
    };
    for (const ErrorCase& c : cases) {
        std::vector<std::string> args = {"render", "-o", path("result.wav").string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ToolRun r = run(args);
        EXPECT_EQ(r.exitCode, 1) << c.what;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << ": " << r.err;
        EXPECT_FALSE(fs::exists(path("result.wav"))) << c.what;
    }
    // The tempo's refusal says which option to use, with the value given.
    EXPECT_NE(run({"render", "--set", "tempo=96.5bpm"}).err.find("use --tempo 96.5"), std::string::npos);
}

TEST_F(KestrinTool, InfoGivesEachParameterItsUnitRangeDefaultAndPurpose) {
    const ToolRun r = run({"info"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto lineOf = [&](const std::string& name) {
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);)
            if (line.find(" " + name + " ") != std::string::npos && line.find("..") != std::string::npos) return line;
        return std::string();
    };
    struct Expected {
        const char* name;
        std::vector<const char*> parts;
    };
    const Expected expected[] = {
        {"Delay L", {" ms ", "1.00 .. 2000.00", "1000.00", "left"}},
        {"Note L", {" note ", "1/16 .. 2", " 1/4 "}},
        {"Note R", {" note ", "1/16 .. 2", " 3/8 "}},
        {"Mix L", {" % ", "0.00 .. 100.00", "share of the dry signal", "100 % is the input alone"}},
        {"Mix R", {" % ", "100 % is the input alone"}},
        {"Lowpass", {" Hz ", "1000.00 .. 20000.00", "18000.00"}},
        {"Tempo", {" bpm ", "--tempo"}},
        {"Upsample Amount", {"1x .. 8x", " 1x "}},
    };
    for (const Expected& e : expected) {
        const std::string line = lineOf(e.name);
        ASSERT_FALSE(line.empty()) << e.name << "\n" << r.out;
        for (const char* part : e.parts) EXPECT_NE(line.find(part), std::string::npos) << e.name << ": " << line;
    }
    EXPECT_NE(r.out.find("off, on"), std::string::npos) << r.out;  // Sync
}

TEST_F(KestrinTool, DryRunShowsTheSettingsInOrderOfApplicationAndWritesNothing) {
    // A state, then a preset over it, then --set and --upsample over both.
    ASSERT_EQ(run({"render", "-o", path("a.wav").string(), "--tail", "0", "--set", "Gain=40", "--set", "Width=20",
                   "--save-state", path("state.aupreset").string()})
                  .exitCode,
              0);
    fs::remove(path("a.wav"));
    const std::vector<std::string> args = {"render", path("missing-but-not-read.wav").string(), "--dry-run",
                                           "--state", path("state.aupreset").string(), "--preset", "Lead Guitar Magic",
                                           "--set", "Width=35%", "--upsample", "2", "--tempo", "90",
                                           "--save-state", path("not-saved.aupreset").string()};
    const ToolRun r = run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("nothing rendered"), std::string::npos) << r.out;
    std::istringstream lines(r.out);
    int parameters = 0;
    for (std::string line; std::getline(lines, line);) parameters += line.rfind("  ", 0) == 0 ? 1 : 0;
    EXPECT_EQ(parameters, 17) << r.out;  // every parameter, and the bypass
    const std::vector<std::string> set = {"--state", path("state.aupreset").string(), "--preset", "Lead Guitar Magic",
                                          "--set", "Width=35%", "--upsample", "2", "--tempo", "90"};
    EXPECT_EQ(shownAfter(set, "Width"), "35.00 %");     // --set wins over the preset
    EXPECT_EQ(shownAfter(set, "Gain"), "0.00 %");       // the preset replaced the state
    EXPECT_EQ(shownAfter(set, "Upsample Amount"), "2x");
    EXPECT_EQ(shownAfter(set, "Tempo").rfind("90.00 bpm", 0), 0u) << shownAfter(set, "Tempo");
    EXPECT_EQ(shownAfter({"--state", path("state.aupreset").string()}, "Gain"), "40.00 %");
    EXPECT_EQ(shownAfter({"--preset", "2"}, "Mix L"), shownAfter({"--preset", "Chaotic Bliss"}, "Mix L"));
    EXPECT_FALSE(fs::exists(path("missing-but-not-read-kestrin.wav")));
    EXPECT_FALSE(fs::exists(path("never.wav")));
    EXPECT_FALSE(fs::exists(path("not-saved.aupreset")));
    // Errors in the settings still fail the dry run.
    EXPECT_EQ(run({"render", "--dry-run", "--set", "Mix L=500"}).exitCode, 1);
}

// ---------------------------------------------------------------------------
// Conventions: help, attached values, usage errors, plain messages, Ctrl-C

TEST_F(KestrinTool, HelpIsThereUnderEveryCommand) {
    const std::string render = run({"help", "render"}).out;
    EXPECT_EQ(render.rfind("Usage: kestrin render", 0), 0u) << render;
    EXPECT_NE(render.find("--dry-run"), std::string::npos);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"render", "--help"},
                                                std::vector<std::string>{"render", "-h"},
                                                std::vector<std::string>{"render", "in.wav", "--set", "Mix L=1", "-h"}}) {
        const ToolRun r = run(args);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out, render) << args.back();
    }
    for (const char* command : {"info", "edit", "convert"}) {
        const ToolRun r = run({command, "-h"});
        EXPECT_EQ(r.exitCode, 0) << command;
        EXPECT_EQ(r.out.rfind(std::string("Usage: kestrin ") + command, 0), 0u) << r.out;
        EXPECT_EQ(r.out, run({"help", command}).out) << command;
        EXPECT_EQ(r.out, run({command, "--help"}).out) << command;
    }
    const ToolRun overview = run({"--help"});
    EXPECT_EQ(overview.exitCode, 0);
    for (const char* command : {"kestrin render", "kestrin info", "kestrin edit", "kestrin convert"})
        EXPECT_NE(overview.out.find(command), std::string::npos) << command;
}

TEST_F(KestrinTool, OptionValuesMayBeAttached) {
    writeAudio(path("in.wav"), noise(48000, 0.1, 7));
    const ToolRun shortForm = run({"render", path("in.wav").string(), "-o" + path("short.wav").string(), "--tail=0",
                                   "--block=64", "--set=Mix L=100%", "--upsample=2"});
    ASSERT_EQ(shortForm.exitCode, 0) << shortForm.err;
    const ToolRun longForm = run({"render", path("in.wav").string(), "--output=" + path("long.wav").string(),
                                  "--tail", "0", "--block", "64", "--set", "Mix L=100", "--upsample", "2"});
    ASSERT_EQ(longForm.exitCode, 0) << longForm.err;
    const Audio a = readAudio(path("short.wav")), b = readAudio(path("long.wav"));
    ASSERT_EQ(a.frames(), std::size_t(4800));
    ASSERT_EQ(b.frames(), a.frames());
    for (int c = 0; c < 2; ++c)
        EXPECT_EQ(std::memcmp(a.channels[std::size_t(c)].data(), b.channels[std::size_t(c)].data(),
                              a.frames() * sizeof(float)),
                  0);
}

TEST_F(KestrinTool, AUsageErrorIsOneLineAndWhereToReadMore) {
    struct Usage {
        std::vector<std::string> args;
        const char* message;
        const char* hint;
    };
    const Usage cases[] = {
        {{"render", "--loud"}, "kestrin: unknown option \"--loud\"", "see: kestrin help render"},
        {{"render", "--tempo=fast"}, "beats per minute", "see: kestrin help render"},
        {{"render", "--bypass=yes"}, "--bypass takes no value", "see: kestrin help render"},
        {{"render", "--set="}, "--set needs", "see: kestrin help render"},
        {{"edit", "--tempo", "90"}, "edit takes", "see: kestrin help edit"},
        {{"info", "extra"}, "info takes no option", "see: kestrin help info"},
        {{"convert", "a.aupreset"}, "convert needs", "see: kestrin help convert"},
        {{"play"}, "unknown command", "see: kestrin help"},
        {{"help", "play"}, "no command \"play\"", "see: kestrin help"},
    };
    for (const Usage& c : cases) {
        const ToolRun r = run(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.message;
        const auto newline = r.err.find('\n');
        ASSERT_NE(newline, std::string::npos) << r.err;
        EXPECT_NE(r.err.substr(0, newline).find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.substr(newline + 1), std::string(c.hint) + "\n") << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(KestrinTool, FileErrorsNameTheFileAndTheCauseInPlainWords) {
    writeAudio(path("ok.wav"), noise(48000, 0.1, 8));
    fs::create_directory(path("folder.wav"));
    { std::ofstream(path("plain.txt")) << "not a folder"; }
    {
        std::ofstream(path("foreign.aupreset"))
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
               "<key>data</key><data>AAECAw==</data><key>manufacturer</key><integer>1634758764</integer>"
               "<key>name</key><string>Other</string><key>subtype</key><integer>1684368505</integer>"
               "<key>type</key><integer>1635083896</integer><key>version</key><integer>0</integer>\n</dict>\n"
               "</plist>\n";
    }
    const std::string ok = path("ok.wav").string();
    const ErrorCase cases[] = {
        {"missing input", {"render", "@missing.wav"}, "cannot read \"@missing.wav\": no such file"},
        {"input is a folder", {"render", "@folder.wav"}, "cannot read \"@folder.wav\": it is a folder"},
        {"foreign state", {"render", ok, "--state", "@foreign.aupreset"},
         "cannot load the state \"@foreign.aupreset\": this state belongs to another plug-in (subtype dely, "
         "manufacturer appl"},
        {"missing state", {"render", ok, "--state", "@none.aupreset"}, "\"@none.aupreset\": no such file"},
        {"state is not a plist", {"render", ok, "--state", "@ok.wav"}, "\"@ok.wav\": it is not an .aupreset"},
        {"missing folder", {"render", ok, "-o", "@no/such/out.wav"}, "\"@no/such/out.wav\": folder @no/such/ does not exist"},
        {"output under a file", {"render", ok, "-o", "@plain.txt/out.wav"}, "@plain.txt/ is not a folder"},
        {"state into a missing folder", {"render", ok, "--save-state", "@gone/s.aupreset"},
         "cannot save the state to \"@gone/s.aupreset\": folder @gone/ does not exist"},
        {"convert a foreign state", {"convert", "@foreign.aupreset", "-o", "@x.lv2"}, "belongs to another plug-in"},
    };
    for (const ErrorCase& c : cases) {
        std::vector<std::string> args;
        for (const auto& a : c.args) args.push_back(a[0] == '@' ? path(a.substr(1)).string() : a);
        if (args[0] == "render" && std::find(args.begin(), args.end(), "-o") == args.end())
            args.insert(args.end(), {"-o", path("result.wav").string()});
        std::string message = c.message;
        for (std::size_t at; (at = message.find('@')) != std::string::npos;) message.replace(at, 1, dir_.string() + "/");
        const ToolRun r = run(args);
        EXPECT_EQ(r.exitCode, 1) << c.what;
        EXPECT_NE(r.err.find(message), std::string::npos) << c.what << ": " << r.err;
        EXPECT_EQ(r.err.find("System error"), std::string::npos) << c.what << ": " << r.err;
        EXPECT_EQ(r.err.find("(-"), std::string::npos) << c.what << ": a raw status in " << r.err;
        EXPECT_FALSE(fs::exists(path("result.wav"))) << c.what;
    }
    if (::geteuid() != 0) {  // the superuser writes anywhere
        fs::create_directory(path("ro"));
        fs::permissions(path("ro"), fs::perms::owner_read | fs::perms::owner_exec);
        const ToolRun r = run({"render", ok, "-o", path("ro/out.wav").string()});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find("folder " + path("ro").string() + "/ is not writable"), std::string::npos) << r.err;
        fs::permissions(path("ro"), fs::perms::owner_all);
    }
}

TEST_F(KestrinTool, CtrlCStopsARenderWithCode130AndLeavesNoFile) {
    writeAudio(path("long.wav"), noise(48000, 2.0, 9));
    const std::string tool = KESTRIN_TOOL, in = path("long.wav").string(), out = path("out.wav").string();
    // An hour of tail at 8x: far longer than the test waits.
    std::vector<std::string> args = {tool, "render", in, "-o", out, "--upsample", "8", "--tail", "3600", "-q"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, tool.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    // The interrupt handler is in place once the partial output exists.
    bool started = false;
    for (int i = 0; i < 600 && !started; ++i) {
        for (const auto& entry : fs::directory_iterator(dir_))
            started = started || entry.path().filename().string().find(".partial") != std::string::npos;
        if (!started) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(started);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_FALSE(fs::exists(out));
    for (const auto& entry : fs::directory_iterator(dir_))
        EXPECT_EQ(entry.path().filename().string().find(".partial"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Bypass

TEST_F(KestrinTool, MonoInputBypassedIsHeardOnBothOutputs) {
    Audio mono = noise(48000, 0.2, 10);
    mono.channels.pop_back();
    writeAudio(path("mono.wav"), mono);
    ASSERT_EQ(run({"render", path("mono.wav").string(), "-o", path("bypass.wav").string(), "--bypass"}).exitCode, 0);
    const Audio out = readAudio(path("bypass.wav"));
    ASSERT_EQ(out.channels.size(), 2u);
    ASSERT_EQ(out.frames(), mono.frames());
    for (int c = 0; c < 2; ++c)
        EXPECT_EQ(std::memcmp(out.channels[std::size_t(c)].data(), mono.channels[0].data(),
                              mono.frames() * sizeof(float)),
                  0)
            << "output " << c;
    // Processed, the mono input also reaches both sides: with Mix at 100 % it is
    // the dry input alone on each.
    ASSERT_EQ(run({"render", path("mono.wav").string(), "-o", path("dry.wav").string(), "--set", "Mix L=100",
                   "--set", "Mix R=100", "--tail", "0"})
                  .exitCode,
              0);
    const Audio dry = readAudio(path("dry.wav"));
    ASSERT_EQ(dry.frames(), mono.frames());
    for (int c = 0; c < 2; ++c)
        EXPECT_EQ(std::memcmp(dry.channels[std::size_t(c)].data(), mono.channels[0].data(),
                              mono.frames() * sizeof(float)),
                  0)
            << "output " << c;
}

// ---------------------------------------------------------------------------
// Installing

TEST_F(KestrinTool, AnInstalledKestrinRunsWithTheInstalledPlugIn) {
    const fs::path prefix = path("prefix");
    const std::string install = std::string(CMAKE_COMMAND) + " --install " + quote(KESTRIN_BUILD_DIR) + " --prefix " +
                                quote(prefix.string()) + " >" + quote(path("install.txt").string()) + " 2>&1";
    ASSERT_EQ(std::system(install.c_str()), 0) << slurp(path("install.txt"));
    const fs::path installed = prefix / "bin" / "kestrin";
    ASSERT_TRUE(fs::exists(installed));
    EXPECT_TRUE(fs::exists(prefix / "lib" / "kestrin" / "Kestrin.component" / "Contents" / "Info.plist"));
    EXPECT_TRUE(fs::exists(prefix / "lib" / "kestrin" / "Kestrin.component" / "Contents" / "MacOS" / "Kestrin"));
    const std::string info = quote(installed.string()) + " info >" + quote(path("info.txt").string()) + " 2>&1";
    ASSERT_EQ(std::system(info.c_str()), 0) << slurp(path("info.txt"));
    const std::string out = slurp(path("info.txt"));
    EXPECT_NE(out.find("bundle      " + (prefix / "lib" / "kestrin" / "Kestrin.component").string()), std::string::npos)
        << out;
    EXPECT_NE(out.find("Chaotic Bliss"), std::string::npos) << out;
    // The bundle the build folder uses is still the build's.
    EXPECT_EQ(run({"info"}).out.find(prefix.string()), std::string::npos);
}

// ---------------------------------------------------------------------------
// Never destroying the input

TEST_F(KestrinTool, AnOutputThatIsTheInputIsRefusedAndTheInputKept) {
    writeAudio(path("in.wav"), noise(48000, 0.2, 21));
    const std::string original = slurp(path("in.wav"));
    fs::create_directory(path("dir"));
    fs::create_symlink(path("in.wav"), path("link.wav"));
    fs::create_hard_link(path("in.wav"), path("hard.wav"));
    fs::create_directory(path("other"));
    writeAudio(path("other/in.wav"), noise(48000, 0.1, 22));
    const std::string in = path("in.wav").string();
    struct Case {
        const char* what;
        std::string line;  // KESTRIN render ...
    };
    const Case cases[] = {
        {"the same path", "KESTRIN render " + quote(in) + " -o " + quote(in)},
        {"a symbolic link", "KESTRIN render " + quote(in) + " -o " + quote(path("link.wav").string())},
        {"a hard link", "KESTRIN render " + quote(in) + " -o " + quote(path("hard.wav").string())},
        {"another spelling", "cd " + quote(dir_.string()) + " && KESTRIN render in.wav -o ./dir/../in.wav"},
        {"the link as input", "KESTRIN render " + quote(path("link.wav").string()) + " -o " + quote(in)},
        {"standard input from it", "KESTRIN render - -o " + quote(in) + " < " + quote(in)},
        // Rendering the first input would replace the second before it is read.
        {"another input of the batch", "KESTRIN render " + quote(path("other/in.wav").string()) + " " + quote(in) +
                                           " -o " + quote(dir_.string())},
    };
    for (const Case& c : cases) {
        const ToolRun r = shell(c.line);
        EXPECT_EQ(r.exitCode, 1) << c.what << ": " << r.err;
        EXPECT_NE(r.err.find("it is the input \""), std::string::npos) << c.what << ": " << r.err;
        EXPECT_NE(r.err.find("(the same file)"), std::string::npos) << c.what << ": " << r.err;
        EXPECT_EQ(slurp(path("in.wav")), original) << c.what;
        EXPECT_TRUE(fs::is_symlink(path("link.wav"))) << c.what;
        EXPECT_EQ(fs::hard_link_count(path("in.wav")), 2u) << c.what;
        EXPECT_TRUE(noPartialFiles(dir_)) << c.what;
    }
    // The message names both: the output as typed and the input.
    const ToolRun named = run({"render", in, "-o", path("link.wav").string()});
    EXPECT_NE(named.err.find("cannot write \"" + path("link.wav").string() + "\": it is the input \"" + in + "\""),
              std::string::npos)
        << named.err;

    // Another existing file may be replaced; the summary says so.
    const ToolRun first = run({"render", in, "-o", path("out.wav").string(), "--tail", "0"});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out.find("replaced"), std::string::npos) << first.out;
    const ToolRun again = run({"render", in, "-o", path("out.wav").string(), "--tail", "0.1"});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_NE(again.out.find(path("out.wav").string() + " (replaced)"), std::string::npos) << again.out;
    EXPECT_EQ(readAudio(path("out.wav")).frames(), std::size_t(0.3 * 48000));
    EXPECT_EQ(slurp(path("in.wav")), original);
}

// ---------------------------------------------------------------------------
// Pipes

TEST_F(KestrinTool, WavGoesThroughStandardInputAndOutput) {
    writeAudio(path("in.wav"), noise(44100, 0.3, 23), SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    const std::string in = quote(path("in.wav").string());
    const std::vector<std::string> settings = {"--tail", "0.4", "--set", "Delay L=50"};
    std::string options;
    for (const auto& s : settings) options.append(" ").append(quote(s));
    std::vector<std::string> args = {"render", path("in.wav").string(), "-o", path("file.wav").string()};
    args.insert(args.end(), settings.begin(), settings.end());
    ASSERT_EQ(run(args).exitCode, 0);
    const Audio reference = readAudio(path("file.wav"));
    ASSERT_EQ(reference.frames(), std::size_t(13230 + 17640));

    struct Case {
        const char* what;
        std::string line;
        const char* result;
        bool streamed;  // written to a pipe: the sizes stay "read to the end"
    };
    const Case cases[] = {
        {"file to a pipe", "KESTRIN render " + in + " -o -" + options + " | cat > " + quote(path("a.wav").string()),
         "a.wav", true},
        {"a pipe to a file", "cat " + in + " | KESTRIN render - -o " + quote(path("b.wav").string()) + options, "b.wav",
         false},
        {"a pipe to a pipe", "cat " + in + " | KESTRIN render - -o -" + options + " | cat > " + quote(path("c.wav").string()),
         "c.wav", true},
        {"standard output into a file", "KESTRIN render " + in + " -o -" + options + " > " + quote(path("d.wav").string()),
         "d.wav", false},
    };
    for (const Case& c : cases) {
        const ToolRun r = shell(c.line, false);
        ASSERT_EQ(r.exitCode, 0) << c.what << ": " << r.err;
        const std::string bytes = slurp(path(c.result));
        ASSERT_GE(bytes.size(), 44u) << c.what;
        // Nothing but the audio on standard output; the summary is on standard error.
        EXPECT_EQ(bytes.compare(0, 4, "RIFF"), 0) << c.what;
        if (std::string(c.line).find("-o -") != std::string::npos) {
            EXPECT_NE(r.err.find("-> standard output"), std::string::npos) << c.what << ": " << r.err;
        }
        const Audio out = readAudio(path(c.result));
        EXPECT_TRUE(sameSamples(out, reference)) << c.what;
        const std::size_t data = bytes.find("data");
        ASSERT_NE(data, std::string::npos);
        std::uint32_t claimed = 0;
        std::memcpy(&claimed, bytes.data() + data + 4, 4);
        // A stream claims sox's "read to the end" size; a seekable output its true size.
        EXPECT_EQ(claimed, c.streamed ? 0x7FFFF000u : std::uint32_t(bytes.size() - data - 8)) << c.what;
        if (!c.streamed) {
            EXPECT_EQ(bytes, slurp(path("file.wav"))) << c.what;
        }
    }
    // sox reads the stream to its end without a warning. ffmpeg reads it too, though it
    // flags the short last packet of every WAV stream of unknown length, its own included.
    const ToolRun sox = shell("sox " + quote(path("a.wav").string()) + " -n stat");
    EXPECT_EQ(sox.exitCode, 0) << sox.err;
    EXPECT_EQ(sox.err.find("WARN"), std::string::npos) << sox.err;
    EXPECT_NE(sox.err.find("Samples read:             61740"), std::string::npos) << sox.err;
    const ToolRun ffmpeg = shell("ffmpeg -nostdin -v error -i " + quote(path("a.wav").string()) + " -f null -");
    EXPECT_EQ(ffmpeg.exitCode, 0) << ffmpeg.err;
}

TEST_F(KestrinTool, ATerminalIsNeitherTheAudioOutNorTheAudioIn) {
    writeAudio(path("in.wav"), noise(44100, 0.1, 5), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const std::string in = quote(path("in.wav").string());
    // `script` runs the line on a pseudo-terminal, as typed by a user.
    auto onTerminal = [&](const std::string& line) {
        return shell("script -qec " + quote(line) + " /dev/null", true);
    };
    const ToolRun out = onTerminal(quote(KESTRIN_TOOL) + " render " + in + " -o -");
    EXPECT_EQ(out.exitCode, 1) << out.out;
    EXPECT_NE(out.out.find("standard output is a terminal"), std::string::npos) << out.out;
    EXPECT_EQ(out.out.find("RIFF"), std::string::npos);
    const ToolRun inFromTerminal = onTerminal(quote(KESTRIN_TOOL) + " render - -o " + quote(path("o.wav").string()));
    EXPECT_EQ(inFromTerminal.exitCode, 1) << inFromTerminal.out;
    EXPECT_NE(inFromTerminal.out.find("standard input is a terminal"), std::string::npos) << inFromTerminal.out;
    EXPECT_FALSE(fs::exists(path("o.wav")));
    // Redirected, the same lines run.
    const ToolRun redirected = onTerminal(quote(KESTRIN_TOOL) + " render - -o - < " + in + " > " +
                                          quote(path("piped.wav").string()));
    EXPECT_EQ(redirected.exitCode, 0) << redirected.out;
    EXPECT_EQ(readAudio(path("piped.wav")).channels.size(), 2u);
}

TEST_F(KestrinTool, AStreamIsCheckedAgainstWhatItsHeaderClaims) {
    const Audio second = noise(48000, 1.0, 24);
    writeAudio(path("pcm.wav"), second, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    fs::copy_file(path("pcm.wav"), path("cut.wav"));
    fs::resize_file(path("cut.wav"), 44 + 4 * 30000);
    // A writer that could not seek back leaves "unknown" sizes: read to the end.
    fs::copy_file(path("pcm.wav"), path("unknown.wav"));
    patch(path("unknown.wav"), "RIFF", 4, 0xFFFFFFFFu, 4, false);
    patch(path("unknown.wav"), "data", 4, 0xFFFFFFFFu, 4, false);
    fs::copy_file(path("unknown.wav"), path("unknown-cut.wav"));
    fs::resize_file(path("unknown-cut.wav"), 44 + 4 * 30000);

    const ToolRun cut = shell("cat " + quote(path("cut.wav").string()) + " | KESTRIN render - -o " +
                              quote(path("out.wav").string()));
    EXPECT_EQ(cut.exitCode, 1);
    EXPECT_NE(cut.err.find("\"standard input\" is cut short or its header is wrong: the header claims 48000 frames, "
                           "30000 arrived"),
              std::string::npos)
        << cut.err;
    EXPECT_FALSE(fs::exists(path("out.wav")));
    EXPECT_TRUE(noPartialFiles(dir_));

    for (const char* name : {"unknown.wav", "unknown-cut.wav"}) {
        const ToolRun r = shell("cat " + quote(path(name).string()) + " | KESTRIN render - -o " +
                                quote(path("out.wav").string()) + " --tail 0");
        ASSERT_EQ(r.exitCode, 0) << name << ": " << r.err;
        EXPECT_EQ(readAudio(path("out.wav")).frames(), std::string(name) == "unknown.wav" ? 48000u : 30000u) << name;
    }
    // AIFF and FLAC come through a pipe too, as their files render; FLAC's STREAMINFO
    // states its length, so a FLAC stream cut short is refused as well.
    writeAudio(path("s.aiff"), second, SF_FORMAT_AIFF | SF_FORMAT_PCM_24);
    writeAudio(path("s.flac"), second, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    for (const char* name : {"s.aiff", "s.flac"}) {
        ASSERT_EQ(run({"render", path(name).string(), "-o", path("from-file.wav").string(), "--tail", "0.2"}).exitCode, 0);
        const ToolRun r = shell("cat " + quote(path(name).string()) + " | KESTRIN render - -o " +
                                quote(path("from-pipe.wav").string()) + " --tail 0.2");
        ASSERT_EQ(r.exitCode, 0) << name << ": " << r.err;
        EXPECT_EQ(slurp(path("from-pipe.wav")), slurp(path("from-file.wav"))) << name;
    }
    fs::copy_file(path("s.flac"), path("cut.flac"));
    fs::resize_file(path("cut.flac"), fs::file_size(path("cut.flac")) / 2);
    const ToolRun cutFlac = shell("cat " + quote(path("cut.flac").string()) + " | KESTRIN render - -o " +
                                  quote(path("cut-flac.wav").string()));
    EXPECT_EQ(cutFlac.exitCode, 1);
    EXPECT_NE(cutFlac.err.find("the header claims 48000 frames"), std::string::npos) << cutFlac.err;
    EXPECT_FALSE(fs::exists(path("cut-flac.wav")));

    // Not audio at all, through a pipe.
    const ToolRun text = shell("echo hello | KESTRIN render - -o " + quote(path("out2.wav").string()));
    EXPECT_EQ(text.exitCode, 1);
    EXPECT_NE(text.err.find("cannot read \"standard input\""), std::string::npos) << text.err;
    EXPECT_FALSE(fs::exists(path("out2.wav")));
}

// ---------------------------------------------------------------------------
// Output formats you can trust

TEST_F(KestrinTool, BitsChooseTheSampleFormatWithinAStepOfTheFloatRender) {
    writeAudio(path("in.wav"), noise(48000, 0.5, 25));
    const std::vector<std::string> common = {"--tail", "0.3", "--set", "Mix L=70", "--set", "Mix R=70"};
    auto render = [&](const std::string& name, std::vector<std::string> extra) {
        std::vector<std::string> args = {"render", path("in.wav").string(), "-o", path(name).string()};
        args.insert(args.end(), common.begin(), common.end());
        args.insert(args.end(), extra.begin(), extra.end());
        const ToolRun r = run(args);
        EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err;
        EXPECT_EQ(r.out.find("clipped"), std::string::npos) << r.out;
        return readAudio(path(name));
    };
    const Audio reference = render("float.wav", {});
    EXPECT_EQ(formatOf(path("float.wav")), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    render("float32.wav", {"--bits", "32"});
    EXPECT_EQ(slurp(path("float32.wav")), slurp(path("float.wav")));

    struct Case {
        std::string name;
        std::vector<std::string> extra;
        int format;
        int bits;
    };
    const Case cases[] = {
        {"w16.wav", {"--bits", "16"}, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16},
        {"w24.wav", {"--bits", "24"}, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 24},
        {"f24.flac", {}, SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 24},
        {"f16.flac", {"--bits=16"}, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 16},
        {"a16.aiff", {"--bits", "16"}, SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 16},
        {"a32.aif", {}, SF_FORMAT_AIFF | SF_FORMAT_FLOAT, 32},
    };
    for (const Case& c : cases) {
        const Audio out = render(c.name, c.extra);
        EXPECT_EQ(formatOf(path(c.name)), c.format) << c.name;
        ASSERT_EQ(out.frames(), reference.frames()) << c.name;
        // Rounding moves a sample by at most half a step; TPDF dither (16 bits) adds
        // at most one more, and its noise shows in the error's power: 1/12 step^2 for
        // rounding alone, 1/12 + 2/12 with the dither.
        const double step = std::ldexp(1.0, 1 - c.bits);
        const double bound = c.bits == 32 ? 0.0 : c.bits == 16 ? 1.5 : 0.5;
        double worst = 0, power = 0;
        for (std::size_t ch = 0; ch < 2; ++ch)
            for (std::size_t i = 0; i < out.frames(); ++i) {
                const double error = (double(out.channels[ch][i]) - double(reference.channels[ch][i])) / step;
                worst = std::max(worst, std::fabs(error));
                power += error * error;
            }
        power /= double(2 * out.frames());
        EXPECT_LE(worst, bound + 1e-6) << c.name;
        if (c.bits == 16) {
            EXPECT_NEAR(power, 0.25, 0.02) << c.name << ": dithered";
        }
        if (c.bits == 24) {
            EXPECT_NEAR(power, 1.0 / 12.0, 0.01) << c.name << ": rounded, not dithered";
        }
    }
    const ToolRun flac32 = run({"render", path("in.wav").string(), "-o", path("x.flac").string(), "--bits", "32"});
    EXPECT_EQ(flac32.exitCode, 2);
    EXPECT_NE(flac32.err.find("FLAC holds 16 or 24 bits, not 32-bit float"), std::string::npos) << flac32.err;
    EXPECT_FALSE(fs::exists(path("x.flac")));
}

TEST_F(KestrinTool, SamplesClippedInIntegerOutputsAreCounted) {
    // With Mix at 100 % the output is the input itself, so the clipped samples are
    // those of the input beyond full scale, kept clear of it by more than the dither.
    Audio driven;
    driven.rate = 48000;
    driven.channels.assign(2, std::vector<float>(4800));
    std::size_t beyond = 0;
    for (std::size_t c = 0; c < 2; ++c)
        for (std::size_t i = 0; i < 4800; ++i) {
            const double x = 1.6 * std::sin(0.0123 * double(i) + double(c));
            // Skip the band near full scale where dither would decide.
            const float v = std::fabs(std::fabs(x) - 1.0) < 0.01 ? 0.5f : float(x);
            driven.channels[c][i] = v;
            beyond += std::fabs(v) > 1.0f;
        }
    ASSERT_GT(beyond, 1000u);
    writeAudio(path("hot.wav"), driven);
    const std::string expected = "clipped " + std::to_string(beyond) + " samples; lower Gain or raise Mix, or use 32-bit float";
    for (const std::string bits : {"16", "24", "32"}) {
        const std::string out = path("out" + bits + ".wav").string();
        const ToolRun r = run({"render", path("hot.wav").string(), "-o", out, "--bits", bits, "--set", "Mix L=100",
                               "--set", "Mix R=100", "--tail", "0"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const Audio read = readAudio(out);
        ASSERT_EQ(read.frames(), 4800u);
        if (bits == "32") {
            EXPECT_EQ(r.out.find("clipped"), std::string::npos) << r.out;
            EXPECT_TRUE(sameSamples(read, driven));  // float keeps what lies beyond full scale
            continue;
        }
        EXPECT_NE(r.out.find(expected), std::string::npos) << bits << ": " << r.out;
        const double top = 1.0 - std::ldexp(1.0, 1 - std::stoi(bits));
        for (std::size_t c = 0; c < 2; ++c)
            for (std::size_t i = 0; i < 4800; ++i) {
                const float v = driven.channels[c][i];
                if (v > 1.0f) {
                    ASSERT_FLOAT_EQ(read.channels[c][i], float(top)) << i;
                }
                if (v < -1.0f) {
                    ASSERT_FLOAT_EQ(read.channels[c][i], -1.0f) << i;
                }
            }
    }
}

TEST_F(KestrinTool, IdenticalRendersGiveIdenticalBytes) {
    writeAudio(path("in.wav"), noise(48000, 0.3, 26));
    struct Case {
        std::string name, bits;
    };
    std::vector<Case> cases;
    for (const std::string name : {"a.wav", "b.aiff", "c.flac"})
        for (const std::string bits : {"16", "24", "32"})
            if (bits != "32" || name != "c.flac") cases.push_back({name, bits});
    // Rendering at another time (a second later) and through another name must not matter.
    for (const char* round : {"1-", "2-"}) {
        for (const Case& c : cases) {
            const std::string out = path(round + c.bits + c.name).string();
            const ToolRun r = run({"render", path("in.wav").string(), "-o", out, "--bits", c.bits, "--tail", "0.2"});
            ASSERT_EQ(r.exitCode, 0) << r.err;
        }
        if (round[0] == '1') std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    }
    for (const Case& c : cases) {
        const std::string first = slurp(path("1-" + c.bits + c.name));
        EXPECT_EQ(first, slurp(path("2-" + c.bits + c.name))) << c.name << " at " << c.bits << " bits";
        EXPECT_EQ(first.find("PEAK"), std::string::npos) << c.name;
    }
    // sox and ffmpeg read the float WAV's header without a warning.
    const ToolRun sox = shell("sox --i " + quote(path("1-32a.wav").string()));
    EXPECT_EQ(sox.exitCode, 0);
    EXPECT_EQ(sox.err.find("WARN"), std::string::npos) << sox.err;
    EXPECT_NE(sox.out.find("32-bit Floating Point PCM"), std::string::npos) << sox.out;
    const ToolRun probe = shell("ffprobe -v warning -show_entries stream=codec_name -of csv=p=0 " +
                                quote(path("1-32a.wav").string()));
    EXPECT_EQ(probe.exitCode, 0);
    EXPECT_EQ(probe.out, "pcm_f32le\n");
    ToolRun ffmpeg = shell("ffmpeg -nostdin -v warning -i " + quote(path("1-32a.wav").string()) + " -f null -");
    EXPECT_EQ(ffmpeg.exitCode, 0);
    // ffmpeg names the stereo layout it assumes for every WAV without a channel mask
    // (sox's own files included); anything else would be a complaint about the header.
    const std::string guessed = "Guessed Channel Layout for Input Stream #0.0 : stereo\n";
    if (const std::size_t at = ffmpeg.err.find(guessed); at != std::string::npos) ffmpeg.err.erase(at, guessed.size());
    EXPECT_EQ(ffmpeg.err, "");
}

// ---------------------------------------------------------------------------
// Tails

TEST_F(KestrinTool, AnAutomaticTailCutAtItsCapFadesOutAndSaysSo) {
    // Full feedback keeps the echoes ringing past the 30 s cap.
    constexpr int kRate = 8000;
    writeAudio(path("in.wav"), noise(kRate, 0.1, 27));
    const std::vector<std::string> ringing = {"--set", "Feedback L=100", "--set", "Feedback R=100"};
    auto render = [&](const std::string& name, std::vector<std::string> extra) {
        std::vector<std::string> args = {"render", path("in.wav").string(), "-o", path(name).string()};
        args.insert(args.end(), ringing.begin(), ringing.end());
        args.insert(args.end(), extra.begin(), extra.end());
        return run(args);
    };
    const ToolRun capped = render("capped.wav", {});
    ASSERT_EQ(capped.exitCode, 0) << capped.err;
    EXPECT_NE(capped.out.find("tail cut at 30 s; use --tail"), std::string::npos) << capped.out;
    const ToolRun fixed = render("fixed.wav", {"--tail", "30"});
    ASSERT_EQ(fixed.exitCode, 0) << fixed.err;
    EXPECT_EQ(fixed.out.find("tail cut"), std::string::npos) << fixed.out;

    const Audio a = readAudio(path("capped.wav")), b = readAudio(path("fixed.wav"));
    const std::size_t frames = std::size_t(30.1 * kRate);
    ASSERT_EQ(a.frames(), frames);
    ASSERT_EQ(b.frames(), frames);
    const std::size_t fade = std::size_t(0.05 * kRate), from = frames - fade;
    for (std::size_t c = 0; c < 2; ++c) {
        // The same render up to the fade; an explicit tail keeps ringing to its end.
        EXPECT_EQ(std::memcmp(a.channels[c].data(), b.channels[c].data(), from * sizeof(float)), 0);
        EXPECT_GT(energy(b.channels[c], frames - fade / 4, frames), 1e-4) << "still ringing at the end";
        // A smooth ramp from full level to silence: never louder than the unfaded
        // signal, falling through the window, about half way at its middle.
        double previousGain = 1.0;
        for (std::size_t i = from; i < frames; ++i) {
            EXPECT_LE(std::fabs(a.channels[c][i]), std::fabs(b.channels[c][i]) + 1e-9f) << i;
            if (std::fabs(b.channels[c][i]) > 1e-3f) {
                const double gain = double(a.channels[c][i]) / double(b.channels[c][i]);
                EXPECT_LE(gain, previousGain + 1e-6) << i;
                EXPECT_GE(gain, -1e-6) << i;
                if (i - from > fade / 2 - 20 && i - from < fade / 2 + 20) {
                    EXPECT_NEAR(gain, 0.5, 0.1) << i;
                }
                if (i - from < 10) {
                    EXPECT_GT(gain, 0.98) << i;
                }
                previousGain = gain;
            }
        }
        EXPECT_EQ(a.channels[c][frames - 1], 0.0f);
        EXPECT_LT(energy(a.channels[c], frames - 10, frames), 1e-3 * energy(b.channels[c], frames - 10, frames) + 1e-12);
    }
    // Echoes that die away end the tail early, unfaded and without the note.
    const ToolRun decaying = run({"render", path("in.wav").string(), "-o", path("decaying.wav").string()});
    ASSERT_EQ(decaying.exitCode, 0) << decaying.err;
    EXPECT_EQ(decaying.out.find("tail cut"), std::string::npos) << decaying.out;
    EXPECT_LT(readAudio(path("decaying.wav")).frames(), std::size_t(20 * kRate));
}

// ---------------------------------------------------------------------------
// Several inputs

TEST_F(KestrinTool, SeveralInputsRenderIntoAFolderOneSummaryEach) {
    writeAudio(path("a.wav"), noise(48000, 0.2, 28));
    writeAudio(path("b.aiff"), noise(44100, 0.2, 29), SF_FORMAT_AIFF | SF_FORMAT_PCM_24);
    writeAudio(path("c.flac"), noise(48000, 0.2, 30), SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    writeBytes(path("bad.wav"), "this is not audio");
    fs::create_directory(path("out"));
    const std::vector<std::string> settings = {"--preset", "2", "--tail", "0.3"};
    auto batch = [&](std::vector<std::string> inputs, std::vector<std::string> extra) {
        std::vector<std::string> args = {"render"};
        for (const auto& in : inputs) args.push_back(path(in).string());
        args.insert(args.end(), {"-o", path("out").string() + "/"});
        args.insert(args.end(), settings.begin(), settings.end());
        args.insert(args.end(), extra.begin(), extra.end());
        return run(args);
    };
    auto lines = [](const std::string& text) { return std::size_t(std::count(text.begin(), text.end(), '\n')); };

    const ToolRun all = batch({"a.wav", "b.aiff", "c.flac"}, {});
    ASSERT_EQ(all.exitCode, 0) << all.err;
    EXPECT_EQ(lines(all.out), 4u) << all.out;
    EXPECT_NE(all.out.find("3 of 3 files rendered"), std::string::npos) << all.out;
    // Each output is what a render of that input alone gives, in its own format.
    const std::pair<const char*, int> outputs[] = {{"a.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
                                                   {"b.aiff", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
                                                   {"c.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24}};
    for (const auto& [name, format] : outputs) {
        EXPECT_EQ(formatOf(path("out") / name), format) << name;
        EXPECT_NE(all.out.find((path("out") / name).string()), std::string::npos) << all.out;
        std::vector<std::string> alone = {"render", path(name).string(), "-o", path(std::string("alone-") + name).string()};
        alone.insert(alone.end(), settings.begin(), settings.end());
        ASSERT_EQ(run(alone).exitCode, 0);
        EXPECT_EQ(slurp(path("out") / name), slurp(path(std::string("alone-") + name))) << name;
    }
    fs::remove_all(path("out"));
    fs::create_directory(path("out"));

    // --format chooses the outputs' format, --bits their sample size.
    const ToolRun asFlac = batch({"a.wav", "b.aiff"}, {"--format", "flac", "--bits", "16"});
    ASSERT_EQ(asFlac.exitCode, 0) << asFlac.err;
    EXPECT_EQ(formatOf(path("out/a.flac")), SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    EXPECT_EQ(formatOf(path("out/b.flac")), SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    fs::remove_all(path("out"));
    fs::create_directory(path("out"));

    // The first failure stops the batch; the files before it are kept.
    const ToolRun stopped = batch({"a.wav", "bad.wav", "b.aiff"}, {});
    EXPECT_EQ(stopped.exitCode, 1);
    EXPECT_NE(stopped.err.find("cannot read \"" + path("bad.wav").string() + "\""), std::string::npos) << stopped.err;
    EXPECT_TRUE(fs::exists(path("out/a.wav")));
    EXPECT_FALSE(fs::exists(path("out/bad.wav")));
    EXPECT_FALSE(fs::exists(path("out/b.aiff")));
    EXPECT_NE(stopped.out.find("1 of 3 files rendered"), std::string::npos) << stopped.out;
    EXPECT_NE(stopped.out.find("stopped at the first failure"), std::string::npos) << stopped.out;
    fs::remove_all(path("out"));
    fs::create_directory(path("out"));

    // --keep-going renders the rest and still fails at the end.
    const ToolRun kept = batch({"a.wav", "bad.wav", "b.aiff"}, {"--keep-going"});
    EXPECT_EQ(kept.exitCode, 1);
    EXPECT_TRUE(fs::exists(path("out/a.wav")));
    EXPECT_FALSE(fs::exists(path("out/bad.wav")));
    EXPECT_TRUE(fs::exists(path("out/b.aiff")));
    EXPECT_EQ(lines(kept.out), 3u) << kept.out;
    EXPECT_NE(kept.out.find("2 of 3 files rendered"), std::string::npos) << kept.out;
    EXPECT_NE(kept.out.find("failed: " + path("bad.wav").string()), std::string::npos) << kept.out;
    EXPECT_TRUE(noPartialFiles(dir_));

    // What cannot be planned is refused before anything is rendered.
    fs::remove_all(path("out"));
    fs::create_directory(path("out"));
    fs::create_directory(path("sub"));
    fs::copy_file(path("a.wav"), path("sub/a.wav"));
    const ToolRun clash = batch({"a.wav", "sub/a.wav"}, {});
    EXPECT_EQ(clash.exitCode, 1);
    EXPECT_NE(clash.err.find("would both be written to"), std::string::npos) << clash.err;
    const ToolRun notFolder = run({"render", path("a.wav").string(), path("b.aiff").string(), "-o",
                                   path("a.wav").string()});
    EXPECT_EQ(notFolder.exitCode, 1);
    EXPECT_NE(notFolder.err.find("it is not a folder"), std::string::npos) << notFolder.err;
    EXPECT_TRUE(fs::is_empty(path("out")));
}

}  // namespace
