// The make command.
#include "tools/barcode-record/make.h"

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "tools/barcode-record/command_line.h"
#include "tools/barcode-record/files.h"
#include "tools/barcode-record/record.h"
#include "tools/barcode-record/text.h"

namespace record_tool {

const char MAKE_USAGE[] = R"(usage: barcode-record make --serial TEXT --isn TEXT [-o FILE]

Writes one 1024-byte barcode record: the serial text at byte 104, the ISN text at byte 251,
zero bytes everywhere else. In TEXT, \\ stands for a backslash and \xHH for any byte. Neither
text may hold a zero byte; the serial must end, with its zero byte, before byte 251, the ISN
before the end of the record. Then prints on standard error the warnings that inspect gives
for the record written.

  --serial TEXT       the serial text
  --isn TEXT          the ISN text
  -o, --output FILE   writes FILE whole or not at all: a temporary file in the folder of the
                      file replaced, renamed into place; FILE, if it exists, must be a regular
                      file, or a symbolic link to one, whose file is then replaced (a link
                      that names no file is refused); without -o, standard output, unless a
                      terminal

A SIGHUP, SIGINT, SIGQUIT or SIGTERM during the write leaves no temporary file, and FILE as it
was unless the rename was done.

Exit status: 0 the record was written and is clean; 1 it was written, with warnings; 2 it was
refused or not written, or the command is wrong.
)";

// "-": each operand comes back in order as option 1 (see main).
const char MAKE_SHORT_OPTIONS[] = "-o:h";
const option MAKE_OPTIONS[] = {{"serial", required_argument, nullptr, 's'},
                               {"isn", required_argument, nullptr, 'i'},
                               {"output", required_argument, nullptr, 'o'},
                               {"help", no_argument, nullptr, 'h'},
                               {}};

namespace {

// make -o: the record to `output`, or to the file it links to. Only a regular file is replaced:
// renaming over a device, a pipe or a folder would remove it, and renaming over a link would
// put a file in its place. A link that names no file, or that cannot be followed, is refused
// with nothing changed. The file replaced keeps its permission bits, as it would under a
// shell's ">"; a new file gets those of a plain create.
int write_record_file(const std::string& output, const std::string& record) {
    auto refuse = [&](const std::string& why) { return fail("make: " + output + ": " + why); };
    std::string target = output;
    mode_t mode = 0;
    struct stat entry;
    if (lstat(output.c_str(), &entry) != 0) {
        if (errno != ENOENT) {
            return refuse(strerror(errno));
        }
        mode = plain_create_mode();
    } else if (S_ISLNK(entry.st_mode)) {
        struct stat named;
        if (stat(output.c_str(), &named) != 0) {
            return refuse(errno == ENOENT ? "a symbolic link that names no file; -o follows "
                                            "links to existing files only"
                                          : strerror(errno));
        }
        if (!S_ISREG(named.st_mode)) {
            return refuse("a symbolic link to what is not a regular file; -o replaces files only");
        }
        char resolved[PATH_MAX];
        if (realpath(output.c_str(), resolved) == nullptr) {
            return refuse(strerror(errno));
        }
        target = resolved;
        mode = named.st_mode & 0777;
    } else if (!S_ISREG(entry.st_mode)) {
        return refuse("not a regular file; -o replaces files only");
    } else {
        mode = entry.st_mode & 0777;
    }

    bool created = false;
    int error = replace_file(target, record, mode, created);
    if (error != 0 && !created) {
        return fail("make: cannot create a temporary file in " + folder_of(target) +
                    " (the record is written there first, then renamed to " + output +
                    "): " + strerror(error));
    }
    return error == 0 ? status_clean : refuse(strerror(error));
}

// Prints on standard error the warnings that inspect gives for a record that make wrote, and
// returns inspect's status for it.
int tell_warnings(const std::string& record) {
    Examination result = examine(record);
    for (const auto& [code, message] : result.warnings) {
        fprintf(stderr, "%s: make: warning: %s (%s)\n", PROGRAM, message.c_str(), code.c_str());
    }
    return result.warnings.empty() ? status_clean : status_warnings;
}

}  // namespace

int make(int argc, char** argv) {
    const std::string usage = MAKE_USAGE;
    std::optional<std::string> serial_text, isn_text, output;
    // The first mistake on the command line, told once the whole of it is read: --help
    // anywhere asks for the help, whatever else is given.
    std::string mistake;
    auto note = [&](const std::string& what) {
        if (mistake.empty()) {
            mistake = "make: " + what;
        }
    };
    for (int c; (c = getopt_long(argc, argv, MAKE_SHORT_OPTIONS, MAKE_OPTIONS, nullptr)) != -1;) {
        std::optional<std::string>* value = c == 's'   ? &serial_text
                                            : c == 'i' ? &isn_text
                                            : c == 'o' ? &output
                                                       : nullptr;
        if (c == 'h') {
            return help(usage);
        }
        if (c == 1) {
            note(std::string("unexpected argument ") + optarg);
        } else if (value == nullptr) {
            return usage_error("", usage, "make");
        } else if (*value) {
            note(std::string(c == 's'   ? "--serial"
                             : c == 'i' ? "--isn"
                                        : "-o") +
                 " is given twice");
        } else {
            *value = optarg;
        }
    }
    if (optind < argc) {
        note(std::string("unexpected argument ") + argv[optind]);
    }
    if (!serial_text || !isn_text) {
        note("both --serial and --isn are needed");
    }
    if (output && output->empty()) {
        note("-o needs a file name");
    }
    if (!mistake.empty()) {
        return usage_error(mistake, usage, "make");
    }

    std::optional<std::string> serial = unescape(*serial_text);
    std::optional<std::string> isn = unescape(*isn_text);
    if (!serial || !isn) {
        return fail("make: a backslash in TEXT starts \\\\ or \\xHH only");
    }
    if (serial->find('\0') != std::string::npos) {
        return fail("make: the serial text holds a zero byte, which would end or split the field");
    }
    // A device reads the ISN up to its first zero byte and would publish that much, silently.
    if (isn->find('\0') != std::string::npos) {
        return fail(
            "make: the ISN text holds a zero byte: a device would publish only the part "
            "before it");
    }
    if (serial->size() > SERIAL_TEXT_MAX) {
        return fail("make: the serial text is " + std::to_string(serial->size()) +
                    " bytes; with its zero byte it must end before byte 251, so at most " +
                    std::to_string(SERIAL_TEXT_MAX));
    }
    if (isn->size() > ISN_TEXT_MAX) {
        return fail("make: the ISN text is " + std::to_string(isn->size()) +
                    " bytes; with its zero byte it must end inside the record, so at most " +
                    std::to_string(ISN_TEXT_MAX));
    }

    std::string record(BARCODE_RECORD_SIZE, '\0');
    record.replace(SERIAL_FIELD_OFFSET, serial->size(), *serial);
    record.replace(ISN_FIELD_OFFSET, isn->size(), *isn);

    int written = status_clean;
    if (output) {
        written = write_record_file(*output, record);
    } else if (isatty(STDOUT_FILENO)) {
        written = fail("make: will not write a binary record to a terminal; use -o FILE");
    } else {
        put(record);
        written = finish_output(status_clean);
    }
    if (written != status_clean) {
        return written;
    }

    // What a device will make of the record, as inspect tells it.
    return tell_warnings(record);
}

}  // namespace record_tool
