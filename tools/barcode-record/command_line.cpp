// What the commands share on the command line.
#include "tools/barcode-record/command_line.h"

#include <stdio.h>
#include <string.h>

#include "tools/barcode-record/files.h"
#include "tools/barcode-record/text.h"

namespace record_tool {

const char PROGRAM[] = "barcode-record";

namespace {

// The command that runs; empty before one does.
std::string& command() {
    static std::string name;
    return name;
}

std::string speaker() {
    return command().empty() ? PROGRAM : PROGRAM + (": " + command());
}

// Standard error has no one to tell of its own failure.
void say(const std::string& lines) {
    (void)fputs(lines.c_str(), stderr);
}

}  // namespace

std::string begin_command(const std::string& name) {
    command() = name;
    return speaker();
}

void tell(const std::string& message) {
    say(speaker() + ": " + message + "\n");
}

int fail(const std::string& message) {
    tell(message);
    return status_refused;
}

std::optional<std::string> option_text(const std::string& option, const std::string& given) {
    std::optional<std::string> text = unescape(given);
    if (!text) {
        tell(option + ": malformed escape in '" + printable(given) +
             "': a backslash starts \\\\ or \\xHH only");
    }
    return text;
}

bool read_expectation(const std::optional<std::string>& serial,
                      const std::optional<std::string>& isn, Expectation& expectation) {
    return (!serial || (expectation.serial = option_text("--expect-serial", *serial))) &&
           (!isn || (expectation.isn = option_text("--expect-isn", *isn)));
}

int usage_error(const std::string& message, const std::string& usage) {
    if (!message.empty()) {
        tell(message);
    }
    std::string asked = command().empty() ? PROGRAM : PROGRAM + (" " + command());
    say(usage.substr(0, usage.find('\n')) + "\nTry '" + asked + " --help' for more information.\n");
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
