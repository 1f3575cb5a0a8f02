// vossel: gives the running platform its serial number.
//
// At boot, waits (bounded) until the platform reports its NVRAM restored, loads the barcode
// record from NVRAM, publishes the serial number derived from it as "ro.serialno" and the
// record's ISN text as "ro.isn". Takes no arguments and reads no configuration. Exits 0 after
// publishing, 255 when the record is not exactly one of 1024 bytes or cannot be read whole, in
// which case nothing is published.
#ifndef VOSSEL_PROVISIONING_VOSSEL_H
#define VOSSEL_PROVISIONING_VOSSEL_H

#include <string.h>  // size_t

// The readiness gate: checks, and half-second sleeps after each miss.
static const int READY_POLL_ATTEMPTS = 20;
static const unsigned READY_POLL_INTERVAL_US = 500000;

// The barcode record: NVRAM file 35, one record of 1024 bytes. Its two texts are found by their
// start offsets alone; nothing in the record gives their lengths.
static const int BARCODE_FILE_ID = 35;
static const int BARCODE_RECORD_COUNT = 1;
static const int BARCODE_RECORD_SIZE = 1024;
static const int SERIAL_FIELD_OFFSET = 104;
static const int ISN_FIELD_OFFSET = 251;

// The serial number: at most 63 characters and the terminating zero.
static const int SERIAL_BUFFER_SIZE = 64;

// The ISN text can run from its offset to the record's last byte; one more byte terminates it.
static const int ISN_BUFFER_SIZE = BARCODE_RECORD_SIZE - ISN_FIELD_OFFSET + 1;

static_assert(SERIAL_FIELD_OFFSET < ISN_FIELD_OFFSET && ISN_FIELD_OFFSET < BARCODE_RECORD_SIZE,
              "both fields start inside the record, the serial first");

enum load_status { load_ok, load_bad_record_count, load_bad_record_size, load_read_failed };

// The loaded record; meaningful only after load_barcode_record() returned load_ok.
extern unsigned char barcode_record[BARCODE_RECORD_SIZE];

// The whole run: gate, load, publication. Returns 0 after publishing, -1 after a load failure.
int vossel_main();

// Returns once "nvram_init" reads "Ready", or after the last check has missed.
void wait_nvram_ready();

// Fills barcode_record from NVRAM file 35. On failure the file is left open: the caller ends the
// process at once.
load_status load_barcode_record();

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

// Writes "ro.serialno" and then "ro.isn" from barcode_record. Refused writes go unnoticed.
void publish_identity();

#endif
