// What the check finds, and how it is told: one line each in the form compilers use, or a JSON
// array.
#ifndef VOSSEL_TOOLS_VOSSEL_CHECK_FINDINGS_H
#define VOSSEL_TOOLS_VOSSEL_CHECK_FINDINGS_H

#include <string>
#include <vector>

namespace vossel_check {

enum class Severity { error, warning, note };

struct Finding {
    std::string file;  // relative to the product folder
    int line;          // 0: the whole file (a binary, a folder)
    Severity severity;
    std::string text;
    std::string code;
};

using Findings = std::vector<Finding>;

// Every code the tool gives, for the manual page's test.
extern const char* const CODES[];

// Bytes of a file (a word, a name) fit for a finding: printable ASCII kept, " and \ and every
// other byte as \xHH or a C escape, and cut after `limit` bytes with "...".
std::string shown(const std::string& bytes, size_t limit = 64);

// "FILE:LINE: error: TEXT [code]", LINE left out when 0.
std::string text_line(const Finding& finding);

// The findings as one JSON array, one object a line.
std::string json_array(const Findings& findings);

// The closing line: the counts, or that the image is clean.
std::string summary(const Findings& findings, const std::string& product);

}  // namespace vossel_check

#endif
