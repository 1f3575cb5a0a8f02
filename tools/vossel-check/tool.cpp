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

}  // namespace

const char* const OPTIONS[] = {"--hardware", "--root",    "--system", "--json",
                               "--help",     "--version", nullptr};

int run_tool(int argc, char** argv, const char* version) {
    std::string program = PROGRAM;
    argv[0] = program.data();  // the name getopt_long gives in its messages
    Image image;
    std::string root;
    std::string system;
    bool json = false;
    bool help = false;
    bool show_version = false;
    int index = 0;
    for (int c = 0; (c = getopt_long(argc, argv, "h", LONG_OPTIONS, &index)) != -1;) {
        std::string* value = c == 'H'   ? &image.hardware
                             : c == 'r' ? &root
                             : c == 's' ? &system
                                        : nullptr;
        // A folder or name given twice is a mistake, not the last one silently taken.
        if (value != nullptr && !value->empty()) {
            return usage_error(std::string("--") + LONG_OPTIONS[index].name + " is given twice");
        }
        switch (c) {
            case 'H':
                image.hardware = optarg;
                if (image.hardware.empty()) {
                    return usage_error("--hardware: an empty name");
                }
                break;
            case 'r':
                root = optarg;
                break;
            case 's':
                system = optarg;
                break;
            case 'j':
                json = true;
                break;
            case 'h':
                help = true;
                break;
            case 'V':
                show_version = true;
                break;
            default:
                return usage_error("");
        }
    }
    if (help) {
        return answer(USAGE, status_clean);
    }
    if (show_version) {
        return answer(program + " " + version + "\n", status_clean);
    }
    if (argc - optind != 1) {
        return usage_error(optind == argc ? "no PRODUCT_OUT" : "more than one PRODUCT_OUT");
    }
    image.product = argv[optind];
    image.root = root.empty() ? image.product + "/root" : root;
    image.system = system.empty() ? image.product + "/system" : system;
    image.root_shown = root.empty() ? "root" : shown(root, 4096);
    image.system_shown = system.empty() ? "system" : shown(system, 4096);

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
        out += json ? "" : text_line(finding) + "\n";
    }
    out += json ? json_array(verdict.findings) : summary(verdict.findings, image.product) + "\n";
    return answer(out, errors ? status_errors : status_clean);
}

}  // namespace vossel_check
