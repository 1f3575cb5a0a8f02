// Stand-in liblog: each message becomes one line on standard error, in the shape of the
// platform's brief log format with the buffer in front, "[system] E/vossel: message". A buffer
// without a name shows its number. A message that ends in a newline is not given a second one.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "platform/platform.h"

// The platform formats a message into a buffer of this size and cuts what does not fit.
enum { LOG_MESSAGE_MAX = 1024 };

// The buffers by their ids; "crash" came with later releases.
static const char* const BUFFER_NAMES[] = {"main", "radio", "events", "system", "crash"};

static char priority_letter(int prio) {
    static const char letters[] = "??VDIWEFS";  // unknown, default, verbose ... fatal, silent
    if (prio < 0 || prio >= (int)sizeof(letters) - 1) {
        return '?';
    }
    return letters[prio];
}

int __android_log_buf_print(int buf_id, int prio, const char* tag, const char* fmt, ...) {
    char message[LOG_MESSAGE_MAX];
    va_list args;
    va_start(args, fmt);
    int formatted = vsnprintf(message, sizeof(message), fmt, args);
    va_end(args);
    if (formatted < 0) {
        return -1;
    }

    char number[16];
    const char* buffer = number;
    if (buf_id >= 0 && buf_id < (int)(sizeof(BUFFER_NAMES) / sizeof(BUFFER_NAMES[0]))) {
        buffer = BUFFER_NAMES[buf_id];
    } else {
        (void)snprintf(number, sizeof(number), "%d", buf_id);
    }
    char line[LOG_MESSAGE_MAX + 64];
    size_t length = strlen(message);
    const char* newline = length > 0 && message[length - 1] == '\n' ? "" : "\n";
    int n = snprintf(line, sizeof(line), "[%s] %c/%s: %s%s", buffer, priority_letter(prio),
                     tag ? tag : "", message, newline);
    if (n < 0) {
        return -1;
    }
    // One write a line, so that the lines of concurrent writers do not interleave.
    return (int)write(STDERR_FILENO, line, (size_t)n < sizeof(line) ? (size_t)n : sizeof(line) - 1);
}
