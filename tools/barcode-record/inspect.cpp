// The inspect command.
#include "tools/barcode-record/inspect.h"

#include <errno.h>
#include <string.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "provisioning/log_messages.h"
#include "tools/barcode-record/command_line.h"
#include "tools/barcode-record/files.h"
#include "tools/barcode-record/record.h"
#include "tools/barcode-record/text.h"

namespace record_tool {

const char INSPECT_USAGE[] = R"(usage: barcode-record inspect [--json] [--] FILE...

Prints, for each FILE ("-" is standard input), the "ro.serialno" and "ro.isn" a
device would set from it, or why it would set none, bytes outside printable
ASCII (and " and \) escaped as make takes them, then warnings about the record,
each with its code. Options may come before or after the files; -- ends them.
A record is 1024 bytes: a regular file of another size is refused at once, and
of other input (a pipe, a device) at most 1025 bytes are read, so that longer
input is refused as more than 1024.

  --json   one JSON object per file, one per line; its "size" is a regular
           file's size, or the bytes read of other input (1025: more than 1024)

Exit status: 0 every record is clean; 1 there are warnings; 2 a device would
refuse a record, a file cannot be read, standard output cannot be written, or
the command is wrong.
)";

// "-": each operand comes back in order as option 1 (see main).
const char INSPECT_SHORT_OPTIONS[] = "-h";
const option INSPECT_OPTIONS[] = {
    {"json", no_argument, nullptr, 'j'}, {"help", no_argument, nullptr, 'h'}, {}};

namespace {

// One file as inspect reads it: why it cannot be read, or its size and, unless a device would
// refuse it, the inspection of its record.
struct File {
    std::string name;
    std::optional<std::string> error;
    size_t size = 0;
    bool longer = false;  // input other than a regular file, read up to more than a record
    std::optional<Inspection> record;

    int status() const {
        if (!record) {
            return status_refused;
        }
        return record->warnings.empty() ? status_clean : status_warnings;
    }
};

File read_record_file(const std::string& name) {
    File file;
    file.name = name;
    std::string bytes;
    if (!read_file(name, BARCODE_RECORD_SIZE, bytes, file.size, file.longer)) {
        file.error = strerror(errno);
    } else if (file.size == BARCODE_RECORD_SIZE) {
        Record record = {};
        std::copy(bytes.begin(), bytes.end(), record.bytes);
        file.record = inspect_record(record);
    }
    return file;
}

std::string text_of(const File& file) {
    std::string text = escape(file.name) + "\n";
    if (!file.record) {
        return text + "  refused: " +
               (file.longer ? "more than " + count_of(BARCODE_RECORD_SIZE, "byte")
                            : count_of(file.size, "byte") + ", not " +
                                  std::to_string(BARCODE_RECORD_SIZE)) +
               ": a device logs \"" + MSG_BAD_RECORD_SIZE + "\" and publishes nothing\n";
    }
    const Inspection& record = *file.record;
    text += "  ro.serialno \"" + record.serial + "\"\n";
    if (record.isn_set) {
        text += "  ro.isn \"" + escape(record.isn) + "\"\n";
    } else {
        text += "  ro.isn not set: the ISN is " + count_of(record.isn.size(), "byte") +
                ", the property service takes at most " +
                std::to_string(PROPERTY_VALUE_LENGTH_MAX) + "\n";
        text += "  ISN field \"" + escape(record.isn) + "\"\n";
    }
    for (const Warning& warning : record.warnings) {
        text.append("  warning: ").append(warning.told()).append("\n");
    }
    return text;
}

std::string json_of(const File& file) {
    std::string line = "{\"file\":" + json_string(to_utf8(file.name)) +
                       ",\"status\":" + std::to_string(file.status());
    if (file.error) {
        return line + ",\"error\":" + json_string(to_utf8(*file.error)) + "}\n";
    }
    line += ",\"size\":" + std::to_string(file.size);
    if (!file.record) {
        return line + ",\"refused\":" + json_string(MSG_BAD_RECORD_SIZE) + "}\n";
    }
    const Inspection& record = *file.record;
    const std::string isn = json_string(to_utf8(record.isn));
    const std::string isn_hex = json_string(hex(record.isn));
    line += ",\"ro.serialno\":" + json_string(record.serial);
    if (record.isn_set) {
        line += ",\"ro.isn\":" + isn + ",\"ro.isn_hex\":" + isn_hex;
    } else {
        line += ",\"ro.isn\":null,\"ro.isn_hex\":null,\"isn_field\":" + isn +
                ",\"isn_field_hex\":" + isn_hex;
    }
    line += ",\"warnings\":[";
    for (size_t i = 0; i < record.warnings.size(); ++i) {
        line += std::string(i == 0 ? "" : ",") +
                "{\"code\":" + json_string(record.warnings[i].code) +
                ",\"message\":" + json_string(record.warnings[i].message) + "}";
    }
    return line + "]}\n";
}

}  // namespace

int inspect(int argc, char** argv) {
    const std::string usage = INSPECT_USAGE;
    bool json = false;
    std::vector<std::string> names;
    for (int c = 0;
         (c = getopt_long(argc, argv, INSPECT_SHORT_OPTIONS, INSPECT_OPTIONS, nullptr)) != -1;) {
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
        return usage_error("no file named", usage);
    }
    int worst = status_clean;
    for (const std::string& name : names) {
        File file = read_record_file(name);
        if (file.error) {
            fail(escape(name) + ": " + *file.error);
        }
        if (json) {
            put(json_of(file));
        } else if (!file.error) {
            put(text_of(file));
        }
        worst = std::max(worst, file.status());
    }
    return finish_output(worst);
}

}  // namespace record_tool
