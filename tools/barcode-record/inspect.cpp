// The inspect command.
#include "tools/barcode-record/inspect.h"

#include <errno.h>
#include <string.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "tools/barcode-record/command_line.h"
#include "tools/barcode-record/files.h"
#include "tools/barcode-record/record.h"
#include "tools/barcode-record/text.h"

namespace record_tool {

const char INSPECT_USAGE[] = R"(usage: barcode-record inspect [OPTION]... [--] FILE...

  --json                 one JSON object per FILE, one a line
  --expect-serial TEXT   the "ro.serialno" a device must publish
  --expect-isn TEXT      the "ro.isn" a device must publish
  -h, --help             this help
)";

// "-": each operand comes back in order as option 1 (see main).
const char INSPECT_SHORT_OPTIONS[] = "-h";
const option INSPECT_OPTIONS[] = {{"json", no_argument, nullptr, 'j'},
                                  {"expect-serial", required_argument, nullptr, 'S'},
                                  {"expect-isn", required_argument, nullptr, 'I'},
                                  {"help", no_argument, nullptr, 'h'},
                                  {}};

namespace {

// One file as inspect reads it: why it cannot be read, or its size and, unless it is refused,
// the inspection of its record and what is not as expected.
struct File {
    std::string name;
    std::optional<std::string> error;
    size_t size = 0;
    bool longer = false;  // input other than a regular file, read up to more than a record
    std::optional<Inspection> record;
    std::vector<Mismatch> mismatched;

    // With an expectation, whether it is met; else whether the record is clean.
    int status(const Expectation& expectation) const {
        if (!record) {
            return status_refused;
        }
        if (expectation.given()) {
            return mismatched.empty() ? status_clean : status_mismatch;
        }
        return record->warnings.empty() ? status_clean : status_warnings;
    }
};

File read_record_file(const std::string& name, const Expectation& expectation) {
    File file;
    file.name = name;
    std::string bytes;
    if (!read_file(name, BARCODE_RECORD_SIZE, bytes, file.size, file.longer)) {
        file.error = strerror(errno);
    } else if (file.size == BARCODE_RECORD_SIZE) {
        Record record = {};
        std::copy(bytes.begin(), bytes.end(), record.bytes);
        file.record = inspect_record(record);
        file.mismatched = mismatches(*file.record, expectation);
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
               ": what a device makes of it depends on its NVRAM library\n";
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
    for (const Mismatch& mismatch : file.mismatched) {
        text.append("  mismatch: ").append(mismatch.told()).append("\n");
    }
    return text;
}

// Bytes as "ro.isn" spells them.
std::string json_text(const std::string& bytes) {
    return json_string(to_utf8(bytes));
}

std::string json_of(const File& file, const Expectation& expectation) {
    std::string line = "{\"file\":" + json_text(file.name) +
                       ",\"status\":" + std::to_string(file.status(expectation));
    if (file.error) {
        return line + ",\"error\":" + json_text(*file.error) + "}\n";
    }
    line += ",\"size\":" + std::to_string(file.size);
    if (!file.record) {
        return line + ",\"refused\":\"not 1024 bytes\"}\n";
    }
    const Inspection& record = *file.record;
    const std::string isn = json_text(record.isn);
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
    line += "]";
    if (expectation.given()) {
        std::string expected;
        std::string mismatched;
        for (const auto& [property, text] : {std::pair("ro.serialno", &expectation.serial),
                                             std::pair("ro.isn", &expectation.isn)}) {
            if (*text) {
                expected += std::string(expected.empty() ? "" : ",") + "\"" + property +
                            "\":" + json_text(**text);
            }
        }
        for (const Mismatch& mismatch : file.mismatched) {
            mismatched +=
                std::string(mismatched.empty() ? "" : ",") + "\"" + mismatch.property + "\"";
        }
        line += ",\"expected\":{" + expected + "},\"mismatches\":[" + mismatched + "]";
    }
    return line + "}\n";
}

}  // namespace

int inspect(int argc, char** argv) {
    const std::string usage = INSPECT_USAGE;
    bool json = false;
    std::vector<std::string> names;
    std::optional<std::string> given_serial;
    std::optional<std::string> given_isn;
    std::string mistake;
    for (int c = 0;
         (c = getopt_long(argc, argv, INSPECT_SHORT_OPTIONS, INSPECT_OPTIONS, nullptr)) != -1;) {
        std::optional<std::string>* given = c == 'S' ? &given_serial : &given_isn;
        if (c == 1) {
            names.push_back(optarg);
        } else if (c == 'j') {
            json = true;
        } else if (c == 'h') {
            return help(usage);
        } else if (c != 'S' && c != 'I') {
            return usage_error("", usage);
        } else if (*given && mistake.empty()) {
            mistake =
                std::string(c == 'S' ? "--expect-serial" : "--expect-isn") + " is given twice";
        } else {
            *given = optarg;
        }
    }
    names.insert(names.end(), argv + optind, argv + argc);  // those after "--"
    if (mistake.empty() && names.empty()) {
        mistake = "no file named";
    }
    if (!mistake.empty()) {
        return usage_error(mistake, usage);
    }
    Expectation expectation;
    if (!read_expectation(given_serial, given_isn, expectation)) {
        return status_refused;
    }
    int worst = status_clean;
    for (const std::string& name : names) {
        File file = read_record_file(name, expectation);
        if (file.error) {
            fail(escape(name) + ": " + *file.error);
        }
        if (json) {
            put(json_of(file, expectation));
        } else if (!file.error) {
            put(text_of(file));
        }
        worst = std::max(worst, file.status(expectation));
    }
    return finish_output(worst);
}

}  // namespace record_tool
