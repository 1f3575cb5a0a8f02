// The make command.
#include "tools/barcode-record/make.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/barcode-record/command_line.h"
#include "tools/barcode-record/files.h"
#include "tools/barcode-record/record.h"
#include "tools/barcode-record/text.h"

namespace record_tool {

const char MAKE_USAGE[] = R"(usage: barcode-record make [OPTION]... --serial TEXT --isn TEXT

  --serial TEXT          the serial text, written at byte 104
  --isn TEXT             the ISN text, written at byte 251
  --expect-serial TEXT   the "ro.serialno" a device must publish, or no record
  --expect-isn TEXT      the "ro.isn" a device must publish, or no record
  -o, --output FILE      the file to replace whole (-: standard output)
  -h, --help             this help
)";

// "-": each operand comes back in order as option 1 (see main).
const char MAKE_SHORT_OPTIONS[] = "-o:h";
const option MAKE_OPTIONS[] = {{"serial", required_argument, nullptr, 's'},
                               {"isn", required_argument, nullptr, 'i'},
                               {"expect-serial", required_argument, nullptr, 'S'},
                               {"expect-isn", required_argument, nullptr, 'I'},
                               {"output", required_argument, nullptr, 'o'},
                               {"help", no_argument, nullptr, 'h'},
                               {}};

namespace {

// The command line, read whole.
struct Request {
    std::optional<std::string> serial;
    std::optional<std::string> isn;
    std::optional<std::string> expect_serial;
    std::optional<std::string> expect_isn;
    std::optional<std::string> output;  // none: standard output
};

// An option that takes a value, and the name a mistake gives it.
struct Valued {
    int c;
    const char* name;
    std::optional<std::string> Request::*value;
};
const Valued VALUED[] = {{'s', "--serial", &Request::serial},
                         {'i', "--isn", &Request::isn},
                         {'S', "--expect-serial", &Request::expect_serial},
                         {'I', "--expect-isn", &Request::expect_isn},
                         {'o', "-o", &Request::output}};

// Reads the command line into `request`. Returns the status to end with, for the help or a
// mistake, or -1 to go on. The first mistake is told once the whole line is read: --help
// anywhere asks for the help, whatever else is given.
int read_command_line(int argc, char** argv, Request& request) {
    const std::string usage = MAKE_USAGE;
    std::string mistake;
    auto note = [&](const std::string& what) {
        if (mistake.empty()) {
            mistake = what;
        }
    };
    for (int c = 0;
         (c = getopt_long(argc, argv, MAKE_SHORT_OPTIONS, MAKE_OPTIONS, nullptr)) != -1;) {
        const Valued* valued = std::find_if(std::begin(VALUED), std::end(VALUED),
                                            [c](const Valued& option) { return option.c == c; });
        if (c == 'h') {
            return help(usage);
        }
        if (c == 1) {
            note("unexpected argument " + printable(optarg));
        } else if (valued == std::end(VALUED)) {
            return usage_error("", usage);
        } else if (request.*valued->value) {
            note(std::string(valued->name) + " is given twice");
        } else {
            request.*valued->value = optarg;
        }
    }
    if (optind < argc) {
        note("unexpected argument " + printable(argv[optind]));
    }
    if (!request.serial || !request.isn) {
        note("both --serial and --isn are needed");
    }
    if (request.output && request.output->empty()) {
        note("-o needs a file name");
    }
    if (!mistake.empty()) {
        return usage_error(mistake, usage);
    }
    if (request.output == "-") {
        request.output.reset();
    }
    return -1;
}

// A text's field, and what is told of a text that does not fit it.
struct Field {
    const char* option;
    const char* name;
    size_t offset;
    size_t max;
    const char* zero_byte;  // why a zero byte is refused
    const char* end;        // where the text must end
};
// The serial's field, then the ISN's.
const Field FIELDS[] = {
    {"--serial", "the serial text", SERIAL_FIELD_OFFSET, SERIAL_TEXT_MAX,
     ", which would end or split the field", "before byte 251"},
    // A device reads the ISN up to its first zero byte and would publish that much, silently.
    {"--isn", "the ISN text", ISN_FIELD_OFFSET, ISN_TEXT_MAX,
     ": a device would publish only the part before it", "inside the record"},
};

// Puts the text `given` for `field` into `record`; false when it is refused, which is told.
bool put_text(Record& record, const Field& field, const std::string& given) {
    std::optional<std::string> text = option_text(field.option, given);
    if (!text) {
        return false;
    }
    if (text->find('\0') != std::string::npos) {
        fail(std::string(field.name) + " holds a zero byte" + field.zero_byte);
        return false;
    }
    if (text->size() > field.max) {
        fail(std::string(field.name) + " is " + std::to_string(text->size()) +
             " bytes; with its zero byte it must end " + field.end + ", so at most " +
             std::to_string(field.max));
        return false;
    }
    std::copy(text->begin(), text->end(), record.bytes + field.offset);
    return true;
}

// make -o: the record to `output`, or to the file it links to. Only a regular file is replaced:
// renaming over a device, a pipe or a folder would remove it, and renaming over a link would
// put a file in its place. Nor is one that the user may not write, as a shell's ">" would not
// write it, though the rename needs only the folder. A link that names no file, or that cannot
// be followed, is refused with nothing changed. The file replaced keeps its permission bits, as
// it would under ">"; a new file gets those of a plain create.
int write_record_file(const std::string& output, const std::string& record) {
    const std::string shown = escape(output);
    auto refuse = [&](const std::string& why) { return fail(shown + ": " + why); };
    std::string target = output;
    mode_t mode = plain_create_mode();
    struct stat entry = {};
    const bool exists = lstat(output.c_str(), &entry) == 0;
    if (!exists && errno != ENOENT) {
        return refuse(strerror(errno));
    }
    if (exists && S_ISLNK(entry.st_mode)) {
        if (stat(output.c_str(), &entry) != 0) {
            return refuse(errno == ENOENT ? "a symbolic link that names no file; -o follows "
                                            "links to existing files only"
                                          : strerror(errno));
        }
        if (!S_ISREG(entry.st_mode)) {
            return refuse("a symbolic link to what is not a regular file; -o replaces files only");
        }
        std::unique_ptr<char, decltype(&free)> resolved(realpath(output.c_str(), nullptr), free);
        if (!resolved) {
            return refuse(strerror(errno));
        }
        target = resolved.get();
    } else if (exists && !S_ISREG(entry.st_mode)) {
        return refuse("not a regular file; -o replaces files only");
    }
    if (exists) {
        if (access(target.c_str(), W_OK) != 0) {
            return refuse(std::string(strerror(errno)) + "; -o replaces only files you may write");
        }
        mode = entry.st_mode & 0777;
    }

    int error = 0;
    replace_outcome outcome = replace_file(target, record, mode, error);
    if (outcome == no_temporary_file) {
        return fail("cannot create a temporary file in " + escape(folder_of(target)) +
                    " (the record is written there first, then renamed to " + shown +
                    "): " + strerror(error));
    }
    if (outcome == replaced_unsynced) {
        return refuse(std::string("written, but its folder could not be synced, so the record may "
                                  "not survive a power cut: ") +
                      strerror(error));
    }
    return outcome == replaced ? status_clean : refuse(strerror(error));
}

}  // namespace

int make(int argc, char** argv) {
    Request request;
    if (int status = read_command_line(argc, argv, request); status >= 0) {
        return status;
    }
    Record record = {};
    if (!put_text(record, FIELDS[0], *request.serial) ||
        !put_text(record, FIELDS[1], *request.isn)) {
        return status_refused;
    }
    Expectation expectation;
    if (!read_expectation(request.expect_serial, request.expect_isn, expectation)) {
        return status_refused;
    }
    if (!request.output && isatty(STDOUT_FILENO) == 1) {
        return fail("will not write a binary record to a terminal; use -o FILE");
    }

    // What a device will make of the record, as inspect tells it; a record that a device would
    // not publish as expected is not written.
    Inspection inspection = inspect_record(record);
    std::vector<Mismatch> mismatched = mismatches(inspection, expectation);
    auto tell_warnings = [&] {
        for (const Warning& warning : inspection.warnings) {
            tell("warning: " + warning.told());
        }
    };
    if (!mismatched.empty()) {
        tell_warnings();
        for (const Mismatch& mismatch : mismatched) {
            tell("mismatch: " + mismatch.told());
        }
        return status_mismatch;
    }

    const std::string bytes(std::begin(record.bytes), std::end(record.bytes));
    int written = status_clean;
    if (request.output) {
        written = write_record_file(*request.output, bytes);
    } else {
        put(bytes);
        written = finish_output(status_clean);
    }
    if (written != status_clean) {
        return written;
    }
    tell_warnings();
    return inspection.warnings.empty() || expectation.given() ? status_clean : status_warnings;
}

}  // namespace record_tool
