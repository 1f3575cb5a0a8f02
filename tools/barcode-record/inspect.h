// The inspect command: tells, for each file, what a device would publish from it, in text or
// as JSON lines.
#ifndef VOSSEL_TOOLS_BARCODE_RECORD_INSPECT_H
#define VOSSEL_TOOLS_BARCODE_RECORD_INSPECT_H

#include <getopt.h>

namespace record_tool {

// The command's help; its first line is its synopsis.
extern const char INSPECT_USAGE[];

// Its options, as getopt_long takes them.
extern const char INSPECT_SHORT_OPTIONS[];
extern const option INSPECT_OPTIONS[];

// Runs the command on its arguments, argv[0] naming it, and returns the exit status.
int inspect(int argc, char** argv);

}  // namespace record_tool

#endif
