// vossel: gives the running platform its serial number.
//
// At boot, waits (bounded) until the platform reports its NVRAM restored, loads the barcode
// record from NVRAM, publishes the serial number derived from it as "ro.serialno" and the
// record's ISN text as "ro.isn". Takes no arguments and reads no configuration. Exits 0 after
// publishing, 255 when the record is not exactly one of 1024 bytes or cannot be read whole, in
// which case nothing is published.
#ifndef VOSSEL_PROVISIONING_VOSSEL_H
#define VOSSEL_PROVISIONING_VOSSEL_H

#include "provisioning/derivation.h"

// The readiness gate: checks, and half-second sleeps after each miss.
static const int READY_POLL_ATTEMPTS = 20;
static const unsigned READY_POLL_INTERVAL_US = 500000;

// The barcode record is NVRAM file 35, and that file is one record of BARCODE_RECORD_SIZE bytes.
static const int BARCODE_FILE_ID = 35;
static const int BARCODE_RECORD_COUNT = 1;

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

// Writes "ro.serialno" and then "ro.isn" from barcode_record. Refused writes go unnoticed.
void publish_identity();

#endif
