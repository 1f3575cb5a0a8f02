// The platform operations the program uses, under the platform's own names and calling
// conventions. A device build resolves them from liblog, libcutils, libnvram and the C library;
// the host build from the stand-ins in standins/; the unit tests from fakes linked in their place.
// Nothing here wraps or renames a call, so whoever stands behind this header sees exactly the
// calls the program makes.
//
// The header is shared with the C stand-ins, so it is valid C as well as C++.
#ifndef VOSSEL_PLATFORM_PLATFORM_H
#define VOSSEL_PLATFORM_PLATFORM_H

#include <ctype.h>   // isalnum
#include <stdint.h>  // int32_t
#include <string.h>  // memset, strcmp
#include <unistd.h>  // read, usleep

#ifdef __cplusplus
extern "C" {
#endif

// liblog: the system log.
enum { LOG_ID_SYSTEM = 3 };
enum { ANDROID_LOG_ERROR = 6 };
// The library's own name, reserved identifier or not.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
int __android_log_buf_print(int buf_id, int prio, const char* tag, const char* fmt, ...);

// libcutils: system properties. Keys and values are zero-terminated and, with their zero, at most
// PROPERTY_KEY_MAX and PROPERTY_VALUE_MAX bytes long.
enum { PROPERTY_KEY_MAX = 32 };
enum { PROPERTY_VALUE_MAX = 92 };
int property_get(const char* key, char* value, const char* default_value);
int property_set(const char* key, const char* value);

// libnvram: NVRAM files. The handle goes out of NVM_GetFileDesc and back into NVM_CloseFileDesc
// by value, three 32-bit words; the last two belong to the library.
typedef struct nvm_file_handle {
    int32_t fd;
    int32_t library_words[2];
} nvm_file_handle;
nvm_file_handle NVM_GetFileDesc(int file_lid, int* record_size, int* record_count, int is_read);
int NVM_CloseFileDesc(nvm_file_handle handle);

#ifdef __cplusplus
}

static_assert(sizeof(int) == 4, "the NVRAM library takes its ints as 32-bit words");
static_assert(sizeof(nvm_file_handle) == 12, "the NVRAM handle is three 32-bit words");
#endif

#endif
