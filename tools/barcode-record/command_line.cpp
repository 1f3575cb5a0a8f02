// What the commands share on the command line.
#include "tools/barcode-record/command_line.h"

#include <stdio.h>
#include <string.h>

#include "tools/barcode-record/files.h"

namespace record_tool {

const char PROGRAM[] = "barcode-record";

int fail(const std::string& message) {
    fprintf(stderr, "%s: %s\n", PROGRAM, message.c_str());
    return status_refused;
}

int usage_error(const std::string& message, const std::string& usage, const std::string& command) {
    if (!message.empty()) {
        fprintf(stderr, "%s: %s\n", PROGRAM, message.c_str());
    }
    std::string synopsis = usage.substr(0, usage.find('\n'));
    std::string asked = command.empty() ? PROGRAM : std::string(PROGRAM) + " " + command;
    fprintf(stderr, "%s\nTry '%s --help' for more information.\n", synopsis.c_str(), asked.c_str());
    return status_refused;
}

int finish_output(int status) {
    int error = flush_output();
    return error == 0 ? status : fail(std::string("standard output: ") + strerror(error));
}

int help(const std::string& text) {
    put(text);
    return finish_output(status_clean);
}

}  // namespace record_tool
