// Publishing the identity properties.
#include "platform/platform.h"
#include "provisioning/vossel.h"

static const char SERIAL_PROPERTY[] = "ro.serialno";
static const char ISN_PROPERTY[] = "ro.isn";

void publish_identity() {
    char serial[SERIAL_BUFFER_SIZE];
    derive_serial_number(barcode_record, serial);
    property_set(SERIAL_PROPERTY, serial);

    // Copied rather than pointed at, so that an ISN running to the record's end is terminated.
    char isn[ISN_BUFFER_SIZE];
    copy_isn_text(barcode_record, isn);
    property_set(ISN_PROPERTY, isn);
}
