// What the commands share on the command line: the tool's name, its exit statuses, and how it
// tells a failure, a wrong command line and its help.
#ifndef VOSSEL_TOOLS_BARCODE_RECORD_COMMAND_LINE_H
#define VOSSEL_TOOLS_BARCODE_RECORD_COMMAND_LINE_H

#include <optional>
#include <string>

#include "tools/barcode-record/record.h"

namespace record_tool {

// The name the tool gives itself in its messages, whatever it was started as.
extern const char PROGRAM[];

// With --expect-serial or --expect-isn, 1 is a mismatch, and warnings change no status.
enum status { status_clean = 0, status_warnings = 1, status_mismatch = 1, status_refused = 2 };

// From here on, every message names the command `name` after the tool ("barcode-record: make:
// ..."). Returns that start of a message, without its colon, for getopt_long to give as well.
std::string begin_command(const std::string& name);

// "barcode-record: COMMAND: MESSAGE" on standard error, the command's name if one runs.
void tell(const std::string& message);

// tell(message), and returns status_refused.
int fail(const std::string& message);

// The bytes of an option's TEXT, its escapes undone (see text.h). A malformed escape is told,
// naming the option and showing the text as given, and gives none.
std::optional<std::string> option_text(const std::string& option, const std::string& given);

// The expectation of --expect-serial and --expect-isn, given as `serial` and `isn`, into
// `expectation`; false when either has a malformed escape, which is told.
bool read_expectation(const std::optional<std::string>& serial,
                      const std::optional<std::string>& isn, Expectation& expectation);

// A wrong command line, on standard error: what is wrong (getopt_long has said it already when
// `message` is empty), the first line of `usage` (its synopsis), and where the full help is:
// the running command's own --help, or the tool's. Returns status_refused.
int usage_error(const std::string& message, const std::string& usage);

// Ends a command that writes to standard output: output that cannot be written whole is a
// failure, told on standard error, with status_refused in place of `status`.
int finish_output(int status);

// `text` on standard output: status_clean, unless it cannot be written.
int help(const std::string& text);

}  // namespace record_tool

#endif
