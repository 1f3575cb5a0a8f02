// Files: bounded reading, the atomic replace of a file with the stop signals held, and standard
// output that is checked to the end. POSIX calls only; failures come back as errno values.
#ifndef VOSSEL_TOOLS_BARCODE_RECORD_FILES_H
#define VOSSEL_TOOLS_BARCODE_RECORD_FILES_H

#include <stddef.h>
#include <sys/types.h>

#include <string>

namespace record_tool {

// Reads a file's first bytes ("-" is standard input), at most `limit` + 1, and tells its size:
// a regular file's from the file system, without reading one of a size other than `limit` at
// all; other input's (a pipe, a device) as read, so that `longer` then means more than `limit`.
// `bytes` gets at most `limit` bytes. On failure errno tells why.
bool read_file(const std::string& name, size_t limit, std::string& bytes, size_t& size,
               bool& longer);

// The folder a path's file is in, with its slash: "./" for a bare name.
std::string folder_of(const std::string& path);

// The mode a plain create gives a new file: 0666 less the umask.
mode_t plain_create_mode();

// Writes `bytes` to `path` whole or not at all, the new file with permission bits `mode`.
// Returns 0 or an errno; `created` tells whether the temporary file was made. A stop signal
// (SIGHUP, SIGINT, SIGQUIT, SIGTERM) during the write cancels it and then ends the tool.
int replace_file(const std::string& path, const std::string& bytes, mode_t mode, bool& created);

// Standard output: put() writes, and flush_output() flushes and returns the first error in
// writing it, or 0 when all of it was written.
void put(const std::string& text);
int flush_output();

}  // namespace record_tool

#endif
