#include "kestrin/factorypresets.h"

#include <array>
#include <bit>
#include <string_view>

namespace kestrin {

namespace {

// The programs, parameters 0 to 15 in index order, as normalized values.
//
// Where a stored value stands for an evident plain value, it is the float the plug-in
// itself produces for that value (its normalized value rounded to float): the delay
// times (1000 ms, 500 ms), note values n / 31, the round percentages, "Highpass" 60 Hz,
// "Lowpass" 18000 Hz, "Tempo" 147 bpm. Every other value is the float nearest to the
// six-digit decimal the presets were published with (these come from knob drags and
// have no round plain value).
struct Program {
    std::string_view name;
    std::array<float, 16> values;
};

//   0 Delay L   1 Note L   2 Feedback L   3 Mix L   4 Delay R   5 Note R   6 Feedback R
//   7 Mix R     8 Sync     9 Highpass    10 Lowpass 11 Drive   12 Gain    13 Width
//  14 Tempo    15 Upsample Amount
constexpr Program kPrograms[] = {
    {"Default",
     {0.49974987f /* 1000 ms */, 0.09677419f /* 3/31 */, 0.5f, 0.5f, 0.24962482f /* 500 ms */,
      0.16129032f /* 5/31 */, 0.5f, 0.5f, 1.0f, 0.0f /* 60 Hz */, 0.9648298f /* 18000 Hz */, 0.05f, 0.0f, 1.0f,
      0.0294f /* 147 bpm */, 0.0f}},
    {"Lead Guitar Magic",
     {0.49974987f /* 1000 ms */, 0.16129032f /* 5/31 */, 0.697184f, 0.5f, 0.24962482f /* 500 ms */,
      0.41935483f /* 13/31 */, 0.704226f, 0.5f, 1.0f, 0.0989584f, 0.388267f, 0.201042f, 0.0f, 1.0f,
      0.0294f /* 147 bpm */, 0.0f}},
    {"Chaotic Bliss",
     {0.49974987f /* 1000 ms */, 0.12903225f /* 4/31 */, 0.799295f, 0.651408f, 0.24962482f /* 500 ms */,
      0.38709676f /* 12/31 */, 0.795776f, 0.65493f, 1.0f, 0.192187f, 0.45858f, 0.398959f, 0.0f, 0.904669f,
      0.0294f /* 147 bpm */, 0.0f}},
};

constexpr std::uint32_t kPluginCode = 0x4B737433;     // 'Kst3'
constexpr std::uint32_t kPluginVersion = 0x00030001;  // 3.0.1

struct BankWriter {
    std::array<std::uint8_t, kFactoryBankSize> bytes{};
    std::size_t at = 0;

    constexpr void bigEndian(std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) bytes[at++] = std::uint8_t(v >> shift);
    }
    constexpr void tag(const char (&t)[5]) {
        for (int i = 0; i < 4; ++i) bytes[at++] = std::uint8_t(t[i]);
    }
    constexpr void zeros(std::size_t n) { at += n; }  // the array starts zeroed
};

// Serialises the programs in the FXB layout: big-endian fields, both chunk lengths 0.
constexpr std::array<std::uint8_t, kFactoryBankSize> buildBank() {
    BankWriter w;
    w.tag("CcnK");
    w.bigEndian(0);  // no extra header bytes
    w.tag("FxBk");
    w.bigEndian(1);  // bank format version
    w.bigEndian(kPluginCode);
    w.bigEndian(kPluginVersion);
    w.bigEndian(std::size(kPrograms));
    w.zeros(128);
    for (const Program& p : kPrograms) {
        w.tag("CcnK");
        w.bigEndian(0);
        w.tag("FxCk");
        w.bigEndian(1);  // program format version
        w.bigEndian(kPluginCode);
        w.bigEndian(kPluginVersion);
        w.bigEndian(p.values.size());
        for (std::size_t i = 0; i < 28; ++i) w.bytes[w.at + i] = i < p.name.size() ? std::uint8_t(p.name[i]) : 0;
        w.zeros(28);
        for (float v : p.values) w.bigEndian(std::bit_cast<std::uint32_t>(v));
    }
    if (w.at != kFactoryBankSize) throw "factory bank size mismatch";  // compile-time check
    return w.bytes;
}

constexpr std::array<std::uint8_t, kFactoryBankSize> kFactoryBank = buildBank();

}  // namespace

std::span<const std::uint8_t> factoryPresetBank() noexcept { return kFactoryBank; }

}  // namespace kestrin
