// The tool's command line and the dispatch to its commands.
#include "tools/barcode-record/tool.h"

#include <string>
#include <vector>

#include "tools/barcode-record/command_line.h"
#include "tools/barcode-record/inspect.h"
#include "tools/barcode-record/make.h"
#include "tools/barcode-record/text.h"

namespace record_tool {

const char TOOL_USAGE[] = R"(usage: barcode-record make|inspect ARGUMENT...
       barcode-record --help | --version

  -h, --help   this help, then each command's
  --version    the tool's name and version
)";

// "+": the options before the command only; the command parses its own.
const char TOOL_SHORT_OPTIONS[] = "+h";
const option TOOL_OPTIONS[] = {
    {"help", no_argument, nullptr, 'h'}, {"version", no_argument, nullptr, 'V'}, {}};

int run_tool(int argc, char** argv, const char* version) {
    std::string program = PROGRAM;
    argv[0] = program.data();  // the name getopt_long gives in its messages
    if (int c = getopt_long(argc, argv, TOOL_SHORT_OPTIONS, TOOL_OPTIONS, nullptr); c != -1) {
        if (c == 'V') {
            return help(program + " " + version + "\n");
        }
        return c == 'h' ? help(std::string(TOOL_USAGE) + "\n" + MAKE_USAGE + "\n" + INSPECT_USAGE)
                        : usage_error("", TOOL_USAGE);
    }
    if (optind == argc) {
        return usage_error("no command", TOOL_USAGE);
    }

    // The command's arguments, as a vector of their own whose first word names the command in
    // getopt_long's messages. The commands' option strings start with "-": each operand comes
    // back in order as option 1, so options may follow files, whatever POSIXLY_CORRECT says, and
    // nothing is permuted. optind = 0 makes glibc start afresh and read that "-".
    std::string command = argv[optind];
    if (command != "make" && command != "inspect") {
        return usage_error("unknown command " + printable(command), TOOL_USAGE);
    }
    std::string label = begin_command(command);
    std::vector<char*> args(argv + optind, argv + argc);
    args[0] = label.data();
    args.push_back(nullptr);
    optind = 0;
    int count = static_cast<int>(args.size()) - 1;
    return command == "make" ? make(count, args.data()) : inspect(count, args.data());
}

}  // namespace record_tool
