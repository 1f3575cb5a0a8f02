// The files of a built image, read without writing and without waiting: rc and property files
// whole up to a bound, init searched in pieces, the program's ELF headers and dynamic section.
#ifndef VOSSEL_TOOLS_VOSSEL_CHECK_IMAGE_H
#define VOSSEL_TOOLS_VOSSEL_CHECK_IMAGE_H

#include <string>
#include <vector>

#include "tools/vossel-check/rc_reader.h"

namespace vossel_check {

const size_t MEBIBYTE = size_t{1} << 20;
// The most an rc or property file may hold; a larger one is refused as input.
const size_t TEXT_FILE_LIMIT = 16 * MEBIBYTE;

// The error of load_file() for a folder.
const char FOLDER[] = "a folder, not a file";

// A regular file's bytes (at most `limit`); a missing one is `missing`; anything else (a folder,
// a pipe, a larger file, a failed read) is `failed`, with the reason.
Loaded load_file(const std::string& path, const std::string& shown_name, size_t limit);

// Whether a regular file holds each of `texts`, read a piece at a time. False, with the reason
// in `error`, when it cannot be read; `found` is empty when it does not exist.
bool search_file(const std::string& path, const std::vector<std::string>& texts,
                 std::vector<bool>& found, std::string& error);

// What an ELF file is, as far as the device's loader cares.
struct Elf {
    enum Kind { missing, not_elf, not_arm32, not_program, fixed_address, program } kind = missing;
    std::string description;          // what it is instead, for not_elf .. not_program
    std::vector<std::string> needed;  // the NEEDED entries of a program's dynamic section
};

// False, with the reason in `error`, when the file exists but cannot be read.
bool read_elf(const std::string& path, Elf& elf, std::string& error);

// The lines of a property file that set a property, as init's loader takes them.
struct PropertyLine {
    int line;
    std::string name;
    std::string value;
};
std::vector<PropertyLine> property_lines(const std::string& bytes);

// Whether a path names a folder.
bool is_folder(const std::string& path);

// Whether a path names a regular file, or a link to one.
bool is_file(const std::string& path);

// The names of the entries of a folder (none when it cannot be listed).
std::vector<std::string> folder_entries(const std::string& path);

}  // namespace vossel_check

#endif
