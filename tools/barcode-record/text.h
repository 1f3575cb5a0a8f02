// Text encodings: the tool's escapes, UTF-8, JSON strings and hex. Standard library only.
#ifndef VOSSEL_TOOLS_BARCODE_RECORD_TEXT_H
#define VOSSEL_TOOLS_BARCODE_RECORD_TEXT_H

#include <stddef.h>

#include <optional>
#include <string>

namespace record_tool {

// "n thing" or "n things".
std::string count_of(size_t count, const std::string& thing);

// "\\" and "\xHH" escapes to bytes; nullopt for a malformed escape.
std::optional<std::string> unescape(const std::string& text);

// Printable ASCII as it is, but for the backslash and the double quote; every other byte as
// \xHH. unescape() reverses it.
std::string escape(const std::string& bytes);

// Printable ASCII as it is, every other byte as \xHH: a text as it was typed, kept on one line.
std::string printable(const std::string& bytes);

// Whether the text is well-formed UTF-8 throughout.
bool valid_utf8(const std::string& text);

// Valid UTF-8: each well-formed character as it is, each byte that starts none as one U+FFFD
// (so a character cut short gives one U+FFFD for each of its bytes).
std::string to_utf8(const std::string& bytes);

// A JSON string of UTF-8 text: the quote and the backslash escaped, and the control characters
// (DEL too) as \u00XX.
std::string json_string(const std::string& utf8);

// Two lowercase hex digits a byte.
std::string hex(const std::string& bytes);

}  // namespace record_tool

#endif
