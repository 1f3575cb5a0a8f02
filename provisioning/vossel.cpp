// The main sequence and the readiness gate.
#include "provisioning/vossel.h"

#include "platform/platform.h"
#include "provisioning/log_messages.h"
#include "provisioning/system_log.h"

static const char NVRAM_READY_PROPERTY[] = "nvram_init";
static const char NVRAM_READY_VALUE[] = "Ready";

void wait_nvram_ready() {
    // Room for the longest value a property read writes, its terminating zero included.
    char value[PROPERTY_VALUE_MAX];
    memset(value, 0, sizeof(value));

    for (int attempt = 0; attempt < READY_POLL_ATTEMPTS; ++attempt) {
        property_get(NVRAM_READY_PROPERTY, value, NULL);
        if (strcmp(value, NVRAM_READY_VALUE) == 0) {
            log_message(MSG_NVRAM_READY);
            return;
        }
        usleep(READY_POLL_INTERVAL_US);
        log_message(MSG_NVRAM_NOT_READY);
    }
}

static const char* load_failure_message(load_status status) {
    switch (status) {
        case load_bad_record_count:
            return MSG_BAD_RECORD_COUNT;
        case load_bad_record_size:
            return MSG_BAD_RECORD_SIZE;
        case load_read_failed:
            return MSG_READ_FAILED;
        case load_ok:
            break;
    }
    return NULL;
}

int vossel_main() {
    // A gate that gives up is no failure: the load's own checks decide the run.
    wait_nvram_ready();

    load_status status = load_barcode_record();
    if (status != load_ok) {
        log_message(load_failure_message(status));
        return -1;
    }

    publish_identity();
    return 0;
}
