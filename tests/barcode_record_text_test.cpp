// barcode-record's text encodings, called directly: which ISNs are UTF-8, and how inspect --json
// spells each.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/barcode-record/text.h"

namespace {

// UTF-8 at the edges: U+0080, U+07FF, U+0800, U+D7FF, U+E000, U+FFFF, U+10000 and U+10FFFF are
// valid; a cut character, a stray continuation byte, overlong forms, U+D800 to U+DFFF, U+110000,
// the longer forms and the bytes that never occur are not. The check and the decoding agree:
// valid text is spelled as it is, and each byte that begins no UTF-8 character is one U+FFFD.
// Only the quote, the backslash and the control characters (DEL too) are escaped.
TEST(BarcodeRecordText, TheIsnIsCheckedAsUtf8AndSpelledInJsonExactly) {
    const std::string R = "\xef\xbf\xbd";
    struct Case {
        std::string bytes;
        bool utf8;
        std::string json = "";  // none: the bytes as they are
    };
    std::vector<Case> cases = {
        {"caf\xc3\xa9 \xf0\x9f\x93\xa6", true},
        {"\xc2\x80", true},
        {"\xe0\xa0\x80", true},
        {"\xed\x9f\xbf", true},
        {"\xee\x80\x80", true},
        {"\xf0\x90\x80\x80", true},
        {"\xf4\x8f\xbf\xbf", true},
        {"\xc2\x80\xdf\xbf\xe0\xa0\x80\xef\xbf\xbf", true},
        {"\xed\x9f\xbf\xee\x80\x80", true},  // around the surrogates
        {"\xf0\x90\x80\x80\xf4\x8f\xbf\xbf", true},
        {" a\x7f", true, " a\\u007f"},
        {"\x01\t\n\x1f\"\\/", true, "\\u0001\\u0009\\u000a\\u001f\\\"\\\\/"},
        {"\xc3", false, R},          // cut short
        {"\x80", false, R},          // a stray continuation
        {"\xc0\xaf", false, R + R},  // overlong "/"
        {"\xe0\x80\xaf", false, R + R + R},
        {"\xf0\x80\x80\xaf", false, R + R + R + R},
        {"\xc1\xbf", false, R + R},  // overlong, at each length's edge
        {"\xe0\x9f\xbf", false, R + R + R},
        {"\xf0\x8f\xbf\xbf", false, R + R + R + R},
        {"\xed\xa0\x80", false, R + R + R},  // U+D800
        {"\xed\xbf\xbf", false, R + R + R},  // U+DFFF
        {"\xed\xa0\x80\xed\xbf\xbf", false, R + R + R + R + R + R},
        {"\xf4\x90\x80\x80", false, R + R + R + R},          // past U+10FFFF
        {"\xf8\x88\x80\x80\x80", false, R + R + R + R + R},  // a five-byte form
        {"\xc3\xc3\xa9", false, R + "\xc3\xa9"},  // a lead byte where a continuation belongs
        {"\xe2\x82\xc0\x80", false, R + R + R + R},
        {std::string("\xe2\x82") + "A\xf0\x9f\x93", false, R + R + "A" + R + R + R},  // cut short
    };
    for (int lead = 0xf8; lead <= 0xff; ++lead) {
        cases.push_back(
            {std::string(1, static_cast<char>(lead)) + "\x80\x80\x80", false, R + R + R + R});
    }
    for (const Case& c : cases) {
        const std::string bytes = testing::PrintToString(c.bytes);
        EXPECT_EQ(record_tool::valid_utf8(c.bytes), c.utf8) << bytes;
        EXPECT_EQ(record_tool::json_string(record_tool::to_utf8(c.bytes)),
                  "\"" + (c.json.empty() ? c.bytes : c.json) + "\"")
            << bytes;
    }
}

}  // namespace
