// The stand-ins keep the simulated device's state in one directory, named by this variable.
#ifndef VOSSEL_STANDINS_DEVICE_DIR_H
#define VOSSEL_STANDINS_DEVICE_DIR_H

#include <stddef.h>

#define DEVICE_DIR_VARIABLE "VOSSEL_DEVICE_DIR"

// Writes the path of a file in the device directory, the part inside it given printf-style.
// Returns 0, or -1 when the variable is unset or the path does not fit.
int device_path(char* path, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

#endif
