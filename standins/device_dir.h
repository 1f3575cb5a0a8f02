// The stand-ins keep the simulated device's state in one directory, named by this variable.
#ifndef VOSSEL_STANDINS_DEVICE_DIR_H
#define VOSSEL_STANDINS_DEVICE_DIR_H

#include <stddef.h>

// What is declared here is the stand-ins' own: a library that stands in for the device's exports
// the platform's calls and nothing else.
#pragma GCC visibility push(hidden)

#define DEVICE_DIR_VARIABLE "VOSSEL_DEVICE_DIR"

// The exit status of a run that the stand-ins end because the simulated device is set up wrong:
// one the program itself never gives.
#define SETUP_FAULT_STATUS 2

// Writes the path of a file in the device directory, the part inside it given printf-style.
// Returns 0, or -1 when the path does not fit. When the variable is unset or empty, or does not
// name a directory that holds the folders properties/ and nvram/, it says so on standard error
// and ends the process with SETUP_FAULT_STATUS.
int device_path(char* path, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Says on standard error that path cannot be used, in the system's words for error (an errno
// value), followed by the note if there is one, and ends the process with SETUP_FAULT_STATUS.
void setup_fault(const char* path, int error, const char* note) __attribute__((noreturn));

// setup_fault() for one of the device's folders, "properties" or "nvram", by its name: the path
// and what the device keeps there.
void folder_fault(const char* name, int error) __attribute__((noreturn));

#pragma GCC visibility pop

#endif
