// The rc files as this release's init reads them.
#include "tools/vossel-check/rc_reader.h"

#include <ctype.h>
#include <errno.h>
#include <stdlib.h>

#include <algorithm>
#include <utility>

namespace vossel_check {

namespace {

// Init keeps the first 64 words of a line and drops the rest.
const size_t MAX_WORDS = 64;
// Property names: at most 32 bytes where init expands one.
const size_t PROPERTY_NAME_MAX = 32;
// Service names: at most 16 bytes of letters, digits, '_' and '-'.
const size_t SERVICE_NAME_MAX = 16;
// A tree of imports that would make init read more files than this is refused: a diamond of
// imports doubles what init reads at every level.
const size_t MAX_FILES_READ = 1000;
// Nor may they make it read more bytes than this, all files together.
const size_t MAX_BYTES_READ = size_t{64} << 20;

// The words init's tokeniser returns, one call each: a word, the end of a line, or the end of
// the text. Each step is the one init's next_token() takes, its quirks included: an escape of
// n, r, t or a backslash puts the escaped byte in and then reads the letter again as text;
// a backslash before a carriage return and newline ends the line, counting it twice.
class Tokeniser {
  public:
    enum Token { end, newline, word };

    explicit Tokeniser(const std::string& text) : text_(text) {}

    Token next(std::string& out, int& line) {
        if (pending_newline_) {
            pending_newline_ = false;
            return newline;
        }
        for (;;) {
            char c = peek();
            if (c == 0) {
                return end;
            }
            if (c == '\n') {
                ++at_;
                return newline;
            }
            if (c == ' ' || c == '\t' || c == '\r') {
                ++at_;
                continue;
            }
            if (c == '#') {
                while (peek() != 0 && peek() != '\n') {
                    ++at_;
                }
                if (peek() == '\n') {
                    ++at_;
                    return newline;
                }
                return end;
            }
            out.clear();
            return text(out, line);
        }
    }

  private:
    char peek(size_t ahead = 0) const {
        return at_ + ahead < text_.size() ? text_[at_ + ahead] : '\0';
    }

    Token text(std::string& out, int& line) {
        for (;;) {
            char c = peek();
            switch (c) {
                case 0:
                    return word;
                case ' ':
                case '\t':
                case '\r':
                    ++at_;
                    return word;
                case '\n':
                    pending_newline_ = true;
                    ++at_;
                    return word;
                case '"':
                    ++at_;
                    if (!quoted(out)) {
                        return end;  // an unterminated quote ends the file
                    }
                    break;
                case '\\':
                    ++at_;
                    if (!escape(out, line)) {
                        return word;
                    }
                    break;
                default:
                    out += c;
                    ++at_;
            }
        }
    }

    bool quoted(std::string& out) {
        for (char c = peek(); c != '"'; c = peek()) {
            if (c == 0) {
                return false;
            }
            out += c;
            ++at_;
        }
        ++at_;
        return true;
    }

    // After a backslash; false when the text ends there.
    bool escape(std::string& out, int& line) {
        char c = peek();
        switch (c) {
            case 0:
                return false;
            case 'n':
                out += '\n';
                return true;
            case 'r':
                out += '\r';
                return true;
            case 't':
                out += '\t';
                return true;
            case '\\':
                out += '\\';
                return true;
            case '\r':
                if (peek(1) != '\n') {
                    ++at_;
                    return true;
                }
                [[fallthrough]];
            case '\n':
                ++line;
                ++at_;
                while (peek() == ' ' || peek() == '\t') {
                    ++at_;
                }
                return true;
            default:
                out += c;
                ++at_;
                return true;
        }
    }

    const std::string& text_;
    size_t at_ = 0;
    bool pending_newline_ = false;
};

// The commands init takes in an action, with the least number of words each needs.
size_t command_words(const std::string& keyword) {
    static const std::map<std::string, size_t> COMMANDS = {
        {"chdir", 2},       {"chroot", 2},     {"class_start", 2}, {"class_stop", 2},
        {"class_reset", 2}, {"domainname", 2}, {"exec", 2},        {"export", 3},
        {"hostname", 2},    {"ifup", 2},       {"insmod", 2},      {"mkdir", 2},
        {"mount_all", 2},   {"mount", 4},      {"restart", 2},     {"restorecon", 2},
        {"rm", 2},          {"rmdir", 2},      {"setcon", 2},      {"setenforce", 2},
        {"setkey", 1},      {"setprop", 3},    {"setrlimit", 4},   {"setsebool", 2},
        {"start", 2},       {"stop", 2},       {"trigger", 2},     {"symlink", 2},
        {"sysclktz", 2},    {"wait", 2},       {"write", 3},       {"copy", 3},
        {"chown", 3},       {"chmod", 3},      {"loglevel", 2},    {"load_persist_props", 1}};
    auto found = COMMANDS.find(keyword);
    return found == COMMANDS.end() ? 0 : found->second;
}

bool valid_service_name(const std::string& name) {
    return name.size() <= SERVICE_NAME_MAX && std::all_of(name.begin(), name.end(), [](char c) {
               return isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-';
           });
}

// The name of a property after a '$' at value[at], as init's expand_props() reads it: ${name},
// or the old form $name, which runs to the end of the value. Moves `at` past it; false where
// init gives up on the value (a brace not closed, a name too long).
bool property_name(const std::string& value, size_t& at, std::string& name) {
    bool braced = value[at] == '{';
    at += braced ? 1 : 0;
    while (at < value.size() && (!braced || value[at] != '}') && name.size() < PROPERTY_NAME_MAX) {
        name += value[at++];
    }
    if (braced) {
        if (at == value.size() || value[at] != '}') {
            return false;
        }
        ++at;
        return true;
    }
    return name.size() < PROPERTY_NAME_MAX || at == value.size();
}

// Walks a value as init's expand_props() does: `literal` gets the text between properties,
// `property` each name, which it may refuse. False where init gives up on the value.
template <typename Literal, typename Property>
bool walk_expansion(const std::string& value, Literal literal, Property property) {
    size_t at = 0;
    while (at < value.size()) {
        size_t dollar = value.find('$', at);
        if (dollar == std::string::npos) {
            literal(value.substr(at));
            break;
        }
        literal(value.substr(at, dollar - at));
        at = dollar + 1;
        if (at == value.size()) {
            break;  // a '$' at the end is dropped
        }
        if (value[at] == '$') {
            literal("$");
            ++at;
            continue;
        }
        std::string name;
        if (!property_name(value, at, name) || name.empty() || !property(name)) {
            return false;
        }
    }
    return true;
}

class Reader {
  public:
    Reader(const Loader& load, const std::map<std::string, std::string>& properties,
           Configuration& configuration, Findings& findings)
        : load_(load), properties_(properties), configuration_(configuration), findings_(findings) {}

    // Reads one file, then its imports; false when one cannot be read.
    bool read(const Loaded& file, std::string& failure) {
        bytes_read_ += file.bytes.size();
        if (++files_read_ > MAX_FILES_READ || bytes_read_ > MAX_BYTES_READ) {
            failure = file.shown + ": the imports make init read more than " +
                      (files_read_ > MAX_FILES_READ ? std::to_string(MAX_FILES_READ) + " rc files"
                                                    : "64 MiB of rc files");
            return false;
        }
        configuration_.files.push_back(file.shown);
        reading_.push_back(file.shown);
        std::vector<std::pair<Place, std::string>> imports;
        parse(file, imports);
        for (const auto& [place, path] : imports) {
            if (!read_import(place, path, failure)) {
                return false;
            }
        }
        reading_.pop_back();
        return true;
    }

  private:
    bool read_import(const Place& place, const std::string& path, std::string& failure) {
        Loaded imported = load_(path);
        if (imported.outcome == Loaded::failed) {
            failure = imported.shown + ": " + imported.error;
            return false;
        }
        if (imported.outcome == Loaded::missing) {
            findings_.push_back({place.file, place.line, Severity::warning,
                                 "imports " + shown(path) +
                                     ", which is not in the image: init "
                                     "goes on without it",
                                 "import-missing"});
            return true;
        }
        if (std::find(reading_.begin(), reading_.end(), imported.shown) != reading_.end()) {
            findings_.push_back({place.file, place.line, Severity::error,
                                 "imports " + shown(path) +
                                     ", which is being read already: this init reads the files "
                                     "of the loop again and again until it fails, and the "
                                     "device does not boot; remove the import",
                                 "import-loop"});
            return true;
        }
        return read(imported, failure);
    }

    // Init reads a file up to its first NUL byte, with a newline added at the end.
    std::string text_of(const Loaded& file) {
        size_t nul = file.bytes.find('\0');
        if (nul == std::string::npos) {
            return file.bytes + "\n";
        }
        std::string text = file.bytes.substr(0, nul);
        int line = 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
        findings_.push_back({file.shown, line, Severity::warning,
                             "a NUL byte at byte " + std::to_string(nul) +
                                 ": init reads the file only up to it, not a line after; is "
                                 "it an rc file?",
                             "rc-binary"});
        return text;
    }

    void parse(const Loaded& file, std::vector<std::pair<Place, std::string>>& imports) {
        context_ = none;
        for (Line& line : tokenise(text_of(file))) {
            Place place{file.shown, line.number};
            const std::string& keyword = line.words[0];
            if (keyword == "service") {
                start_service(place, line.words);
            } else if (keyword == "on") {
                start_action(place, line.words);
            } else if (keyword == "import") {
                context_ = none;
                if (line.words.size() == 2) {
                    queue_import(place, line.words[1], imports);
                }
            } else if (context_ == service) {
                service_option(place, line.words);
            } else if (context_ == action) {
                action_command(place, std::move(line.words));
            }
        }
    }

    void start_service(const Place& place, const std::vector<std::string>& words) {
        context_ = none;
        if (words.size() < 3 || !valid_service_name(words[1])) {
            return;
        }
        auto& services = configuration_.services;
        auto first = std::find_if(services.begin(), services.end(),
                                  [&words](const Service& s) { return s.name == words[1]; });
        if (first != services.end()) {
            first->ignored.push_back(place);
            return;
        }
        Service defined;
        defined.place = place;
        defined.name = words[1];
        defined.program.assign(words.begin() + 2, words.end());
        configuration_.services.push_back(defined);
        context_ = service;
    }

    void service_option(const Place& place, const std::vector<std::string>& words) {
        Service& defined = configuration_.services.back();
        const std::string& option = words[0];
        if (option == "class" && words.size() == 2) {
            defined.class_name = words[1];
        } else if (option == "disabled") {
            defined.disabled = true;
        } else if (option == "oneshot") {
            defined.oneshot = true;
        } else if (option == "user" && words.size() == 2) {
            defined.user_place = place;
            defined.user = words[1];
            defined.as_root = uid_is_root(words[1]);
        }
    }

    void start_action(const Place& place, const std::vector<std::string>& words) {
        context_ = none;
        if (words.size() != 2) {
            return;
        }
        configuration_.actions.push_back({place, words[1], {}});
        context_ = action;
    }

    void action_command(const Place& place, std::vector<std::string> words) {
        size_t needed = command_words(words[0]);
        if (needed > 0 && words.size() >= needed) {
            configuration_.actions.back().commands.push_back({place, std::move(words)});
        }
    }

    void queue_import(const Place& place, const std::string& word,
                      std::vector<std::pair<Place, std::string>>& imports) {
        std::string path;
        std::string unknown;
        bool expanded = walk_expansion(
            word, [&path](const std::string& text) { path += text; },
            [&](const std::string& name) {
                auto found = properties_.find(name);
                if (found == properties_.end()) {
                    unknown = name;
                    return false;
                }
                path += found->second;
                return true;
            });
        if (!expanded) {
            findings_.push_back(
                {place.file, place.line, Severity::warning,
                 "imports " + shown(word) + ", which init cannot expand" +
                     (unknown.empty() ? ""
                                      : " unless the kernel command line sets " + shown(unknown)) +
                     ": init goes on without it",
                 "import-unexpanded"});
            return;
        }
        imports.emplace_back(place, path);
    }

    enum { none, service, action } context_ = none;
    const Loader& load_;
    const std::map<std::string, std::string>& properties_;
    Configuration& configuration_;
    Findings& findings_;
    std::vector<std::string> reading_;
    size_t files_read_ = 0;
    size_t bytes_read_ = 0;
};

}  // namespace

std::vector<Line> tokenise(const std::string& text) {
    std::vector<Line> lines;
    Tokeniser tokeniser(text);
    std::vector<std::string> words;
    std::string word;
    int line = 0;
    for (;;) {
        switch (tokeniser.next(word, line)) {
            case Tokeniser::end:
                return lines;  // words of a line without its end are dropped, as init does
            case Tokeniser::newline:
                ++line;
                if (!words.empty()) {
                    lines.push_back({line, std::move(words)});
                    words.clear();
                }
                break;
            case Tokeniser::word:
                if (words.size() < MAX_WORDS) {
                    words.push_back(word);
                }
                break;
        }
    }
}

std::vector<std::string> expanded_names(const std::string& value, bool& complete) {
    std::vector<std::string> names;
    complete = walk_expansion(
        value, [](const std::string&) {},
        [&names](const std::string& name) {
            names.push_back(name);
            return true;
        });
    return names;
}

bool uid_is_root(const std::string& word) {
    if (word.empty()) {
        return false;  // -1U
    }
    if (isalpha(static_cast<unsigned char>(word[0])) != 0) {
        return word == "root";  // of the names init knows, only root is uid 0
    }
    // A number in any base strtoul() reads; what it cannot read is 0, as for init. On the
    // device unsigned long has 32 bits: a larger number is out of its range, and no uid.
    errno = 0;
    unsigned long value = strtoul(word.c_str(), nullptr, 0);
    return errno == 0 && value == 0;
}

bool read_configuration(const Loader& load, const std::map<std::string, std::string>& properties,
                        Configuration& configuration, Findings& findings, std::string& failure) {
    Loaded first = load("/init.rc");
    if (first.outcome != Loaded::ok) {
        failure = first.shown + ": " +
                  (first.outcome == Loaded::missing ? "missing: not a product folder's root"
                                                    : first.error);
        return false;
    }
    Reader reader(load, properties, configuration, findings);
    return reader.read(first, failure);
}

}  // namespace vossel_check
