// Loading the barcode record from NVRAM.
#include "platform/platform.h"
#include "provisioning/log_messages.h"
#include "provisioning/system_log.h"
#include "provisioning/vossel.h"

unsigned char barcode_record[BARCODE_RECORD_SIZE];

static_assert(sizeof(barcode_record) ==
                  static_cast<size_t>(BARCODE_RECORD_SIZE) * BARCODE_RECORD_COUNT,
              "one read fills the record buffer with the whole file");

// Opened for reading: the library's truth value for that.
static const int NVRAM_OPEN_FOR_READ = 1;

load_status load_barcode_record() {
    int record_size = 0;
    int record_count = 0;
    nvm_file_handle handle =
        NVM_GetFileDesc(BARCODE_FILE_ID, &record_size, &record_count, NVRAM_OPEN_FOR_READ);

    // A file that cannot be opened leaves the count at 0 and ends here.
    if (record_count != BARCODE_RECORD_COUNT) {
        return load_bad_record_count;
    }
    if (record_size != BARCODE_RECORD_SIZE) {
        return load_bad_record_size;
    }

    // The size was checked above, so the record is exactly the buffer: one read, no retry, and
    // anything short of the whole record is a failure.
    memset(barcode_record, 0, sizeof(barcode_record));
    ssize_t got = read(handle.fd, barcode_record, sizeof(barcode_record));
    if (got != static_cast<ssize_t>(sizeof(barcode_record))) {
        return load_read_failed;
    }

    // The record is in memory: a failed close costs nothing but its message.
    if (NVM_CloseFileDesc(handle) == 0) {
        log_message(MSG_CLOSE_FAILED);
    }
    return load_ok;
}
