// Examining a barcode record: what a device would publish from it, and the warnings about what
// it would drop, cut or refuse. The serial and ISN come from the program's own code, linked from
// the provisioning library, so what the tool tells is what a device publishes.
#ifndef VOSSEL_TOOLS_BARCODE_RECORD_RECORD_H
#define VOSSEL_TOOLS_BARCODE_RECORD_RECORD_H

#include <stddef.h>

#include <string>
#include <utility>
#include <vector>

#include "provisioning/derivation.h"

namespace record_tool {

// Each text ends with its zero byte inside its field: the serial before the ISN field, the ISN
// before the end of the record.
const size_t SERIAL_TEXT_MAX = ISN_FIELD_OFFSET - SERIAL_FIELD_OFFSET - 1;
const size_t ISN_TEXT_MAX = BARCODE_RECORD_SIZE - ISN_FIELD_OFFSET - 1;

// The warnings, in the order they are given, and their codes.
enum warning {
    serial_runs_into_isn,
    serial_dropped,
    serial_cut,
    serial_empty,
    isn_too_long,
    isn_unterminated,
    isn_not_utf8,
    warning_kinds
};
const char* const WARNING_CODES[warning_kinds] = {
    "serial-runs-into-isn", "serial-dropped",   "serial-cut",   "serial-empty",
    "isn-too-long",         "isn-unterminated", "isn-not-utf8",
};

struct Examination {
    std::string serial;  // "ro.serialno"
    std::string isn;     // "ro.isn", its bytes as the record holds them
    std::vector<std::pair<std::string, std::string>> warnings;  // code, message
};

// What a device would publish from `record`, of BARCODE_RECORD_SIZE bytes.
Examination examine(const std::string& record);

}  // namespace record_tool

#endif
