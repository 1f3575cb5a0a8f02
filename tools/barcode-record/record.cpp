// Inspecting a barcode record.
#include "tools/barcode-record/record.h"

#include <algorithm>

#include "platform/platform.h"
#include "tools/barcode-record/text.h"

namespace record_tool {

const size_t PROPERTY_VALUE_LENGTH_MAX = PROPERTY_VALUE_MAX - 1;

namespace {

bool is_control(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
}

}  // namespace

// The serial field is scanned once, by the program's own code, for the serial, its extent and
// its count of letters and digits.
Inspection inspect_record(const Record& record) {
    Inspection result;
    char serial[SERIAL_BUFFER_SIZE];
    serial_field field = {};
    scan_serial_field(record.bytes, serial, &field);
    result.serial = serial;
    char isn[ISN_BUFFER_SIZE];
    result.isn.assign(isn, copy_isn_text(record.bytes, isn));
    result.isn_set = result.isn.size() <= PROPERTY_VALUE_LENGTH_MAX;

    // Every byte of the field that is no letter or digit is dropped, a zero at its first byte
    // too when the serial starts after it (written one byte late). A field that is that zero
    // alone is an empty serial, and is told as that only.
    size_t dropped = field.end - SERIAL_FIELD_OFFSET - field.alphanumeric;
    if (field.end == static_cast<size_t>(SERIAL_FIELD_OFFSET) + 1 &&
        record.bytes[SERIAL_FIELD_OFFSET] == 0) {
        dropped = 0;
    }
    const std::string& text = result.isn;
    const size_t controls = std::count_if(text.begin(), text.end(), is_control);
    const bool leading = !text.empty() && text.front() == ' ';
    const bool trailing = !text.empty() && text.back() == ' ';

    auto warn = [&](WarningCode code, const std::string& message) {
        result.warnings.push_back({WARNING_CODES[code], message});
    };
    if (field.end > static_cast<size_t>(ISN_FIELD_OFFSET)) {
        warn(serial_runs_into_isn,
             "the serial field has no zero byte in bytes 105 to 251: the serial runs on into the "
             "ISN field and takes in its letters and digits");
    }
    if (dropped > 0) {
        warn(serial_dropped, count_of(dropped, "byte") + " of the serial field " +
                                 (dropped == 1 ? "is dropped: not an ASCII letter or digit"
                                               : "are dropped: not ASCII letters or digits"));
    }
    if (field.alphanumeric > result.serial.size()) {
        warn(serial_cut, "the serial field holds " + std::to_string(field.alphanumeric) +
                             " letters and digits; a device keeps the first " +
                             std::to_string(SERIAL_BUFFER_SIZE - 1));
    }
    if (result.serial.empty()) {
        warn(serial_empty, "the serial is empty");
    }
    if (text.empty()) {
        warn(isn_empty, "the ISN is empty");
    }
    if (!result.isn_set) {
        warn(isn_too_long, "the ISN is " + std::to_string(text.size()) +
                               " bytes; the property service takes at most " +
                               std::to_string(PROPERTY_VALUE_LENGTH_MAX) +
                               ", so \"ro.isn\" would not be set");
    }
    if (text.size() == ISN_TEXT_MAX + 1) {
        warn(isn_unterminated,
             "the ISN has no zero byte before the end of the record: a device reads bytes 251 "
             "to 1023 as the ISN");
    }
    if (controls > 0) {
        warn(isn_control, "the ISN holds " + count_of(controls, "control byte") +
                              " (below 0x20, or 0x7f), which a device publishes as stored");
    }
    if (leading || trailing) {
        warn(isn_space, std::string("the ISN ") +
                            (leading && trailing ? "starts and ends"
                             : leading           ? "starts"
                                                 : "ends") +
                            " with a space, which a device publishes as stored");
    }
    if (!valid_utf8(text)) {
        warn(isn_not_utf8, "the ISN is not valid UTF-8, which later platform releases refuse");
    }
    return result;
}

std::string Mismatch::told() const {
    return std::string(property) + " expected \"" + escape(expected) +
           "\", a device would publish " +
           (published ? "\"" + escape(*published) + "\"" : "nothing");
}

std::vector<Mismatch> mismatches(const Inspection& inspection, const Expectation& expectation) {
    std::vector<Mismatch> found;
    if (expectation.serial && *expectation.serial != inspection.serial) {
        found.push_back({"ro.serialno", *expectation.serial, inspection.serial});
    }
    const std::optional<std::string> isn =
        inspection.isn_set ? std::optional(inspection.isn) : std::nullopt;
    if (expectation.isn && expectation.isn != isn) {
        found.push_back({"ro.isn", *expectation.isn, isn});
    }
    return found;
}

}  // namespace record_tool
