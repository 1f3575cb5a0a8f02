// Files: bounded reading, the atomic and durable replace of a file with the stop signals held,
// and standard output that is checked to the end. POSIX calls only; failures come back as errno
// values.
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

// How far a replace_file() came.
enum replace_outcome {
    replaced,           // the file holds the bytes, and the entry that names it is synced
    no_temporary_file,  // the temporary file could not be made: nothing changed
    not_replaced,       // a step before the rename failed, or the rename: nothing changed
    replaced_unsynced,  // the file holds the bytes, but its folder could not be synced
};

// Writes `bytes` to `path` whole or not at all, the new file with permission bits `mode`, then
// syncs the folder, so that the new file survives a power cut. The new file is unnamed until
// it is whole where the file system allows it, else named ".barcode-record-XXXXXX". `error` tells
// why a step failed; EINTR, that a stop signal (SIGHUP, SIGINT, SIGQUIT, SIGTERM) came during the
// write, which cancels it and then ends the tool.
replace_outcome replace_file(const std::string& path, const std::string& bytes, mode_t mode,
                             int& error);

// Standard output: put() writes, and flush_output() flushes and returns the first error in
// writing it, or 0 when all of it was written.
void put(const std::string& text);
int flush_output();

}  // namespace record_tool

#endif
