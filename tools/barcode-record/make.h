// The make command: writes one barcode record, then tells the warnings it gives.
#ifndef VOSSEL_TOOLS_BARCODE_RECORD_MAKE_H
#define VOSSEL_TOOLS_BARCODE_RECORD_MAKE_H

#include <getopt.h>

namespace record_tool {

// The command's help; its first line is its synopsis.
extern const char MAKE_USAGE[];

// Its options, as getopt_long takes them.
extern const char MAKE_SHORT_OPTIONS[];
extern const option MAKE_OPTIONS[];

// Runs the command on its arguments, argv[0] naming it, and returns the exit status.
int make(int argc, char** argv);

}  // namespace record_tool

#endif
