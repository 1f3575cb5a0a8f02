// The command line of vossel-check.
#include "tools/vossel-check/tool.h"

#include <getopt.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "tools/vossel-check/checks.h"
#include "tools/vossel-check/findings.h"

namespace vossel_check {

namespace {

const char PROGRAM[] = "vossel-check";

const char USAGE[] = R"(usage: vossel-check [OPTION]... PRODUCT_OUT
       vossel-check --help | --version

Checks a built device image for the wiring vossel needs, before it is flashed.

  --hardware NAME   ro.hardware, for the imports of /init.${ro.hardware}.rc
  --root DIR        the boot image's root (default: PRODUCT_OUT/root)
  --system DIR      the system image's folder (default: PRODUCT_OUT/system)
  --json            the findings as a JSON array
  -h, --help        this help
  --version         the tool's name and version
)";

const option LONG_OPTIONS[] = {{"hardware", required_argument, nullptr, 'H'},
                               {"root", required_argument, nullptr, 'r'},
                               {"system", required_argument, nullptr, 's'},
                               {"json", no_argument, nullptr, 'j'},
                               {"help", no_argument, nullptr, 'h'},
                               {"version", no_argument, nullptr, 'V'},
                               {}};

// Standard error has no one to tell of its own failure.
void say(const std::string& lines) {
    (void)fputs(lines.c_str(), stderr);
}

int usage_error(const std::string& message) {
    if (!message.empty()) {
        say(std::string(PROGRAM) + ": " + message + "\n");
    }
    say(std::string(USAGE).substr(0, std::string(USAGE).find('\n')) + "\nTry '" + PROGRAM +
        " --help' for more information.\n");
    return status_refused;
}

// Writes `text` to standard output: `status`, or status_refused when it cannot be written whole.
int answer(const std::string& text, int status) {
    (void)fputs(text.c_str(), stdout);
    if (fflush(stdout) != 0 || ferror(stdout) != 0) {
        say(std::string(PROGRAM) + ": standard output: " + strerror(errno) + "\n");
        return status_refused;
    }
    return status;
}

// The command line's options.
struct CommandLine {
    std::string hardware;
    std::string root;
    std::string system;
    bool json = false;
    bool help = false;
    bool version = false;
};

// Reads the options into `line`. Returns false on a mistake, told in `mistake`, which stays
// empty where getopt_long has told it already.
bool read_options(int argc, char** argv, CommandLine& line, std::string& mistake) {
    int index = 0;
    for (int c = 0; (c = getopt_long(argc, argv, "h", LONG_OPTIONS, &index)) != -1;) {
        std::string* value = c == 'H'   ? &line.hardware
                             : c == 'r' ? &line.root
                             : c == 's' ? &line.system
                                        : nullptr;
        if (value != nullptr) {
            // A folder or name given twice is a mistake, not the last one silently taken.
            if (!value->empty()) {
                mistake = std::string("--") + LONG_OPTIONS[index].name + " is given twice";
                return false;
            }
            if (c == 'H' && *optarg == '\0') {
                mistake = "--hardware: an empty name";
                return false;
            }
            *value = optarg;
        } else if (c == 'j') {
            line.json = true;
        } else if (c == 'h') {
            line.help = true;
        } else if (c == 'V') {
            line.version = true;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

const char* const OPTIONS[] = {"--hardware", "--root",    "--system", "--json",
                               "--help",     "--version", nullptr};

int run_tool(int argc, char** argv, const char* version) {
    std::string program = PROGRAM;
    argv[0] = program.data();  // the name getopt_long gives in its messages
    CommandLine line;
    std::string mistake;
    if (!read_options(argc, argv, line, mistake)) {
        return usage_error(mistake);
    }
    Image image;
    image.hardware = line.hardware;
    if (line.help) {
        return answer(USAGE, status_clean);
    }
    if (line.version) {
        return answer(program + " " + version + "\n", status_clean);
    }
    if (argc - optind != 1) {
        return usage_error(optind == argc ? "no PRODUCT_OUT" : "more than one PRODUCT_OUT");
    }
    image.product = argv[optind];
    image.root = line.root.empty() ? image.product + "/root" : line.root;
    image.system = line.system.empty() ? image.product + "/system" : line.system;
    image.root_shown = line.root.empty() ? "root" : shown(line.root, 4096);
    image.system_shown = line.system.empty() ? "system" : shown(line.system, 4096);

    Verdict verdict = check_image(image);
    if (!verdict.failure.empty()) {
        if (verdict.ask_hardware) {
            return usage_error(verdict.failure);
        }
        say(program + ": " + verdict.failure + "\n");
        return status_refused;
    }
    bool errors = false;
    std::string out;
    for (const Finding& finding : verdict.findings) {
        errors = errors || finding.severity == Severity::error;
        out += line.json ? "" : text_line(finding) + "\n";
    }
    out +=
        line.json ? json_array(verdict.findings) : summary(verdict.findings, image.product) + "\n";
    return answer(out, errors ? status_errors : status_clean);
}

}  // namespace vossel_check
