// barcode-record: makes barcode records, and tells what a device would publish from one.
//
// The serial and ISN are derived by the program's own code, linked from the provisioning
// library, so what this prints is what a device publishes.
#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "provisioning/vossel.h"

namespace {

const char USAGE[] = R"(usage: barcode-record make --serial TEXT --isn TEXT [-o FILE]
       barcode-record inspect [--json] FILE...
       barcode-record --help

make      Writes one 1024-byte barcode record: the serial text at byte 104, the ISN text at
          byte 251, zero bytes everywhere else; to standard output unless -o names a file.
          In TEXT, \\ stands for a backslash and \xHH for any byte. The serial must end,
          with its zero byte, before byte 251 and hold no zero byte; the ISN must end, with
          its zero byte, before the end of the record.
inspect   Prints, for each FILE ("-" is standard input), the "ro.serialno" and "ro.isn" a
          device would publish from it, bytes outside printable ASCII (and " and \) escaped
          as above, then warnings about the record.
--json    One JSON object per file, one per line.

Exit status: 0 every record is clean; 1 there are warnings; 2 a device would refuse a record,
a file cannot be read or written, or the command is wrong.
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

using Record = unsigned char[BARCODE_RECORD_SIZE];

int fail(const std::string& message) {
    fprintf(stderr, "%s: %s\n", PROGRAM, message.c_str());
    return status_refused;
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

std::string json_string(const std::string& ascii) {
    std::string text = "\"";
    for (char c : ascii) {
        if (c == '"' || c == '\\') {
            text += '\\';
        }
        text += c;
    }
    return text + "\"";
}

int make(const std::vector<std::string>& args) {
    std::optional<std::string> serial_text, isn_text, output;
    for (size_t i = 0; i < args.size(); i += 2) {
        std::optional<std::string>* option = args[i] == "--serial" ? &serial_text
                                             : args[i] == "--isn"  ? &isn_text
                                             : args[i] == "-o"     ? &output
                                                                   : nullptr;
        if (option == nullptr) {
            return fail("make: unknown argument " + args[i] + "\n" + USAGE);
        }
        if (i + 1 == args.size()) {
            return fail("make: " + args[i] + " needs a value");
        }
        if (*option) {
            return fail("make: " + args[i] + " is given twice");
        }
        *option = args[i + 1];
    }
    if (!serial_text || !isn_text) {
        return fail("make: both --serial and --isn are needed");
    }

    std::optional<std::string> serial = unescape(*serial_text);
    std::optional<std::string> isn = unescape(*isn_text);
    if (!serial || !isn) {
        return fail("make: a backslash in TEXT starts \\\\ or \\xHH only");
    }
    if (serial->find('\0') != std::string::npos) {
        return fail("make: the serial text holds a zero byte, which would end or split the field");
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

    if (!output) {
        if (isatty(STDOUT_FILENO)) {
            return fail("make: will not write a binary record to a terminal; use -o FILE");
        }
        if (fwrite(record.data(), 1, record.size(), stdout) != record.size() || fflush(stdout)) {
            return fail(std::string("make: standard output: ") + strerror(errno));
        }
        return status_clean;
    }
    FILE* file = fopen(output->c_str(), "wb");
    if (file == nullptr) {
        return fail("make: " + *output + ": " + strerror(errno));
    }
    bool written = fwrite(record.data(), 1, record.size(), file) == record.size();
    if (fclose(file) != 0 || !written) {
        int error = errno;
        remove(output->c_str());
        return fail("make: " + *output + ": " + strerror(error));
    }
    return status_clean;
}

// What a device would do with one file.
struct Inspection {
    std::string name;
    std::optional<std::string> error;  // the file could not be read
    size_t size = 0;
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

// Keeps the first 1024 bytes and counts the rest.
bool read_file(const std::string& name, std::string& bytes, size_t& size) {
    FILE* file = name == "-" ? stdin : fopen(name.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    char chunk[4096];
    size = 0;
    for (size_t got; (got = fread(chunk, 1, sizeof(chunk), file)) > 0; size += got) {
        bytes.append(chunk, std::min(got, sizeof(Record) - bytes.size()));
    }
    bool failed = ferror(file) != 0;
    if (file != stdin) {
        fclose(file);
    }
    return !failed;
}

bool valid_utf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        unsigned char lead = text[i];
        size_t length = lead < 0x80         ? 1
                        : lead >> 5 == 0x6  ? 2
                        : lead >> 4 == 0xe  ? 3
                        : lead >> 3 == 0x1e ? 4
                                            : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        unsigned long code = length == 1 ? lead : lead & (0x7f >> length);
        for (size_t k = 1; k < length; ++k) {
            unsigned char next = text[i + k];
            if (next >> 6 != 0x2) {
                return false;
            }
            code = code << 6 | (next & 0x3f);
        }
        static const unsigned long SMALLEST[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < SMALLEST[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) {
            return false;
        }
        i += length;
    }
    return true;
}

void examine(const Record& record, Inspection& result) {
    char serial[SERIAL_BUFFER_SIZE];
    derive_serial_number(record, serial);
    result.serial = serial;
    char isn[ISN_BUFFER_SIZE];
    result.isn.assign(isn, copy_isn_text(record, isn));

    // The serial field as a device scans it: from byte 104 to just before the first zero byte
    // after it, or to the end of the record.
    size_t end = SERIAL_FIELD_OFFSET + 1;
    while (end < BARCODE_RECORD_SIZE && record[end] != 0) {
        ++end;
    }
    size_t alphanumeric = 0, dropped = 0;
    for (size_t i = SERIAL_FIELD_OFFSET; i < end; ++i) {
        if (isalnum(record[i])) {
            ++alphanumeric;
        } else if (i > static_cast<size_t>(SERIAL_FIELD_OFFSET) || record[i] != 0) {
            ++dropped;
        }
    }

    auto warn = [&](const char* code, const std::string& message) {
        result.warnings.emplace_back(code, message);
    };
    if (end > static_cast<size_t>(ISN_FIELD_OFFSET)) {
        warn("serial-runs-into-isn",
             "the serial field has no zero byte in bytes 105 to 251: the serial runs on into the "
             "ISN field and takes in its letters and digits");
    }
    if (dropped > 0) {
        warn("serial-dropped", std::to_string(dropped) +
                                   " bytes of the serial field are dropped: not ASCII letters "
                                   "or digits");
    }
    if (alphanumeric > result.serial.size()) {
        warn("serial-cut", "the serial field holds " + std::to_string(alphanumeric) +
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

Inspection inspect_file(const std::string& name) {
    Inspection result;
    result.name = name;
    std::string bytes;
    if (!read_file(name, bytes, result.size)) {
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

void print_text(const Inspection& result) {
    printf("%s\n", result.name.c_str());
    if (result.refused) {
        printf("  refused: %zu bytes, not %d: a device logs \"%s\" and publishes nothing\n",
               result.size, BARCODE_RECORD_SIZE, MSG_BAD_RECORD_SIZE);
        return;
    }
    printf("  ro.serialno \"%s\"\n", result.serial.c_str());
    printf("  ro.isn \"%s\"\n", escape(result.isn).c_str());
    for (const auto& [code, message] : result.warnings) {
        printf("  warning: %s\n", message.c_str());
    }
}

void print_json(const Inspection& result) {
    std::string line = "{\"file\":" + json_string(escape(result.name)) +
                       ",\"status\":" + std::to_string(result.status());
    if (result.error) {
        line += ",\"error\":" + json_string(*result.error);
    } else {
        line += ",\"size\":" + std::to_string(result.size);
    }
    if (result.refused) {
        line += ",\"refused\":" + json_string(MSG_BAD_RECORD_SIZE);
    } else if (!result.error) {
        line += ",\"ro.serialno\":" + json_string(result.serial) +
                ",\"ro.isn\":" + json_string(escape(result.isn)) + ",\"warnings\":[";
        for (size_t i = 0; i < result.warnings.size(); ++i) {
            line += std::string(i == 0 ? "" : ",") +
                    "{\"code\":" + json_string(result.warnings[i].first) +
                    ",\"message\":" + json_string(result.warnings[i].second) + "}";
        }
        line += "]";
    }
    printf("%s}\n", line.c_str());
}

int inspect(std::vector<std::string> args) {
    bool json = !args.empty() && args[0] == "--json";
    if (json) {
        args.erase(args.begin());
    }
    if (args.empty()) {
        return fail(std::string("inspect: no file named\n") + USAGE);
    }
    int worst = status_clean;
    for (const std::string& name : args) {
        Inspection result = inspect_file(name);
        if (result.error) {
            fail(name + ": " + *result.error);
        }
        if (json) {
            print_json(result);
        } else if (!result.error) {
            print_text(result);
        }
        worst = std::max(worst, result.status());
    }
    return worst;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        fputs(USAGE, stdout);
        return status_clean;
    }
    if (args.empty()) {
        return fail(std::string("no command\n") + USAGE);
    }
    std::string command = args[0];
    args.erase(args.begin());
    if (command == "make") {
        return make(args);
    }
    if (command == "inspect") {
        return inspect(args);
    }
    return fail("unknown command " + command + "\n" + USAGE);
}
