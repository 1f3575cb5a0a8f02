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

// "-": each operand comes back in order as option 1 (see main).
const char INSPECT_SHORT_OPTIONS[] = "-h";
const option INSPECT_OPTIONS[] = {
    {"json", no_argument, nullptr, 'j'}, {"help", no_argument, nullptr, 'h'}, {}};

namespace {

// What a device would do with one file.
struct Inspection {
    std::string name;
    std::optional<std::string> error;  // the file could not be read
    size_t size = 0;
    bool longer = false;  // input other than a regular file, read up to more than a record
    bool refused = false;
    Examination record;

    int status() const {
        if (error || refused) {
            return status_refused;
        }
        return record.warnings.empty() ? status_clean : status_warnings;
    }
};

Inspection inspect_file(const std::string& name) {
    Inspection result;
    result.name = name;
    std::string bytes;
    if (!read_file(name, BARCODE_RECORD_SIZE, bytes, result.size, result.longer)) {
        result.error = strerror(errno);
        return result;
    }
    if (result.size != BARCODE_RECORD_SIZE) {
        result.refused = true;
        return result;
    }
    result.record = examine(bytes);
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
    text += "  ro.serialno \"" + result.record.serial + "\"\n";
    text += "  ro.isn \"" + escape(result.record.isn) + "\"\n";
    for (const auto& [code, message] : result.record.warnings) {
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
    const Examination& record = result.record;
    line += ",\"ro.serialno\":" + json_string(record.serial) +
            ",\"ro.isn\":" + json_string(to_utf8(record.isn)) +
            ",\"ro.isn_hex\":" + json_string(hex(record.isn)) + ",\"warnings\":[";
    for (size_t i = 0; i < record.warnings.size(); ++i) {
        line += std::string(i == 0 ? "" : ",") +
                "{\"code\":" + json_string(record.warnings[i].first) +
                ",\"message\":" + json_string(record.warnings[i].second) + "}";
    }
    return line + "]}\n";
}

}  // namespace

int inspect(int argc, char** argv) {
    const std::string usage = INSPECT_USAGE;
    bool json = false;
    std::vector<std::string> names;
    for (int c;
         (c = getopt_long(argc, argv, INSPECT_SHORT_OPTIONS, INSPECT_OPTIONS, nullptr)) != -1;) {
        if (c == 1) {
            names.push_back(optarg);
        } else if (c == 'j') {
            json = true;
        } else if (c == 'h') {
            return help(usage);
        } else {
            return usage_error("", usage, "inspect");
        }
    }
    names.insert(names.end(), argv + optind, argv + argc);  // those after "--"
    if (names.empty()) {
        return usage_error("inspect: no file named", usage, "inspect");
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

}  // namespace record_tool
