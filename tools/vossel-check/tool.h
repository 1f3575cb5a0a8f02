// The command line of vossel-check: its options, its answers and its exit statuses.
#ifndef VOSSEL_TOOLS_VOSSEL_CHECK_TOOL_H
#define VOSSEL_TOOLS_VOSSEL_CHECK_TOOL_H

namespace vossel_check {

// 0: no error found; 1: an error found; 2: a mistake in the command line, or an image that
// cannot be read.
enum status { status_clean = 0, status_errors = 1, status_refused = 2 };

// Every option the tool takes, for the manual page's test.
extern const char* const OPTIONS[];

int run_tool(int argc, char** argv, const char* version);

}  // namespace vossel_check

#endif
