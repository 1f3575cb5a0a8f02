// How findings are told.
#include "tools/vossel-check/findings.h"

#include <stdio.h>

namespace vossel_check {

const char* const CODES[] = {"init-missing",
                             "stock-init-row",
                             "service-missing",
                             "service-duplicate",
                             "service-program",
                             "service-user",
                             "service-not-oneshot",
                             "service-class",
                             "service-disabled",
                             "program-missing",
                             "program-not-arm",
                             "program-not-pie",
                             "library-missing",
                             "property-set",
                             "local-prop",
                             "reader-early",
                             "reader-on-serialno",
                             "framework-early",
                             "framework-never",
                             "recovery",
                             "import-loop",
                             "import-missing",
                             "import-unexpanded",
                             "rc-binary",
                             "hardware",
                             nullptr};

namespace {

const char* severity_name(Severity severity) {
    switch (severity) {
        case Severity::error:
            return "error";
        case Severity::warning:
            return "warning";
        case Severity::note:
            break;
    }
    return "note";
}

// "1 error", "2 warnings".
std::string counted(size_t count, const char* what) {
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

}  // namespace

std::string shown(const std::string& bytes, size_t limit) {
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i == limit) {
            return out + "...";
        }
        unsigned char c = bytes[i];
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '"' || c == '\\' || c < 0x20 || c >= 0x7f) {
            char hex[5];
            (void)snprintf(hex, sizeof(hex), "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string text_line(const Finding& finding) {
    std::string place = finding.file;
    if (finding.line > 0) {
        place += ":" + std::to_string(finding.line);
    }
    return place + ": " + severity_name(finding.severity) + ": " + finding.text + " [" +
           finding.code + "]";
}

std::string json_array(const Findings& findings) {
    // Every text is printable ASCII already (shown() made it so): only " and \ need escapes.
    auto string = [](const std::string& text) {
        std::string out = "\"";
        for (char c : text) {
            if (c == '"' || c == '\\') {
                out += '\\';
            }
            out += c;
        }
        return out + "\"";
    };
    std::string out = "[";
    const char* separator = "\n";
    for (const Finding& finding : findings) {
        out += separator;
        out += "{\"file\":" + string(finding.file);
        if (finding.line > 0) {
            out += ",\"line\":" + std::to_string(finding.line);
        }
        out += ",\"severity\":" + string(severity_name(finding.severity)) +
               ",\"code\":" + string(finding.code) + ",\"text\":" + string(finding.text) + "}";
        separator = ",\n";
    }
    return out + "\n]\n";
}

std::string summary(const Findings& findings, const std::string& product) {
    size_t counts[3] = {0, 0, 0};
    for (const Finding& finding : findings) {
        ++counts[static_cast<int>(finding.severity)];
    }
    if (counts[0] == 0 && counts[1] == 0) {
        return shown(product, 4096) + ": clean, no errors or warnings" +
               (counts[2] == 0 ? "" : " (" + counted(counts[2], "note") + ")");
    }
    return shown(product, 4096) + ": " + counted(counts[0], "error") + ", " +
           counted(counts[1], "warning") + ", " + counted(counts[2], "note");
}

}  // namespace vossel_check
