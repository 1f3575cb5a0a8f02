// vossel-check's manual page names every option and every code the tool knows, so that the two
// cannot drift apart.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/manual_page.h"
#include "tools/vossel-check/findings.h"
#include "tools/vossel-check/tool.h"

using ::testing::HasSubstr;

namespace {

std::string page() {
    return read_page(VOSSEL_CHECK_PAGE);
}

TEST(VosselCheckManual, NamesEveryOptionCodeAndStatus) {
    const std::string text = page();
    const std::string synopsis = section(text, "SYNOPSIS");
    int options = 0;
    for (const char* const* option = vossel_check::OPTIONS; *option != nullptr; ++option) {
        // "--name" is written "\-name", after .Fl or a bar.
        std::string written = std::string("\\-") + (*option + 2);
        EXPECT_THAT(synopsis, HasSubstr(written)) << *option;
        EXPECT_THAT(section(text, "DESCRIPTION"), HasSubstr("\n.It Fl " + written)) << *option;
        ++options;
    }
    EXPECT_EQ(options, 6);
    const std::string checks = section(text, "CHECKS");
    int codes = 0;
    for (const char* const* code = vossel_check::CODES; *code != nullptr; ++code, ++codes) {
        EXPECT_THAT(checks, HasSubstr(std::string("\n.It Li ") + *code + "\n")) << *code;
    }
    EXPECT_EQ(codes, 25);
    const std::string statuses = section(text, "EXIT STATUS");
    for (const char* status : {"\n.It 0\n", "\n.It 1\n", "\n.It 2\n"}) {
        EXPECT_THAT(statuses, HasSubstr(status));
    }
}

}  // namespace
