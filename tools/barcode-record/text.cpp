// Text encodings: the tool's escapes, UTF-8, JSON strings and hex.
#include "tools/barcode-record/text.h"

#include <ctype.h>

#include <algorithm>

namespace record_tool {

std::string count_of(size_t count, const std::string& thing) {
    return std::to_string(count) + " " + thing + (count == 1 ? "" : "s");
}

namespace {

const char HEX_DIGITS[] = "0123456789abcdef";

// Printable ASCII as it is, every other byte as \xHH; with `marks`, the backslash as \\ and the
// double quote as \x22 too.
std::string escaped(const std::string& bytes, bool marks) {
    std::string text;
    for (unsigned char byte : bytes) {
        if (marks && byte == '\\') {
            text += "\\\\";
        } else if (byte >= 0x20 && byte < 0x7f && !(marks && byte == '"')) {
            text += static_cast<char>(byte);
        } else {
            text += {'\\', 'x', HEX_DIGITS[byte >> 4], HEX_DIGITS[byte & 0xf]};
        }
    }
    return text;
}

}  // namespace

std::optional<std::string> unescape(const std::string& text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes += text[i];
        } else if (text.compare(i, 2, "\\\\") == 0) {
            bytes += '\\';
            ++i;
        } else if (text.compare(i, 2, "\\x") == 0 && i + 3 < text.size() &&
                   isxdigit(static_cast<unsigned char>(text[i + 2])) != 0 &&
                   isxdigit(static_cast<unsigned char>(text[i + 3])) != 0) {
            bytes += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            return std::nullopt;
        }
    }
    return bytes;
}

std::string escape(const std::string& bytes) {
    return escaped(bytes, true);
}

std::string printable(const std::string& bytes) {
    return escaped(bytes, false);
}

namespace {

// The length of the well-formed UTF-8 character that starts at text[at], or 0 when none does:
// a stray continuation byte, an overlong form, a surrogate (U+D800 to U+DFFF), a code point
// past U+10FFFF, or a character cut short. The check of the ISN and the decoding for JSON both
// go through here, so they cannot disagree.
size_t utf8_character(const std::string& text, size_t at) {
    unsigned char lead = text[at];
    size_t length = lead < 0x80         ? 1
                    : lead >> 5 == 0x6  ? 2
                    : lead >> 4 == 0xe  ? 3
                    : lead >> 3 == 0x1e ? 4
                                        : 0;
    if (length == 0 || at + length > text.size()) {
        return 0;
    }
    unsigned long code = length == 1 ? lead : lead & (0x7f >> length);
    for (size_t k = 1; k < length; ++k) {
        unsigned char next = text[at + k];
        if (next >> 6 != 0x2) {
            return 0;
        }
        code = code << 6 | (next & 0x3f);
    }
    static const unsigned long SMALLEST[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < SMALLEST[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) {
        return 0;
    }
    return length;
}

}  // namespace

bool valid_utf8(const std::string& text) {
    for (size_t at = 0, length = 0; at < text.size(); at += length) {
        if ((length = utf8_character(text, at)) == 0) {
            return false;
        }
    }
    return true;
}

std::string to_utf8(const std::string& bytes) {
    std::string text;
    for (size_t at = 0; at < bytes.size();) {
        size_t length = utf8_character(bytes, at);
        text += length == 0 ? "\xef\xbf\xbd" : bytes.substr(at, length);
        at += std::max<size_t>(length, 1);
    }
    return text;
}

std::string json_string(const std::string& utf8) {
    std::string text = "\"";
    for (char c : utf8) {
        unsigned char byte = c;
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            text += {'\\', 'u', '0', '0', HEX_DIGITS[byte >> 4], HEX_DIGITS[byte & 0xf]};
        } else {
            text += c;
        }
    }
    return text + "\"";
}

std::string hex(const std::string& bytes) {
    std::string text;
    for (unsigned char byte : bytes) {
        text += {HEX_DIGITS[byte >> 4], HEX_DIGITS[byte & 0xf]};
    }
    return text;
}

}  // namespace record_tool
