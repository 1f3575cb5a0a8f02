// The tool's command line: its own options (--help, --version), then the command that runs.
#ifndef VOSSEL_TOOLS_BARCODE_RECORD_TOOL_H
#define VOSSEL_TOOLS_BARCODE_RECORD_TOOL_H

#include <getopt.h>

namespace record_tool {

// The whole help: the tool's synopsis, then each command's help.
extern const char TOOL_USAGE[];

// The options before a command, as getopt_long takes them.
extern const char TOOL_SHORT_OPTIONS[];
extern const option TOOL_OPTIONS[];

// Runs the command line and returns the exit status; `version` is what --version prints after
// the tool's name.
int run_tool(int argc, char** argv, const char* version);

}  // namespace record_tool

#endif
