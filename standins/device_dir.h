// The stand-ins keep the simulated device's state in one directory, named by this variable.
#ifndef VOSSEL_STANDINS_DEVICE_DIR_H
#define VOSSEL_STANDINS_DEVICE_DIR_H

#include <stddef.h>

#define DEVICE_DIR_VARIABLE "VOSSEL_DEVICE_DIR"

// The exit status of a run that the stand-ins end because there is no device directory: one the
// program itself never gives.
#define DEVICE_DIR_MISSING_STATUS 2

// Writes the path of a file in the device directory, the part inside it given printf-style.
// Returns 0, or -1 when the path does not fit. When the variable is unset or empty, or names no
// directory, it says so on standard error and ends the process with DEVICE_DIR_MISSING_STATUS.
int device_path(char* path, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

#endif
