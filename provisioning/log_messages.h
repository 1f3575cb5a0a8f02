// The texts the program writes to the system log. Other tools grep the log for them, and the
// host tool quotes them: keep them byte for byte, typos included.
#ifndef VOSSEL_PROVISIONING_LOG_MESSAGES_H
#define VOSSEL_PROVISIONING_LOG_MESSAGES_H

static const char MSG_NVRAM_READY[] = "nvram restore ready!\n";
static const char MSG_NVRAM_NOT_READY[] = "nvram restore not ready!\n";
static const char MSG_BAD_RECORD_COUNT[] = "error:unexpected record num";
static const char MSG_BAD_RECORD_SIZE[] = "error:unexpected record size";
static const char MSG_READ_FAILED[] = "error:read barcode fail!/n";
static const char MSG_CLOSE_FAILED[] = "clsoe file fail \n";

#endif
