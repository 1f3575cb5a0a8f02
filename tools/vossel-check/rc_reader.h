// The rc files as this release's init reads them: its tokens (quotes, backslash escapes and
// continuations, '#' comments at the start of a token), its sections (on, service, import) with
// their options and commands, the first definition of a service kept and a later one ignored,
// and imports read after the whole file that names them, depth first.
#ifndef VOSSEL_TOOLS_VOSSEL_CHECK_RC_READER_H
#define VOSSEL_TOOLS_VOSSEL_CHECK_RC_READER_H

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tools/vossel-check/findings.h"

namespace vossel_check {

// A place in an rc file: the file as shown in findings, and init's line number.
struct Place {
    std::string file;
    int line = 0;
};

// A command of an action, as init keeps it: its words, the keyword first.
struct Command {
    Place place;
    std::vector<std::string> args;
};

struct Action {
    Place place;
    std::string trigger;
    std::vector<Command> commands;
};

struct Service {
    Place place;
    std::string name;
    std::vector<std::string> program;  // the path and its arguments
    std::string class_name = "default";
    bool disabled = false;
    bool oneshot = false;
    Place user_place;            // line 0: no user option taken
    std::string user;            // as written
    bool as_root = true;         // the uid init decodes from it is 0
    std::vector<Place> ignored;  // later definitions of the same name
};

// The splitting of a file's text into lines of words, exactly as init's tokeniser does it.
// Each line comes with the line number init gives it (that of its last physical line).
struct Line {
    int number;
    std::vector<std::string> words;
};
std::vector<Line> tokenise(const std::string& text);

// The properties named by ${name}, $$ and $name forms in a value that init expands, in order;
// `complete` becomes false where init would refuse the value (an unclosed brace, an empty or
// too long name).
std::vector<std::string> expanded_names(const std::string& value, bool& complete);

// Whether init runs a service as uid 0 with this word in its `user` option.
bool uid_is_root(const std::string& word);

// How a file named by an import (or /init.rc) is found.
struct Loaded {
    enum { ok, missing, failed } outcome = missing;
    std::string shown;  // its name in findings, relative to the product folder
    std::string bytes;
    std::string error;  // why it could not be read (failed)
};
using Loader = std::function<Loaded(const std::string& device_path)>;

struct Configuration {
    std::vector<Service> services;
    std::vector<Action> actions;
    std::vector<std::string> files;  // every file read, as shown, in the order init reads them
};

// Reads /init.rc and its imports. `properties` expands imports (ro.hardware among them);
// findings about the reading itself (a loop, a missing file, a NUL byte, a name init cannot
// expand) go to `findings`. Returns false when a file exists but cannot be read: `failure` then
// tells why.
bool read_configuration(const Loader& load, const std::map<std::string, std::string>& properties,
                        Configuration& configuration, Findings& findings, std::string& failure);

}  // namespace vossel_check

#endif
