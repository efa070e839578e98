// Writer for XML property lists; see xmlplist.h.

#include "sysframeworks/corefoundation/base64.h"
#include "sysframeworks/corefoundation/cfcollections.h"
#include "sysframeworks/corefoundation/cfmisc.h"
#include "sysframeworks/corefoundation/cfnumberimpl.h"
#include "sysframeworks/corefoundation/cfstringimpl.h"
#include "sysframeworks/corefoundation/xmlplist.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace cf {

namespace {

void indent(std::string& out, std::size_t depth) { out.append(depth, '\t'); }

void appendEscaped(std::string& out, const std::string& text) {
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            default: out.push_back(c);
        }
    }
}

void appendReal(std::string& out, double v) {
    if (std::isnan(v)) {
        out += "nan";
    } else if (std::isinf(v)) {
        out += v > 0 ? "+infinity" : "-infinity";
    } else {
        // Shortest text that reads back to the same double.
        char text[64];
        auto r = std::to_chars(text, text + sizeof text, v);
        out.append(text, r.ptr);
    }
}

void appendData(std::string& out, const std::vector<UInt8>& bytes, std::size_t depth) {
    // 76 columns per line with a tab counted as 8, in whole groups of four.
    const std::size_t columns = 76 - 8 * std::min<std::size_t>(depth, 8);
    const std::size_t perLine = std::max<std::size_t>(4, columns / 4 * 4);
    const std::string text = base64Encode(bytes.data(), bytes.size());
    for (std::size_t i = 0; i < text.size(); i += perLine) {
        indent(out, depth);
        out.append(text, i, perLine);
        out += '\n';
    }
}

bool writeValue(CFTypeRef value, std::string& out, std::size_t depth, std::string& error) {
    if (depth > kMaxPlistDepth) {
        error = "property list nested too deeply";
        return false;
    }
    auto* object = static_cast<Object*>(const_cast<void*>(value));
    if (!Object::isObject(value)) {
        error = "not a property-list object";
        return false;
    }
    indent(out, depth);
    switch (object->typeID()) {
        case kTypeString:
            out += "<string>";
            appendEscaped(out, utf8Of(*static_cast<String*>(object)));
            out += "</string>\n";
            return true;
        case kTypeNumber: {
            auto* n = static_cast<Number*>(object);
            if (n->floating) {
                out += "<real>";
                appendReal(out, n->real);
                out += "</real>\n";
            } else {
                out += "<integer>" + std::to_string(n->integer) + "</integer>\n";
            }
            return true;
        }
        case kTypeBoolean:
            out += static_cast<BooleanObject*>(object)->value ? "<true/>\n" : "<false/>\n";
            return true;
        case kTypeDate:
            out += "<date>" + formatISO8601(static_cast<Date*>(object)->time) + "</date>\n";
            return true;
        case kTypeData:
            out += "<data>\n";
            appendData(out, static_cast<Data*>(object)->bytes, depth);
            indent(out, depth);
            out += "</data>\n";
            return true;
        case kTypeArray: {
            auto* a = static_cast<Array*>(object);
            if (a->values.empty()) {
                out += "<array/>\n";
                return true;
            }
            out += "<array>\n";
            for (const void* v : a->values)
                if (!writeValue(v, out, depth + 1, error)) return false;
            indent(out, depth);
            out += "</array>\n";
            return true;
        }
        case kTypeDictionary: {
            auto* d = static_cast<Dictionary*>(object);
            if (d->map.empty()) {
                out += "<dict/>\n";
                return true;
            }
            std::vector<std::pair<const void*, const void*>> entries;
            if (!sortedStringEntries(*d, entries)) {
                error = "dictionary key is not a string";
                return false;
            }
            out += "<dict>\n";
            for (auto& [k, v] : entries) {
                indent(out, depth + 1);
                out += "<key>";
                appendEscaped(out, utf8Of(*tryAs<String>(k)));
                out += "</key>\n";
                if (!writeValue(v, out, depth + 1, error)) return false;
            }
            indent(out, depth);
            out += "</dict>\n";
            return true;
        }
        default:
            error = "not a property-list object";
            return false;
    }
}

}  // namespace

bool writeXMLPlist(CFPropertyListRef plist, std::string& out, std::string& error) {
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n";
    if (!writeValue(plist, out, 0, error)) return false;
    out += "</plist>\n";
    return true;
}

}  // namespace cf
