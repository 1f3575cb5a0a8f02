// barcode-record: makes barcode records, and tells what a device would publish from one.
//
// The serial and ISN are derived by the program's own code, linked from the provisioning
// library, so what this prints is what a device publishes.
#include <ctype.h>
#include <errno.h>
#include <fcntl.h>
#include <getopt.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "provisioning/vossel.h"

namespace {

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

const char INSPECT_USAGE[] = R"(usage: barcode-record inspect [--json] [--] FILE...

Prints, for each FILE ("-" is standard input), the "ro.serialno" and "ro.isn" a device would
publish from it, bytes outside printable ASCII (and " and \) escaped as make takes them, then
warnings about the record. Options may come before or after the files; -- ends them. A record
is 1024 bytes: a regular file of another size is refused at once, and of other input (a pipe,
a device) at most 1025 bytes are read, so that longer input is refused as more than 1024.

  --json              one JSON object per file, one per line; its "size" is a regular file's
                      size, or the bytes read of other input (1025: more than 1024)

Exit status: 0 every record is clean; 1 there are warnings; 2 a device would refuse a record,
a file cannot be read, standard output cannot be written, or the command is wrong.
)";

enum status { status_clean = 0, status_warnings = 1, status_refused = 2 };

const char PROGRAM[] = "barcode-record";

// Each text ends with its zero byte inside its field: the serial before the ISN field, the ISN
// before the end of the record.
const size_t SERIAL_TEXT_MAX = ISN_FIELD_OFFSET - SERIAL_FIELD_OFFSET - 1;
const size_t ISN_TEXT_MAX = BARCODE_RECORD_SIZE - ISN_FIELD_OFFSET - 1;

// The longest value the target release's property service takes.
const size_t PROPERTY_VALUE_LENGTH_MAX = PROPERTY_VALUE_MAX - 1;

// What the program logs when the NVRAM file's record is not of 1024 bytes.
const char MSG_BAD_RECORD_SIZE[] = "error:unexpected record size";

// The signals that end the tool by default and that a user, a shell or a supervisor sends to
// stop it.
const int STOP_SIGNALS[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};

using Record = unsigned char[BARCODE_RECORD_SIZE];

int fail(const std::string& message) {
    fprintf(stderr, "%s: %s\n", PROGRAM, message.c_str());
    return status_refused;
}

// A wrong command line: what is wrong (getopt_long has said it already when `message` is
// empty), then the usage, on standard error.
int usage_error(const std::string& message, const std::string& usage) {
    if (!message.empty()) {
        fprintf(stderr, "%s: %s\n", PROGRAM, message.c_str());
    }
    fputs(usage.c_str(), stderr);
    return status_refused;
}

// The first error in writing standard output; 0 while there is none.
int output_error = 0;

void put(const std::string& text) {
    if (fwrite(text.data(), 1, text.size(), stdout) != text.size() && output_error == 0) {
        output_error = errno;
    }
}

// Ends a command that writes to standard output: output that cannot be written whole is a
// failure, also when it fails only as the buffer is flushed at the end.
int finish_output(int status) {
    if (fflush(stdout) != 0 && output_error == 0) {
        output_error = errno;
    }
    if (ferror(stdout) && output_error == 0) {
        output_error = EIO;
    }
    if (output_error != 0) {
        return fail(std::string("standard output: ") + strerror(output_error));
    }
    return status;
}

int help(const std::string& usage) {
    put(usage);
    return finish_output(status_clean);
}

// "n thing" or "n things".
std::string count_of(size_t count, const std::string& thing) {
    return std::to_string(count) + " " + thing + (count == 1 ? "" : "s");
}

// "\\" and "\xHH" escapes to bytes; nullopt for a malformed escape.
std::optional<std::string> unescape(const std::string& text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes += text[i];
        } else if (text.compare(i, 2, "\\\\") == 0) {
            bytes += '\\';
            ++i;
        } else if (text.compare(i, 2, "\\x") == 0 && i + 3 < text.size() &&
                   isxdigit(static_cast<unsigned char>(text[i + 2])) &&
                   isxdigit(static_cast<unsigned char>(text[i + 3]))) {
            bytes += static_cast<char>(strtol(text.substr(i + 2, 2).c_str(), nullptr, 16));
            i += 3;
        } else {
            return std::nullopt;
        }
    }
    return bytes;
}

// Printable ASCII as it is, but for the backslash and the double quote; every other byte as
// \xHH. unescape() reverses it.
std::string escape(const std::string& bytes) {
    std::string text;
    for (unsigned char byte : bytes) {
        char hex[5];
        if (byte == '\\') {
            text += "\\\\";
        } else if (byte >= 0x20 && byte < 0x7f && byte != '"') {
            text += static_cast<char>(byte);
        } else {
            snprintf(hex, sizeof(hex), "\\x%02x", byte);
            text += hex;
        }
    }
    return text;
}

// The folder a path's file is in, with its slash: "./" for a bare name.
std::string folder_of(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

// Writes `bytes` to `path` whole or not at all. Truncating `path` and writing it in place would
// lose the old record to a write that fails halfway (a full disk, the file-size limit); instead
// the record goes to a new file in the same folder, which rename() then puts in place in one
// step. On any failure the new file is removed and `path` is as it was. Returns 0 or an errno;
// `created` tells whether the new file was made.
//
// The stop signals that would end the tool (those neither ignored nor blocked already) are
// held back from the new file's creation until its rename or removal, so that none can end the
// tool in between and leave the file behind. One that comes meanwhile cancels the rename, and
// ends the tool as it would have once they are let through again.
int replace_file(const std::string& path, const std::string& bytes, bool& created) {
    sigset_t held, previous, pending;
    sigemptyset(&held);
    for (int number : STOP_SIGNALS) {
        struct sigaction action;
        if (sigaction(number, nullptr, &action) == 0 && action.sa_handler != SIG_IGN) {
            sigaddset(&held, number);
        }
    }
    sigprocmask(SIG_BLOCK, &held, &previous);

    std::string temporary = folder_of(path) + ".barcode-record-XXXXXX";
    int fd = mkstemp(temporary.data());
    created = fd >= 0;
    int error = created ? 0 : errno;
    if (created) {
        // mkstemp() makes the file 0600; give it the mode a plain create would: 0666 less the
        // umask.
        mode_t mask = umask(0);
        umask(mask);
        error = fchmod(fd, 0666 & ~mask) == 0 ? 0 : errno;
        for (size_t done = 0; error == 0 && done < bytes.size();) {
            ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
            if (written > 0) {
                done += static_cast<size_t>(written);
            } else if (written == 0 || errno != EINTR) {
                error = written == 0 ? EIO : errno;
            }
        }
        if (error == 0 && fsync(fd) != 0) {
            error = errno;
        }
        if (close(fd) != 0 && error == 0) {
            error = errno;
        }
    }

    bool interrupted = false;
    sigpending(&pending);
    for (int number : STOP_SIGNALS) {
        interrupted = interrupted ||
                      (sigismember(&held, number) == 1 && sigismember(&previous, number) == 0 &&
                       sigismember(&pending, number) == 1);
    }
    if (error == 0 && !interrupted && rename(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (created && (error != 0 || interrupted)) {
        unlink(temporary.c_str());
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);  // a held signal ends the tool here
    return error != 0 ? error : interrupted ? EINTR : 0;
}

// make -o: the record to `output`, or to the file it links to. Only a regular file is replaced:
// renaming over a device, a pipe or a folder would remove it, and renaming over a link would
// put a file in its place. A link that names no file, or that cannot be followed, is refused
// with nothing changed.
int write_record_file(const std::string& output, const std::string& record) {
    auto refuse = [&](const std::string& why) { return fail("make: " + output + ": " + why); };
    std::string target = output;
    struct stat entry;
    if (lstat(output.c_str(), &entry) != 0) {
        if (errno != ENOENT) {
            return refuse(strerror(errno));
        }
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
    } else if (!S_ISREG(entry.st_mode)) {
        return refuse("not a regular file; -o replaces files only");
    }

    bool created = false;
    int error = replace_file(target, record, created);
    if (error != 0 && !created) {
        return fail("make: cannot create a temporary file in " + folder_of(target) +
                    " (the record is written there first, then renamed to " + output +
                    "): " + strerror(error));
    }
    return error == 0 ? status_clean : refuse(strerror(error));
}

int tell_warnings(const std::string& record);

int make(int argc, char** argv) {
    static const option OPTIONS[] = {{"serial", required_argument, nullptr, 's'},
                                     {"isn", required_argument, nullptr, 'i'},
                                     {"output", required_argument, nullptr, 'o'},
                                     {"help", no_argument, nullptr, 'h'},
                                     {}};
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
    for (int c; (c = getopt_long(argc, argv, "-o:h", OPTIONS, nullptr)) != -1;) {
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
            return usage_error("", usage);
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
        return usage_error(mistake, usage);
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

// What a device would do with one file.
struct Inspection {
    std::string name;
    std::optional<std::string> error;  // the file could not be read
    size_t size = 0;
    bool longer = false;  // input other than a regular file, read up to more than a record
    bool refused = false;
    std::string serial;
    std::string isn;
    std::vector<std::pair<std::string, std::string>> warnings;  // code, message

    int status() const {
        if (error || refused) {
            return status_refused;
        }
        return warnings.empty() ? status_clean : status_warnings;
    }
};

// Reads a file's first bytes, at most one more than a record, and tells its size: a regular
// file's from the file system, without reading one of another size at all; other input's
// (a pipe, a device) as read, so that `longer` then means more than a record. Reading is
// bounded either way. On failure errno tells why.
bool read_file(const std::string& name, std::string& bytes, size_t& size, bool& longer) {
    int fd = name == "-" ? STDIN_FILENO : open(name.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info;
    bool failed = fstat(fd, &info) != 0;
    off_t at = failed ? -1 : lseek(fd, 0, SEEK_CUR);
    bool regular = !failed && S_ISREG(info.st_mode) && at >= 0 && at <= info.st_size;
    size = regular ? static_cast<size_t>(info.st_size - at) : 0;

    char buffer[BARCODE_RECORD_SIZE + 1];
    size_t got = 0;
    while (!failed && (!regular || size == sizeof(Record)) && got < sizeof(buffer)) {
        ssize_t count = read(fd, buffer + got, sizeof(buffer) - got);
        if (count > 0) {
            got += static_cast<size_t>(count);
        } else if (count == 0) {
            break;
        } else if (errno != EINTR) {
            failed = true;
        }
    }
    // A regular file that changed size while read is taken as read.
    if (!regular || (size == sizeof(Record) && got != size)) {
        size = got;
        longer = got > sizeof(Record);
    }
    bytes.assign(buffer, std::min(got, sizeof(Record)));
    int error = errno;
    if (fd != STDIN_FILENO) {
        close(fd);
    }
    errno = error;
    return !failed;
}

// The length of the well-formed UTF-8 character that starts at text[at], or 0 when none does:
// a stray continuation byte, an overlong form, a surrogate (U+D800 to U+DFFF), a code point
// past U+10FFFF, or a character cut short. The check of the ISN and the decoding for JSON both
// go through here, so they cannot disagree.
size_t utf8_character(const std::string& text, size_t at) {
    unsigned char lead = text[at];
    size_t length = lead < 0x80         ? 1
                    : lead >> 5 == 0x6  ? 2
                    : lead >> 4 == 0xe  ? 3
                    : lead >> 3 == 0x1e ? 4
                                        : 0;
    if (length == 0 || at + length > text.size()) {
        return 0;
    }
    unsigned long code = length == 1 ? lead : lead & (0x7f >> length);
    for (size_t k = 1; k < length; ++k) {
        unsigned char next = text[at + k];
        if (next >> 6 != 0x2) {
            return 0;
        }
        code = code << 6 | (next & 0x3f);
    }
    static const unsigned long SMALLEST[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < SMALLEST[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) {
        return 0;
    }
    return length;
}

bool valid_utf8(const std::string& text) {
    for (size_t at = 0, length; at < text.size(); at += length) {
        if ((length = utf8_character(text, at)) == 0) {
            return false;
        }
    }
    return true;
}

// Valid UTF-8: each well-formed character as it is, each byte that starts none as one U+FFFD
// (so a character cut short gives one U+FFFD for each of its bytes).
std::string to_utf8(const std::string& bytes) {
    std::string text;
    for (size_t at = 0; at < bytes.size();) {
        size_t length = utf8_character(bytes, at);
        text += length == 0 ? "\xef\xbf\xbd" : bytes.substr(at, length);
        at += std::max<size_t>(length, 1);
    }
    return text;
}

// A JSON string of UTF-8 text: the quote and the backslash escaped, and the control characters
// (DEL too) as \u00XX.
std::string json_string(const std::string& utf8) {
    std::string text = "\"";
    for (char c : utf8) {
        unsigned char byte = c;
        char escaped[8];
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            snprintf(escaped, sizeof(escaped), "\\u%04x", byte);
            text += escaped;
        } else {
            text += c;
        }
    }
    return text + "\"";
}

// Two lowercase hex digits a byte.
std::string hex(const std::string& bytes) {
    static const char DIGITS[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : bytes) {
        text += DIGITS[byte >> 4];
        text += DIGITS[byte & 0xf];
    }
    return text;
}

// The serial and ISN a device would publish from the record, and the warnings about them. The
// serial field is scanned once, by the program's own code, for the serial, its extent and its
// count of letters and digits.
void examine(const Record& record, Inspection& result) {
    char serial[SERIAL_BUFFER_SIZE];
    serial_field field;
    scan_serial_field(record, serial, &field);
    result.serial = serial;
    char isn[ISN_BUFFER_SIZE];
    result.isn.assign(isn, copy_isn_text(record, isn));

    // A zero at the field's first byte is passed over without a word: the serial is empty or
    // starts after it.
    size_t dropped = field.end - SERIAL_FIELD_OFFSET - field.alphanumeric -
                     (record[SERIAL_FIELD_OFFSET] == 0 ? 1 : 0);

    auto warn = [&](const char* code, const std::string& message) {
        result.warnings.emplace_back(code, message);
    };
    if (field.end > static_cast<size_t>(ISN_FIELD_OFFSET)) {
        warn("serial-runs-into-isn",
             "the serial field has no zero byte in bytes 105 to 251: the serial runs on into the "
             "ISN field and takes in its letters and digits");
    }
    if (dropped > 0) {
        warn("serial-dropped", count_of(dropped, "byte") + " of the serial field " +
                                   (dropped == 1 ? "is dropped: not an ASCII letter or digit"
                                                 : "are dropped: not ASCII letters or digits"));
    }
    if (field.alphanumeric > result.serial.size()) {
        warn("serial-cut", "the serial field holds " + std::to_string(field.alphanumeric) +
                               " letters and digits; a device keeps the first " +
                               std::to_string(SERIAL_BUFFER_SIZE - 1));
    }
    if (result.serial.empty()) {
        warn("serial-empty", "the serial is empty");
    }
    if (result.isn.size() > PROPERTY_VALUE_LENGTH_MAX) {
        warn("isn-too-long", "the ISN is " + std::to_string(result.isn.size()) +
                                 " bytes; the property service takes at most " +
                                 std::to_string(PROPERTY_VALUE_LENGTH_MAX) +
                                 ", so \"ro.isn\" would not be set");
    }
    if (result.isn.size() == ISN_TEXT_MAX + 1) {
        warn("isn-unterminated",
             "the ISN has no zero byte before the end of the record: a device publishes bytes "
             "251 to 1023");
    }
    if (!valid_utf8(result.isn)) {
        warn("isn-not-utf8", "the ISN is not valid UTF-8, which later platform releases refuse");
    }
}

// Prints on standard error the warnings that inspect gives for a record that make wrote, and
// returns inspect's status for it.
int tell_warnings(const std::string& record) {
    Record bytes;
    memcpy(bytes, record.data(), sizeof(bytes));
    Inspection result;
    examine(bytes, result);
    for (const auto& [code, message] : result.warnings) {
        fprintf(stderr, "%s: make: warning: %s (%s)\n", PROGRAM, message.c_str(), code.c_str());
    }
    return result.status();
}

Inspection inspect_file(const std::string& name) {
    Inspection result;
    result.name = name;
    std::string bytes;
    if (!read_file(name, bytes, result.size, result.longer)) {
        result.error = strerror(errno);
        return result;
    }
    if (result.size != BARCODE_RECORD_SIZE) {
        result.refused = true;
        return result;
    }
    Record record;
    memcpy(record, bytes.data(), sizeof(record));
    examine(record, result);
    return result;
}

std::string text_of(const Inspection& result) {
    std::string text = result.name + "\n";
    if (result.refused) {
        return text + "  refused: " +
               (result.longer ? "more than " + count_of(BARCODE_RECORD_SIZE, "byte")
                              : count_of(result.size, "byte") + ", not " +
                                    std::to_string(BARCODE_RECORD_SIZE)) +
               ": a device logs \"" + MSG_BAD_RECORD_SIZE + "\" and publishes nothing\n";
    }
    text += "  ro.serialno \"" + result.serial + "\"\n";
    text += "  ro.isn \"" + escape(result.isn) + "\"\n";
    for (const auto& [code, message] : result.warnings) {
        text += "  warning: " + message + "\n";
    }
    return text;
}

std::string json_of(const Inspection& result) {
    std::string line = "{\"file\":" + json_string(to_utf8(result.name)) +
                       ",\"status\":" + std::to_string(result.status());
    if (result.error) {
        return line + ",\"error\":" + json_string(to_utf8(*result.error)) + "}\n";
    }
    line += ",\"size\":" + std::to_string(result.size);
    if (result.refused) {
        return line + ",\"refused\":" + json_string(MSG_BAD_RECORD_SIZE) + "}\n";
    }
    line += ",\"ro.serialno\":" + json_string(result.serial) +
            ",\"ro.isn\":" + json_string(to_utf8(result.isn)) +
            ",\"ro.isn_hex\":" + json_string(hex(result.isn)) + ",\"warnings\":[";
    for (size_t i = 0; i < result.warnings.size(); ++i) {
        line += std::string(i == 0 ? "" : ",") +
                "{\"code\":" + json_string(result.warnings[i].first) +
                ",\"message\":" + json_string(result.warnings[i].second) + "}";
    }
    return line + "]}\n";
}

int inspect(int argc, char** argv) {
    static const option OPTIONS[] = {
        {"json", no_argument, nullptr, 'j'}, {"help", no_argument, nullptr, 'h'}, {}};
    const std::string usage = INSPECT_USAGE;
    bool json = false;
    std::vector<std::string> names;
    for (int c; (c = getopt_long(argc, argv, "-h", OPTIONS, nullptr)) != -1;) {
        if (c == 1) {
            names.push_back(optarg);
        } else if (c == 'j') {
            json = true;
        } else if (c == 'h') {
            return help(usage);
        } else {
            return usage_error("", usage);
        }
    }
    names.insert(names.end(), argv + optind, argv + argc);  // those after "--"
    if (names.empty()) {
        return usage_error("inspect: no file named", usage);
    }
    int worst = status_clean;
    for (const std::string& name : names) {
        Inspection result = inspect_file(name);
        if (result.error) {
            fail(name + ": " + *result.error);
        }
        if (json) {
            put(json_of(result));
        } else if (!result.error) {
            put(text_of(result));
        }
        worst = std::max(worst, result.status());
    }
    return finish_output(worst);
}

}  // namespace

int main(int argc, char** argv) {
    // A write past the file-size limit then fails with EFBIG and is reported, its temporary file
    // removed, like any other failed write; the default action would kill the tool mid-write
    // and leave the temporary file behind. Set here rather than left to the caller, since a
    // shell's "ulimit -f" does not ignore the signal.
    signal(SIGXFSZ, SIG_IGN);

    const std::string usage = std::string(MAKE_USAGE) + "\n" + INSPECT_USAGE;
    static const option OPTIONS[] = {{"help", no_argument, nullptr, 'h'}, {}};
    std::string program = PROGRAM;
    argv[0] = program.data();  // the name getopt_long gives in its messages
    // "+": the options before the command only; the command parses its own.
    if (int c = getopt_long(argc, argv, "+h", OPTIONS, nullptr); c != -1) {
        return c == 'h' ? help(usage) : usage_error("", usage);
    }
    if (optind == argc) {
        return usage_error("no command", usage);
    }

    // The command's arguments, as a vector of their own whose first word names the command in
    // getopt_long's messages. The commands' option strings start with "-": each operand comes
    // back in order as option 1, so options may follow files, whatever POSIXLY_CORRECT says, and
    // nothing is permuted. optind = 0 makes glibc start afresh and read that "-".
    std::string command = argv[optind];
    std::string label = program + ": " + command;
    std::vector<char*> args(argv + optind, argv + argc);
    args[0] = label.data();
    args.push_back(nullptr);
    optind = 0;
    int count = static_cast<int>(args.size()) - 1;
    if (command == "make") {
        return make(count, args.data());
    }
    if (command == "inspect") {
        return inspect(count, args.data());
    }
    return usage_error("unknown command " + command, usage);
}
