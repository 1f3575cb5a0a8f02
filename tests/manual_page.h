// Reading a tool's manual page in the tests that hold it to the options and codes the tool knows.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

// The whole page, as written in mdoc.
inline std::string read_page(const char* path) {
    std::ifstream file(path);
    return std::string((std::istreambuf_iterator<char>(file)), {});
}

// The section of the page from its ".Sh NAME" line up to the next.
inline std::string section(const std::string& text, const std::string& name) {
    size_t start = text.find("\n.Sh " + name + "\n");
    return start == std::string::npos ? ""
                                      : text.substr(start, text.find("\n.Sh ", start + 1) - start);
}
