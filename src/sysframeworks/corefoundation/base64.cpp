#include "sysframeworks/corefoundation/base64.h"

namespace cf {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int decodeChar(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

std::string base64Encode(const std::uint8_t* bytes, std::size_t length) {
    std::string out;
    out.reserve((length + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        const std::uint32_t v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (length - i == 1) {
        const std::uint32_t v = bytes[i] << 16;
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += "==";
    } else if (length - i == 2) {
        const std::uint32_t v = (bytes[i] << 16) | (bytes[i + 1] << 8);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

bool base64Decode(std::string_view text, std::vector<std::uint8_t>& out) {
    std::vector<std::uint8_t> result;
    result.reserve(text.size() / 4 * 3);
    int quad[4];
    int count = 0;
    int padding = 0;
    for (char c : text) {
        if (isSpace(c)) continue;
        if (padding > 0 && c != '=') return false;  // data after padding
        if (c == '=') {
            if (count < 2) return false;  // padding needs at least two characters before it
            quad[count++] = 0;
            ++padding;
        } else {
            const int v = decodeChar(c);
            if (v < 0) return false;
            quad[count++] = v;
        }
        if (count == 4) {
            const std::uint32_t v = (quad[0] << 18) | (quad[1] << 12) | (quad[2] << 6) | quad[3];
            result.push_back(static_cast<std::uint8_t>(v >> 16));
            if (padding < 2) result.push_back(static_cast<std::uint8_t>(v >> 8));
            if (padding < 1) result.push_back(static_cast<std::uint8_t>(v));
            count = 0;
            if (padding > 0) padding = 3;  // nothing but white space may follow
        }
    }
    if (count != 0) return false;  // truncated
    out.insert(out.end(), result.begin(), result.end());
    return true;
}

}  // namespace cf
