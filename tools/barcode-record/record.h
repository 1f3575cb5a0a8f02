// Inspecting a barcode record: what a device would publish from it, and the warnings about what
// it would drop, cut or refuse, or publish as a factory line seldom means it. The serial and ISN
// come from the program's own code, linked from its derivation library, so what the tool tells
// is what a device publishes.
#ifndef VOSSEL_TOOLS_BARCODE_RECORD_RECORD_H
#define VOSSEL_TOOLS_BARCODE_RECORD_RECORD_H

#include <stddef.h>

#include <string>
#include <vector>

#include "provisioning/derivation.h"

namespace record_tool {

// Each text ends with its zero byte inside its field: the serial before the ISN field, the ISN
// before the end of the record.
const size_t SERIAL_TEXT_MAX = ISN_FIELD_OFFSET - SERIAL_FIELD_OFFSET - 1;
const size_t ISN_TEXT_MAX = BARCODE_RECORD_SIZE - ISN_FIELD_OFFSET - 1;

// The longest value the target release's property service takes.
extern const size_t PROPERTY_VALUE_LENGTH_MAX;

// The warnings, in the order they are given, and their codes.
enum warning {
    serial_runs_into_isn,
    serial_dropped,
    serial_cut,
    serial_empty,
    isn_empty,
    isn_too_long,
    isn_unterminated,
    isn_control,
    isn_space,
    isn_not_utf8,
    warning_kinds
};
const char* const WARNING_CODES[warning_kinds] = {
    "serial-runs-into-isn", "serial-dropped",   "serial-cut",  "serial-empty", "isn-empty",
    "isn-too-long",         "isn-unterminated", "isn-control", "isn-space",    "isn-not-utf8",
};

// A whole record, as the program's derivation takes it.
struct Record {
    unsigned char bytes[BARCODE_RECORD_SIZE];
};

struct Warning {
    std::string code;
    std::string message;

    // As make and inspect tell it: "MESSAGE (CODE)".
    std::string told() const { return message + " (" + code + ")"; }
};

struct Inspection {
    std::string serial;    // "ro.serialno"
    std::string isn;       // the ISN field's text, its bytes as the record holds them
    bool isn_set = false;  // whether a device sets "ro.isn" to it: the property service takes it
    std::vector<Warning> warnings;
};

// What a device would publish from `record`.
Inspection inspect_record(const Record& record);

}  // namespace record_tool

#endif
