// barcode-record's manual page names every option and every warning code the tool knows, so
// that the two cannot drift apart.
#include <getopt.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/manual_page.h"
#include "tools/barcode-record/inspect.h"
#include "tools/barcode-record/make.h"
#include "tools/barcode-record/record.h"
#include "tools/barcode-record/tool.h"

using ::testing::HasSubstr;

namespace {

std::string page() {
    return read_page(BARCODE_RECORD_PAGE);
}

TEST(BarcodeRecordManual, NamesEveryOption) {
    const struct {
        const char* command;
        const char* short_options;
        const option* options;
    } commands[] = {
        {"the tool", record_tool::TOOL_SHORT_OPTIONS, record_tool::TOOL_OPTIONS},
        {"make", record_tool::MAKE_SHORT_OPTIONS, record_tool::MAKE_OPTIONS},
        {"inspect", record_tool::INSPECT_SHORT_OPTIONS, record_tool::INSPECT_OPTIONS},
    };
    const std::string text = page();
    const std::string synopsis = section(text, "SYNOPSIS");
    ASSERT_THAT(synopsis, HasSubstr(".Cm inspect\n"));
    for (const auto& command : commands) {
        size_t options = 0;
        for (const option* o = command.options; o->name != nullptr; ++o, ++options) {
            // "--name" is written ".Fl \-name" (as ".Fl \-name | \-other" in a list).
            EXPECT_THAT(text, HasSubstr("Fl \\-" + std::string(o->name)))
                << command.command << " --" << o->name;
        }
        EXPECT_GE(options, 2u) << command.command;
        for (const char* c = command.short_options; *c != '\0'; ++c) {
            if (*c != '-' && *c != '+' && *c != ':') {
                std::string flag = std::string("Fl ") + *c;
                EXPECT_TRUE(text.find(flag + " ") != std::string::npos ||
                            text.find(flag + "\n") != std::string::npos)
                    << "-" << *c;
            }
        }
    }
    // The long options of the commands are in the synopsis too, but for --help.
    for (const char* name : {"serial", "isn", "expect-serial", "expect-isn", "json", "version"}) {
        EXPECT_THAT(synopsis, HasSubstr(std::string("\\-") + name)) << name;
    }
    EXPECT_THAT(section(text, "ENVIRONMENT"), HasSubstr(".It Ev POSIXLY_CORRECT\n"));
}

TEST(BarcodeRecordManual, NamesEveryWarningInItsOrder) {
    const std::string warnings = section(page(), "WARNINGS");
    size_t at = 0;
    for (const char* code : record_tool::WARNING_CODES) {
        size_t found = warnings.find(std::string("\n.It Li ") + code + "\n");
        EXPECT_NE(found, std::string::npos) << code;
        EXPECT_GE(found, at) << code << " is out of order";
        at = found == std::string::npos ? at : found;
    }
}

}  // namespace
