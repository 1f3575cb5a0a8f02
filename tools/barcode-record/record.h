// Inspecting a barcode record: what a device would publish from it, and the warnings about what
// it would drop, cut or refuse, or publish as a factory line seldom means it. The serial and ISN
// come from the program's own code, linked from its derivation library, so what the tool tells
// is what a device publishes.
#ifndef VOSSEL_TOOLS_BARCODE_RECORD_RECORD_H
#define VOSSEL_TOOLS_BARCODE_RECORD_RECORD_H

#include <stddef.h>

#include <optional>
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

// The kinds of warning, in the order they are given, and the code each is told with.
enum WarningCode {
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
    warning_code_count
};
const char* const WARNING_CODES[warning_code_count] = {
    "serial-runs-into-isn", "serial-dropped",   "serial-cut",  "serial-empty", "isn-empty",
    "isn-too-long",         "isn-unterminated", "isn-control", "isn-space",    "isn-not-utf8",
};

// A whole record, as the program's derivation takes it.
struct Record {
    unsigned char bytes[BARCODE_RECORD_SIZE];
};

// One warning given for a record.
struct Warning {
    std::string code;  // one of WARNING_CODES
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

// What a factory line expects a device to publish, as given with --expect-serial and
// --expect-isn: either text, or both.
struct Expectation {
    std::optional<std::string> serial;  // "ro.serialno"
    std::optional<std::string> isn;     // "ro.isn"

    bool given() const { return serial || isn; }
};

// An expected property that a device would publish otherwise, or not at all.
struct Mismatch {
    const char* property;                  // "ro.serialno" or "ro.isn"
    std::string expected;                  // bytes
    std::optional<std::string> published;  // bytes; none: the device sets no such property

    // As make and inspect tell it: PROPERTY expected "TEXT", a device would publish "TEXT" (or
    // nothing), each text escaped.
    std::string told() const;
};

// The expected properties of `expectation` that a device would not publish as expected from
// the record inspected, the serial first.
std::vector<Mismatch> mismatches(const Inspection& inspection, const Expectation& expectation);

}  // namespace record_tool

#endif
