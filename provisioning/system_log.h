// The program's messages to the system log.
#ifndef VOSSEL_PROVISIONING_SYSTEM_LOG_H
#define VOSSEL_PROVISIONING_SYSTEM_LOG_H

// Writes one message to the system log buffer at error priority under the program's tag. The
// message is passed as the format string, so it must hold no conversion.
void log_message(const char* message);

#endif
