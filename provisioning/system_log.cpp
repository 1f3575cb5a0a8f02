// The program's messages to the system log.
#include "provisioning/system_log.h"

#include "platform/platform.h"

static const char LOG_TAG[] = "vossel";

void log_message(const char* message) {
    // Progress and failures alike go to the system buffer at error priority; the result is not
    // examined, as there is nowhere else to report a failed log write.
    __android_log_buf_print(LOG_ID_SYSTEM, ANDROID_LOG_ERROR, LOG_TAG, message);
}
