// Examining a barcode record.
#include "tools/barcode-record/record.h"

#include <string.h>

#include "platform/platform.h"
#include "tools/barcode-record/text.h"

namespace record_tool {

namespace {

// The longest value the target release's property service takes.
const size_t PROPERTY_VALUE_LENGTH_MAX = PROPERTY_VALUE_MAX - 1;

using Record = unsigned char[BARCODE_RECORD_SIZE];

}  // namespace

// The serial field is scanned once, by the program's own code, for the serial, its extent and
// its count of letters and digits.
Examination examine(const std::string& bytes) {
    Record record;
    memcpy(record, bytes.data(), sizeof(record));
    Examination result;
    char serial[SERIAL_BUFFER_SIZE];
    serial_field field;
    scan_serial_field(record, serial, &field);
    result.serial = serial;
    char isn[ISN_BUFFER_SIZE];
    result.isn.assign(isn, copy_isn_text(record, isn));

    // Every byte of the field that is no letter or digit is dropped, a zero at its first byte
    // too when the serial starts after it (written one byte late). A field that is that zero
    // alone is an empty serial, and is told as that only.
    size_t dropped = field.end - SERIAL_FIELD_OFFSET - field.alphanumeric;
    if (field.end == static_cast<size_t>(SERIAL_FIELD_OFFSET) + 1 &&
        record[SERIAL_FIELD_OFFSET] == 0) {
        dropped = 0;
    }

    auto warn = [&](warning code, const std::string& message) {
        result.warnings.emplace_back(WARNING_CODES[code], message);
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
    if (result.isn.size() > PROPERTY_VALUE_LENGTH_MAX) {
        warn(isn_too_long, "the ISN is " + std::to_string(result.isn.size()) +
                               " bytes; the property service takes at most " +
                               std::to_string(PROPERTY_VALUE_LENGTH_MAX) +
                               ", so \"ro.isn\" would not be set");
    }
    if (result.isn.size() == ISN_TEXT_MAX + 1) {
        warn(isn_unterminated,
             "the ISN has no zero byte before the end of the record: a device publishes bytes "
             "251 to 1023");
    }
    if (!valid_utf8(result.isn)) {
        warn(isn_not_utf8, "the ISN is not valid UTF-8, which later platform releases refuse");
    }
    return result;
}

}  // namespace record_tool
