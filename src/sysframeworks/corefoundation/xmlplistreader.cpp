// Reader for XML property lists; see xmlplist.h.

#include "sysframeworks/corefoundation/base64.h"
#include "sysframeworks/corefoundation/cfcollections.h"
#include "sysframeworks/corefoundation/cfmisc.h"
#include "sysframeworks/corefoundation/cfnumberimpl.h"
#include "sysframeworks/corefoundation/cfstringimpl.h"
#include "sysframeworks/corefoundation/xmlplist.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

namespace cf {

namespace {

enum class TagKind { Open, Close, Empty };

struct Tag {
    TagKind kind = TagKind::Open;
    std::string_view name;
};

struct Frame {
    CFTypeRef container = nullptr;  // owned
    bool isDict = false;
    CFStringRef pendingKey = nullptr;  // owned
};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

class Reader {
public:
    Reader(CFAllocatorRef allocator, std::string_view input, CFOptionFlags mutability)
        : allocator_(allocator), input_(input), mutability_(mutability) {}

    ~Reader() {
        for (Frame& f : stack_) {
            if (f.container) CFRelease(f.container);
            if (f.pendingKey) CFRelease(f.pendingKey);
        }
        if (root_) CFRelease(root_);
    }

    CFPropertyListRef parse(std::string& error) {
        if (!parseDocument()) {
            error = "line " + std::to_string(lineAt(failAt_)) + ": " + message_;
            return nullptr;
        }
        CFPropertyListRef result = root_;
        root_ = nullptr;
        return result;
    }

private:
    bool fail(const char* message) {
        if (message_.empty()) {
            message_ = message;
            failAt_ = pos_;
        }
        return false;
    }

    std::size_t lineAt(std::size_t at) const {
        std::size_t line = 1;
        for (std::size_t i = 0; i < at && i < input_.size(); ++i) line += input_[i] == '\n';
        return line;
    }

    bool startsWith(std::string_view s) const { return input_.substr(pos_, s.size()) == s; }

    // Skips to just past `terminator`; false at end of input.
    bool skipPast(std::string_view terminator) {
        const std::size_t at = input_.find(terminator, pos_);
        if (at == std::string_view::npos) return false;
        pos_ = at + terminator.size();
        return true;
    }

    // White space, comments, processing instructions and the DOCTYPE.
    bool skipMisc() {
        for (;;) {
            while (pos_ < input_.size() && isSpace(input_[pos_])) ++pos_;
            if (startsWith("<!--")) {
                if (!skipPast("-->")) return fail("unterminated comment");
            } else if (startsWith("<?")) {
                if (!skipPast("?>")) return fail("unterminated processing instruction");
            } else if (startsWith("<!DOCTYPE")) {
                // Skip to the closing '>' outside an internal subset [...].
                int brackets = 0;
                for (;;) {
                    if (pos_ >= input_.size()) return fail("unterminated DOCTYPE");
                    const char c = input_[pos_++];
                    if (c == '[') ++brackets;
                    else if (c == ']') --brackets;
                    else if (c == '>' && brackets <= 0) break;
                }
            } else {
                return true;
            }
        }
    }

    bool readTag(Tag& tag) {
        if (pos_ >= input_.size() || input_[pos_] != '<') return fail("expected an element");
        ++pos_;
        tag.kind = TagKind::Open;
        if (pos_ < input_.size() && input_[pos_] == '/') {
            tag.kind = TagKind::Close;
            ++pos_;
        }
        const std::size_t nameStart = pos_;
        while (pos_ < input_.size() && !isSpace(input_[pos_]) && input_[pos_] != '>' && input_[pos_] != '/') ++pos_;
        tag.name = input_.substr(nameStart, pos_ - nameStart);
        if (tag.name.empty()) return fail("element without a name");
        // Attributes are skipped, quoted values included.
        char quote = 0;
        for (;;) {
            if (pos_ >= input_.size()) return fail("unterminated element tag");
            const char c = input_[pos_];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '/' && tag.kind == TagKind::Open) {
                if (pos_ + 1 < input_.size() && input_[pos_ + 1] == '>') {
                    tag.kind = TagKind::Empty;
                    pos_ += 2;
                    return true;
                }
                return fail("stray '/' in element tag");
            } else if (c == '>') {
                ++pos_;
                return true;
            } else if (c == '<') {
                return fail("'<' inside an element tag");
            }
            ++pos_;
        }
    }

    bool decodeEntity(std::string& out) {
        const std::size_t semi = input_.find(';', pos_);
        if (semi == std::string_view::npos || semi - pos_ > 12) return fail("malformed entity reference");
        std::string_view name = input_.substr(pos_ + 1, semi - pos_ - 1);
        pos_ = semi + 1;
        if (name == "lt") out += '<';
        else if (name == "gt") out += '>';
        else if (name == "amp") out += '&';
        else if (name == "quot") out += '"';
        else if (name == "apos") out += '\'';
        else if (name.size() > 1 && name[0] == '#') {
            std::uint32_t cp = 0;
            std::string_view digits = name.substr(1);
            int base = 10;
            if (!digits.empty() && (digits[0] == 'x' || digits[0] == 'X')) digits.remove_prefix(1), base = 16;
            auto r = std::from_chars(digits.data(), digits.data() + digits.size(), cp, base);
            if (digits.empty() || r.ec != std::errc() || r.ptr != digits.data() + digits.size() || cp == 0 ||
                cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                return fail("invalid character reference");
            std::u16string units;
            if (cp >= 0x10000) {
                units.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
                units.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
            } else {
                units.push_back(static_cast<char16_t>(cp));
            }
            encodeUTF8(units, out);
        } else {
            return fail("unknown entity");
        }
        return true;
    }

    // Character data up to and including the closing tag </name>.
    bool readText(std::string_view name, std::string& out) {
        out.clear();
        for (;;) {
            if (pos_ >= input_.size()) return fail("unterminated element");
            const char c = input_[pos_];
            if (c == '&') {
                if (!decodeEntity(out)) return false;
            } else if (c == '<') {
                if (startsWith("<![CDATA[")) {
                    const std::size_t start = pos_ + 9;
                    if (!skipPast("]]>")) return fail("unterminated CDATA section");
                    out.append(input_.substr(start, pos_ - 3 - start));
                } else if (startsWith("<!--")) {
                    if (!skipPast("-->")) return fail("unterminated comment");
                } else {
                    Tag tag;
                    if (!readTag(tag)) return false;
                    if (tag.kind != TagKind::Close || tag.name != name) return fail("unexpected element inside text");
                    return true;
                }
            } else {
                out.push_back(c);
                ++pos_;
            }
        }
    }

    bool push(bool isDict) {
        if (stack_.size() >= kMaxPlistDepth) return fail("containers nested too deeply");
        const bool mutableContainers = mutability_ != kCFPropertyListImmutable;
        (void)mutableContainers;
        CFTypeRef container =
            isDict ? static_cast<CFTypeRef>(CFDictionaryCreateMutable(allocator_, 0, &kCFTypeDictionaryKeyCallBacks,
                                                                      &kCFTypeDictionaryValueCallBacks))
                   : static_cast<CFTypeRef>(CFArrayCreateMutable(allocator_, 0, &kCFTypeArrayCallBacks));
        if (container == nullptr) return fail("out of memory");
        stack_.push_back(Frame{container, isDict, nullptr});
        return true;
    }

    // Containers are built mutable; the immutable options freeze them here.
    void freeze(CFTypeRef container) {
        if (mutability_ != kCFPropertyListImmutable) return;
        if (auto* a = tryAs<Array>(container)) a->isMutable = false;
        if (auto* d = tryAs<Dictionary>(container)) d->isMutable = false;
    }

    // Hands a new value (owned) to the open container or makes it the root.
    bool deliver(CFTypeRef value) {
        if (value == nullptr) return fail("out of memory");
        if (stack_.empty()) {
            if (root_ != nullptr) {
                CFRelease(value);
                return fail("more than one top-level object");
            }
            root_ = value;
            return true;
        }
        Frame& top = stack_.back();
        if (top.isDict) {
            if (top.pendingKey == nullptr) {
                CFRelease(value);
                return fail("dictionary value without a key");
            }
            CFDictionarySetValue(static_cast<CFMutableDictionaryRef>(const_cast<void*>(top.container)), top.pendingKey,
                                 value);
            CFRelease(top.pendingKey);
            top.pendingKey = nullptr;
        } else {
            CFArrayAppendValue(static_cast<CFMutableArrayRef>(const_cast<void*>(top.container)), value);
        }
        CFRelease(value);
        return true;
    }

    CFTypeRef makeString(const std::string& text) {
        std::u16string units;
        if (!decodeUTF8(text, units)) return nullptr;
        return cf::makeString(allocator_, std::move(units), mutability_ == kCFPropertyListMutableContainersAndLeaves);
    }

    bool parseInteger(std::string_view text) {
        text = trim(text);
        bool negative = false;
        if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
            negative = text[0] == '-';
            text.remove_prefix(1);
        }
        int base = 10;
        if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2), base = 16;
        std::uint64_t magnitude = 0;
        auto r = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
        if (text.empty() || r.ec == std::errc::invalid_argument || r.ptr != text.data() + text.size())
            return fail("malformed integer");
        const std::uint64_t limit = negative ? 0x8000000000000000ull : 0x7FFFFFFFFFFFFFFFull;
        if (r.ec == std::errc::result_out_of_range || magnitude > limit) return fail("integer out of range");
        const std::int64_t value =
            negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
        return deliver(makeInteger(allocator_, value));
    }

    bool parseReal(std::string_view text) {
        text = trim(text);
        double value = 0.0;
        std::string_view body = text;
        bool negative = false;
        if (!body.empty() && (body[0] == '-' || body[0] == '+')) {
            negative = body[0] == '-';
            body.remove_prefix(1);
        }
        if (equalsIgnoringCase(body, "nan")) {
            value = std::numeric_limits<double>::quiet_NaN();
        } else if (equalsIgnoringCase(body, "inf") || equalsIgnoringCase(body, "infinity")) {
            value = std::numeric_limits<double>::infinity();
        } else {
            auto r = std::from_chars(body.data(), body.data() + body.size(), value);
            if (body.empty() || r.ec == std::errc::invalid_argument || r.ptr != body.data() + body.size())
                return fail("malformed real number");
        }
        return deliver(makeReal(allocator_, negative ? -value : value));
    }

    bool parseValue(const Tag& tag) {
        const std::string_view n = tag.name;
        const bool empty = tag.kind == TagKind::Empty;
        std::string text;
        if (n == "dict" || n == "array") {
            if (!push(n == "dict")) return false;
            return empty ? closeContainer() : true;
        }
        if (n == "true" || n == "false") {
            if (!empty && (!readText(n, text) || !trim(text).empty())) return fail("text inside a boolean");
            return deliver(n == "true" ? kCFBooleanTrue : kCFBooleanFalse);
        }
        if (n == "key") {
            if (stack_.empty() || !stack_.back().isDict) return fail("key outside a dictionary");
            if (stack_.back().pendingKey != nullptr) return fail("key without a value");
            if (!empty && !readText(n, text)) return false;
            std::u16string units;
            if (!decodeUTF8(text, units)) return fail("key is not valid UTF-8");
            stack_.back().pendingKey = cf::makeString(allocator_, std::move(units));
            return stack_.back().pendingKey != nullptr || fail("out of memory");
        }
        if (!empty && !readText(n, text)) return false;
        if (n == "string") {
            CFTypeRef s = makeString(text);
            return s ? deliver(s) : fail("string is not valid UTF-8");
        }
        if (n == "integer") return parseInteger(text);
        if (n == "real") return parseReal(text);
        if (n == "date") {
            double t = 0;
            if (!parseISO8601(trim(text), t)) return fail("malformed date");
            return deliver(CFDateCreate(allocator_, t));
        }
        if (n == "data") {
            std::vector<std::uint8_t> bytes;
            if (!base64Decode(text, bytes)) return fail("malformed or truncated base64 data");
            if (mutability_ == kCFPropertyListMutableContainersAndLeaves) {
                CFMutableDataRef d = CFDataCreateMutable(allocator_, 0);
                if (d) CFDataAppendBytes(d, bytes.data(), static_cast<CFIndex>(bytes.size()));
                return deliver(d);
            }
            return deliver(CFDataCreate(allocator_, bytes.data(), static_cast<CFIndex>(bytes.size())));
        }
        return fail("unknown element");
    }

    bool closeContainer() {
        Frame frame = stack_.back();
        stack_.pop_back();
        if (frame.pendingKey) {
            CFRelease(frame.pendingKey);
            CFRelease(frame.container);
            return fail("key without a value");
        }
        freeze(frame.container);
        return deliver(frame.container);
    }

    bool parseDocument() {
        if (input_.size() >= 3 && input_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
        if (!skipMisc()) return false;
        bool inPlist = false;
        Tag tag;
        if (startsWith("<plist")) {
            if (!readTag(tag)) return false;
            if (tag.name != "plist") return fail("unknown element");
            if (tag.kind == TagKind::Empty) return fail("empty plist");
            inPlist = true;
        }
        for (;;) {
            if (!skipMisc()) return false;
            if (pos_ >= input_.size()) return fail(root_ ? "missing </plist>" : "no property list found");
            if (!readTag(tag)) return false;
            if (tag.kind == TagKind::Close) {
                if (!stack_.empty()) {
                    if (tag.name != (stack_.back().isDict ? "dict" : "array")) return fail("mismatched closing element");
                    if (!closeContainer()) return false;
                } else if (tag.name == "plist" && inPlist && root_ != nullptr) {
                    break;
                } else {
                    return fail("unexpected closing element");
                }
            } else {
                if (stack_.empty() && root_ != nullptr) return fail("more than one top-level object");
                if (!parseValue(tag)) return false;
            }
            if (!inPlist && stack_.empty() && root_ != nullptr) break;
        }
        if (!skipMisc()) return false;
        if (pos_ != input_.size()) return fail("content after the property list");
        return true;
    }

    CFAllocatorRef allocator_;
    std::string_view input_;
    CFOptionFlags mutability_;
    std::size_t pos_ = 0;
    std::vector<Frame> stack_;
    CFTypeRef root_ = nullptr;
    std::string message_;
    std::size_t failAt_ = 0;
};

}  // namespace

CFPropertyListRef readXMLPlist(CFAllocatorRef allocator, const UInt8* bytes, std::size_t length,
                               CFOptionFlags mutability, std::string& error) {
    try {
        Reader reader(allocator, std::string_view(reinterpret_cast<const char*>(bytes), length), mutability);
        return reader.parse(error);
    } catch (const std::exception&) {
        error = "out of memory";
        return nullptr;
    }
}

}  // namespace cf
