// The barcode record's layout, and the two texts the program reads out of it: the serial it
// derives and the ISN text it publishes as stored. Nothing here is one of the program's stages,
// so host tools that read records see the record exactly as the program does, and no more.
#ifndef VOSSEL_PROVISIONING_DERIVATION_H
#define VOSSEL_PROVISIONING_DERIVATION_H

#include <string.h>  // size_t

// The barcode record: 1024 bytes. Its two texts are found by their start offsets alone; nothing
// in the record gives their lengths.
static const int BARCODE_RECORD_SIZE = 1024;
static const int SERIAL_FIELD_OFFSET = 104;
static const int ISN_FIELD_OFFSET = 251;

// The serial number: at most 63 characters and the terminating zero.
static const int SERIAL_BUFFER_SIZE = 64;

// The ISN text can run from its offset to the record's last byte; one more byte terminates it.
static const int ISN_BUFFER_SIZE = BARCODE_RECORD_SIZE - ISN_FIELD_OFFSET + 1;

static_assert(SERIAL_FIELD_OFFSET < ISN_FIELD_OFFSET && ISN_FIELD_OFFSET < BARCODE_RECORD_SIZE,
              "both fields start inside the record, the serial first");

// The serial field as one scan finds it. It runs from SERIAL_FIELD_OFFSET, whose byte is
// examined whatever it holds, up to the first zero byte after that or the end of the record.
struct serial_field {
    size_t end;           // one past the field's last byte
    size_t alphanumeric;  // its ASCII letters and digits, those past the buffer's room included
};

// Scans the serial field once: copies its first SERIAL_BUFFER_SIZE - 1 ASCII letters and digits,
// in order, to serial, zero-terminated, and returns the number copied. Gives the field's extent
// and count in *field unless field is NULL.
size_t scan_serial_field(const unsigned char (&record)[BARCODE_RECORD_SIZE],
                         char (&serial)[SERIAL_BUFFER_SIZE], serial_field* field);

// The serial a device publishes: scan_serial_field's text, without the field's extent. Returns
// the number of characters kept; serial is always zero-terminated.
size_t derive_serial_number(const unsigned char (&record)[BARCODE_RECORD_SIZE],
                            char (&serial)[SERIAL_BUFFER_SIZE]);

// Copies the ISN field as stored, up to the first zero byte or the end of the record. Returns its
// length; isn is always zero-terminated.
size_t copy_isn_text(const unsigned char (&record)[BARCODE_RECORD_SIZE],
                     char (&isn)[ISN_BUFFER_SIZE]);

#endif
