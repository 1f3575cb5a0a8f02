// Reading the two identity texts out of a barcode record. Nothing here reaches the platform
// beyond libc, so host tools link it as it is.
#include "provisioning/derivation.h"

#include "platform/platform.h"

size_t scan_serial_field(const unsigned char (&record)[BARCODE_RECORD_SIZE],
                         char (&serial)[SERIAL_BUFFER_SIZE], serial_field* field) {
    memset(serial, 0, sizeof(serial));
    size_t kept = 0;
    size_t alphanumeric = 0;

    // The field's first byte is examined whatever it holds; after it, the first zero byte ends
    // the field. Every byte examined is classified, but only the first 63 letters and digits
    // fit the buffer.
    size_t i = SERIAL_FIELD_OFFSET;
    for (; i < sizeof(record); ++i) {
        if (i > static_cast<size_t>(SERIAL_FIELD_OFFSET) && record[i] == 0) {
            break;
        }
        if (isalnum(record[i]) == 0) {
            continue;
        }
        if (kept < sizeof(serial) - 1) {
            serial[kept++] = static_cast<char>(record[i]);
        }
        ++alphanumeric;
    }
    serial[kept] = '\0';
    if (field != NULL) {
        field->end = i;
        field->alphanumeric = alphanumeric;
    }
    return kept;
}

size_t derive_serial_number(const unsigned char (&record)[BARCODE_RECORD_SIZE],
                            char (&serial)[SERIAL_BUFFER_SIZE]) {
    return scan_serial_field(record, serial, NULL);
}

size_t copy_isn_text(const unsigned char (&record)[BARCODE_RECORD_SIZE],
                     char (&isn)[ISN_BUFFER_SIZE]) {
    size_t length = 0;
    for (size_t i = ISN_FIELD_OFFSET; i < sizeof(record) && record[i] != 0; ++i) {
        isn[length++] = static_cast<char>(record[i]);
    }
    isn[length] = '\0';
    return length;
}
