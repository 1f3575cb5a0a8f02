// The files of a built image, read without writing and without waiting.
#include "tools/vossel-check/image.h"

#include <ctype.h>
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace vossel_check {

namespace {

// A descriptor closed when it goes.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            (void)close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&&) = delete;
    Descriptor& operator=(Descriptor&&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

enum class Opened { ok, missing, failed };

// Opens a regular file to read. O_NONBLOCK: a pipe in its place is refused, not waited on.
Opened open_regular(const std::string& path, int& fd, off_t& size, std::string& error) {
    fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = strerror(errno);
        return errno == ENOENT ? Opened::missing : Opened::failed;
    }
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        error = strerror(errno);
        return Opened::failed;
    }
    if (!S_ISREG(status.st_mode)) {
        error = S_ISDIR(status.st_mode) ? FOLDER : "not a regular file";
        return Opened::failed;
    }
    size = status.st_size;
    return Opened::ok;
}

// Reads `count` bytes at `offset`, all of them or fails.
bool read_at(int fd, off_t offset, size_t count, std::string& bytes) {
    bytes.assign(count, '\0');
    size_t done = 0;
    while (done < count) {
        ssize_t got = pread(fd, &bytes[done], count - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        done += static_cast<size_t>(got);
    }
    return true;
}

unsigned long little_endian(const std::string& bytes, size_t at, size_t width) {
    unsigned long value = 0;
    for (size_t k = width; k > 0; --k) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + k - 1]);
    }
    return value;
}

const unsigned int ET_REL_ = 1, ET_EXEC_ = 2, ET_DYN_ = 3, EM_ARM_ = 40;
const unsigned long PT_LOAD_ = 1, PT_DYNAMIC_ = 2, PT_INTERP_ = 3;
const unsigned long DT_NEEDED_ = 1, DT_STRTAB_ = 5;
const size_t EHDR_SIZE = 52, PHDR_SIZE = 32, DYN_SIZE = 8;
// Bounds on what is read of a malformed file: headers, dynamic entries, a library's name.
const size_t MAX_DYNAMIC_ENTRIES = 65536, MAX_NAME = 4096;

std::string machine_name(unsigned int machine) {
    switch (machine) {
        case 3:
            return "x86";
        case 8:
            return "MIPS";
        case 62:
            return "x86-64";
        case 183:
            return "AArch64";
        default:
            return "machine " + std::to_string(machine);
    }
}

// A program header: its type, and where its bytes are in the file and in memory.
struct Segment {
    unsigned long type;
    unsigned long offset;  // cppcheck-suppress unusedStructMember ; read through an iterator
    unsigned long address;
    unsigned long size;
};

// The file offset of a virtual address, through the loadable segment that holds it.
bool file_offset(const std::vector<Segment>& segments, unsigned long address,
                 unsigned long& offset) {
    auto holder = std::find_if(segments.begin(), segments.end(), [address](const Segment& s) {
        return s.type == PT_LOAD_ && address >= s.address && address - s.address < s.size;
    });
    if (holder == segments.end()) {
        return false;
    }
    offset = holder->offset + (address - holder->address);
    return true;
}

// A NUL-terminated name at `offset`, at most MAX_NAME bytes.
bool read_name(int fd, unsigned long offset, std::string& name) {
    name.clear();
    std::string piece;
    while (name.size() < MAX_NAME) {
        if (!read_at(fd, static_cast<off_t>(offset + name.size()), 1, piece)) {
            return false;
        }
        if (piece[0] == '\0') {
            return true;
        }
        name += piece[0];
    }
    return false;
}

// The NEEDED names of a program's dynamic section.
bool needed_libraries(int fd, const std::vector<Segment>& segments,
                      std::vector<std::string>& needed) {
    auto dynamic = std::find_if(segments.begin(), segments.end(),
                                [](const Segment& s) { return s.type == PT_DYNAMIC_; });
    if (dynamic == segments.end()) {
        return true;  // a static program needs none
    }
    std::string entries;
    size_t count = std::min<size_t>(dynamic->size / DYN_SIZE, MAX_DYNAMIC_ENTRIES);
    if (!read_at(fd, static_cast<off_t>(dynamic->offset), count * DYN_SIZE, entries)) {
        return false;
    }
    std::vector<unsigned long> names;
    unsigned long strtab = 0;
    bool have_strtab = false;
    for (size_t k = 0; k < count; ++k) {
        unsigned long tag = little_endian(entries, k * DYN_SIZE, 4);
        unsigned long value = little_endian(entries, k * DYN_SIZE + 4, 4);
        if (tag == 0) {
            break;
        }
        if (tag == DT_NEEDED_) {
            names.push_back(value);
        } else if (tag == DT_STRTAB_) {
            strtab = value;
            have_strtab = true;
        }
    }
    unsigned long table = 0;
    if (!names.empty() && (!have_strtab || !file_offset(segments, strtab, table))) {
        return false;
    }
    for (unsigned long at : names) {
        std::string name;
        if (!read_name(fd, table + at, name)) {
            return false;
        }
        needed.push_back(name);
    }
    return true;
}

// What the header of a file that is an ELF says, before its segments are read.
bool classify_header(const std::string& header, Elf& elf) {
    if (header[4] != 1) {
        elf = {Elf::not_arm32, "a 64-bit ELF file", {}};
    } else if (header[5] != 1) {
        elf = {Elf::not_arm32, "a big-endian ELF file", {}};
    } else if (little_endian(header, 18, 2) != EM_ARM_) {
        elf = {Elf::not_arm32, "an ELF file for " + machine_name(little_endian(header, 18, 2)), {}};
    } else if (unsigned long type = little_endian(header, 16, 2); type == ET_REL_) {
        elf = {Elf::not_program, "an object file", {}};
    } else if (type != ET_EXEC_ && type != ET_DYN_) {
        elf = {Elf::not_program, "an ELF file of type " + std::to_string(type), {}};
    } else {
        return true;
    }
    return false;
}

}  // namespace

Loaded load_file(const std::string& path, const std::string& shown_name, size_t limit) {
    Loaded loaded;
    loaded.shown = shown_name;
    int fd = -1;
    off_t size = 0;
    Opened opened = open_regular(path, fd, size, loaded.error);
    Descriptor closed(fd);
    if (opened != Opened::ok) {
        loaded.outcome = opened == Opened::missing ? Loaded::missing : Loaded::failed;
        return loaded;
    }
    loaded.outcome = Loaded::failed;
    if (static_cast<unsigned long long>(size) > limit) {
        loaded.error = std::to_string(size) + " bytes, more than the " +
                       std::to_string(limit / MEBIBYTE) + " MiB this tool reads of such a file";
        return loaded;
    }
    if (!read_at(fd, 0, static_cast<size_t>(size), loaded.bytes)) {
        loaded.error = errno != 0 ? strerror(errno) : "shorter than its size";
        return loaded;
    }
    loaded.outcome = Loaded::ok;
    return loaded;
}

bool search_file(const std::string& path, const std::vector<std::string>& texts,
                 std::vector<bool>& found, std::string& error) {
    found.clear();
    int fd = -1;
    off_t size = 0;
    Opened opened = open_regular(path, fd, size, error);
    Descriptor closed(fd);
    if (opened != Opened::ok) {
        return opened == Opened::missing;
    }
    found.assign(texts.size(), false);
    size_t overlap = 0;
    for (const std::string& text : texts) {
        overlap = std::max(overlap, text.size());
    }
    const size_t piece = MEBIBYTE;
    std::string window;
    for (off_t at = 0; at < size;) {
        std::string bytes;
        size_t count = static_cast<size_t>(std::min<off_t>(piece, size - at));
        if (!read_at(fd, at, count, bytes)) {
            error = errno != 0 ? strerror(errno) : "shorter than its size";
            return false;
        }
        // The end of the last piece goes before this one, so that a text across both is seen.
        window.erase(0, window.size() - std::min(window.size(), overlap));
        window += bytes;
        for (size_t k = 0; k < texts.size(); ++k) {
            found[k] = found[k] || window.find(texts[k]) != std::string::npos;
        }
        at += static_cast<off_t>(count);
    }
    return true;
}

bool read_elf(const std::string& path, Elf& elf, std::string& error) {
    elf = {};
    int fd = -1;
    off_t size = 0;
    Opened opened = open_regular(path, fd, size, error);
    Descriptor closed(fd);
    if (opened != Opened::ok) {
        return opened == Opened::missing;
    }
    std::string header;
    if (size < static_cast<off_t>(EHDR_SIZE) || !read_at(fd, 0, EHDR_SIZE, header) ||
        header.compare(0, 4, "\177ELF") != 0) {
        elf = {Elf::not_elf, "not an ELF file", {}};
        return true;
    }
    if (!classify_header(header, elf)) {
        return true;
    }
    unsigned long type = little_endian(header, 16, 2);
    unsigned long phoff = little_endian(header, 28, 4);
    size_t phnum = little_endian(header, 44, 2);
    std::string table;
    if (little_endian(header, 42, 2) != PHDR_SIZE ||
        !read_at(fd, static_cast<off_t>(phoff), phnum * PHDR_SIZE, table)) {
        elf = {Elf::not_program, "an ELF file whose program headers cannot be read", {}};
        return true;
    }
    std::vector<Segment> segments;
    bool interpreter = false;
    for (size_t k = 0; k < phnum; ++k) {
        size_t at = k * PHDR_SIZE;
        segments.push_back({little_endian(table, at, 4), little_endian(table, at + 4, 4),
                            little_endian(table, at + 8, 4), little_endian(table, at + 16, 4)});
        interpreter = interpreter || segments.back().type == PT_INTERP_;
    }
    if (type == ET_DYN_ && !interpreter) {
        elf = {Elf::not_program, "a shared library", {}};
        return true;
    }
    if (!needed_libraries(fd, segments, elf.needed)) {
        elf = {Elf::not_program, "an ELF file whose dynamic section cannot be read", {}};
        return true;
    }
    elf.kind = type == ET_EXEC_ ? Elf::fixed_address : Elf::program;
    return true;
}

std::vector<PropertyLine> property_lines(const std::string& bytes) {
    // As init's loader: the name is before a line's first '=', both sides trimmed of white
    // space; a name that starts with '#' is a comment. Init adds a newline at the end of the
    // file, and reads the text up to its first NUL byte (then without that newline).
    std::vector<PropertyLine> lines;
    size_t nul = bytes.find('\0');
    std::string text = nul == std::string::npos ? bytes + "\n" : bytes.substr(0, nul);
    auto trim = [](const std::string& s) {
        size_t first = 0;
        while (first < s.size() && isspace(static_cast<unsigned char>(s[first])) != 0) {
            ++first;
        }
        size_t last = s.size();
        while (last > first && isspace(static_cast<unsigned char>(s[last - 1])) != 0) {
            --last;
        }
        return s.substr(first, last - first);
    };
    int number = 0;
    for (size_t start = 0, end = 0; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        ++number;
        std::string line = text.substr(start, end - start);
        size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        std::string name = trim(line.substr(0, equals));
        if (name.empty() || name[0] == '#') {
            continue;
        }
        lines.push_back({number, name, trim(line.substr(equals + 1))});
    }
    return lines;
}

bool is_folder(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool is_file(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

std::vector<std::string> folder_entries(const std::string& path) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> folder(opendir(path.c_str()), closedir);
    if (folder == nullptr) {
        return names;
    }
    while (const dirent* entry = readdir(folder.get())) {
        names.emplace_back(entry->d_name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace vossel_check
