// vossel-check's reader of rc files, called directly: init's tokens, its expansion of
// properties, its sections and the order in which it reads imports.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tools/vossel-check/findings.h"
#include "tools/vossel-check/rc_reader.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using namespace vossel_check;

namespace {

// The lines as "NUMBER: word|word".
std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    for (const Line& line : tokenise(text)) {
        std::string joined = std::to_string(line.number) + ":";
        for (size_t k = 0; k < line.words.size(); ++k) {
            joined += (k == 0 ? " " : "|") + line.words[k];
        }
        out.push_back(joined);
    }
    return out;
}

TEST(VosselCheckRc, SplitsLinesAsInitDoes) {
    const struct {
        const char* text;
        std::vector<std::string> lines;
    } rows[] = {
        {"a  b\t c\r\n", {"1: a|b|c"}},
        {"\n\n  a\n", {"3: a"}},
        {"a \"b c\" d\"e f\"\n", {"1: a|b c|de f"}},
        {"a#b #c d\n# e\nf\n", {"1: a#b", "3: f"}},
        // A continuation: the word goes on after the spaces of the next line; the line is
        // counted, and the words' line is the last.
        {"a \\\n   b\nc\n", {"2: a|b", "3: c"}},
        {"ab\\\n  cd\n", {"2: abcd"}},
        // Before a carriage return and newline, the backslash ends the line, counted twice.
        {"a\\\r\nb\n", {"2: a", "3: b"}},
        {"a\\\rb\n", {"1: ab"}},
        // \n, \r, \t and \\ put their byte in, and the letter after the backslash is read again.
        {"a\\nb\n", {"1: a\nnb"}},
        {"a\\tb\n", {"1: a\ttb"}},
        {"a\\\\b\n", {"1: a\\b"}},
        {"a\\xb\n", {"1: axb"}},
        // An unterminated quote ends the text; so do the words of a line without its end.
        {"x\na \"b\nc\n", {"1: x"}},
        {"x\ny", {"1: x"}},
        {"x\ny\\", {"1: x"}},
    };
    for (const auto& row : rows) {
        EXPECT_THAT(lines_of(row.text), ElementsAreArray(row.lines)) << row.text;
    }
    // A line keeps its first 64 words.
    std::string many;
    for (int k = 0; k < 70; ++k) {
        many += "w" + std::to_string(k) + " ";
    }
    std::vector<Line> lines = tokenise(many + "\n");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].words.size(), 64u);
    EXPECT_EQ(lines[0].words.back(), "w63");
}

TEST(VosselCheckRc, FindsThePropertiesInitExpands) {
    const struct {
        const char* value;
        std::vector<std::string> names;
        bool complete;
    } rows[] = {
        {"${ro.serialno}", {"ro.serialno"}, true},
        {"a${x}b${ro.isn}c", {"x", "ro.isn"}, true},
        {"$ro.isn", {"ro.isn"}, true},  // the old form: the name is the rest of the value
        {"$ro.isn/x", {"ro.isn/x"}, true},
        {"$${ro.serialno}", {}, true},
        {"a$", {}, true},
        {"${ro.serialno", {}, false},
        {"${}", {}, false},
        {"${a}${}${ro.isn}", {"a"}, false},
        {"${0123456789012345678901234567890}", {"0123456789012345678901234567890"}, true},
        {"${01234567890123456789012345678901}", {"01234567890123456789012345678901"}, true},
        {"${012345678901234567890123456789012}", {}, false},
    };
    for (const auto& row : rows) {
        bool complete = !row.complete;
        EXPECT_THAT(expanded_names(row.value, complete), ElementsAreArray(row.names)) << row.value;
        EXPECT_EQ(complete, row.complete) << row.value;
    }
}

TEST(VosselCheckRc, RunsAsRootAsInitDecodes) {
    for (const char* root : {"root", "0", "00", "0x0", "!"}) {
        EXPECT_TRUE(uid_is_root(root)) << root;
    }
    for (const char* other : {"system", "Root", "1000", "", "0x100000000"}) {
        EXPECT_FALSE(uid_is_root(other)) << other;
    }
}

// A configuration read from files held here.
struct Read {
    Configuration configuration;
    Findings findings;
    std::string failure;
    bool ok;
};

Read read(const std::map<std::string, std::string>& files,
          const std::map<std::string, std::string>& properties = {}) {
    Read result;
    Loader load = [&files](const std::string& path) {
        Loaded loaded;
        loaded.shown = "root" + path;
        auto found = files.find(path);
        if (found != files.end()) {
            loaded.outcome = Loaded::ok;
            loaded.bytes = found->second;
        }
        return loaded;
    };
    result.ok =
        read_configuration(load, properties, result.configuration, result.findings, result.failure);
    return result;
}

TEST(VosselCheckRc, ReadsImportsAfterTheirFileDepthFirst) {
    Read result = read({{"/init.rc",
                         "import /a.rc\nimport /init.${ro.hardware}.rc\n"
                         "service s /bin/init-rc\n"},
                        {"/a.rc", "import /c.rc\nservice s /bin/a\non boot\n    start s\n"},
                        {"/c.rc", "on boot\n    class_start core\n"},
                        {"/init.board.rc", "service s /bin/board\n"}},
                       {{"ro.hardware", "board"}});
    ASSERT_TRUE(result.ok) << result.failure;
    EXPECT_THAT(result.configuration.files,
                ElementsAre("root/init.rc", "root/a.rc", "root/c.rc", "root/init.board.rc"));
    ASSERT_EQ(result.configuration.services.size(), 1u);
    const Service& kept = result.configuration.services[0];
    EXPECT_THAT(kept.program, ElementsAre("/bin/init-rc"));
    ASSERT_EQ(kept.ignored.size(), 2u);
    EXPECT_EQ(kept.ignored[0].file + ":" + std::to_string(kept.ignored[0].line), "root/a.rc:2");
    EXPECT_EQ(kept.ignored[1].file, "root/init.board.rc");
    ASSERT_EQ(result.configuration.actions.size(), 2u);
    EXPECT_EQ(result.configuration.actions[0].place.file, "root/a.rc");
    EXPECT_TRUE(result.findings.empty());
}

TEST(VosselCheckRc, TakesSectionsOptionsAndCommandsAsInitDoes) {
    Read result = read({{"/init.rc",
                         // An import ends the service: the option after it is no one's.
                         "service a /bin/a\n    oneshot\nimport /none.rc\n    disabled\n"
                         // Options as init takes them: class with one name, user with one.
                         "service b /bin/b\n    class\n    user a b\n    disabled\n"
                         // Not services: no program, a name too long or with a dot.
                         "service c\n    oneshot\n"
                         "service abcdefghijklmnopq /bin/x\n"
                         "service c.d /bin/x\n"
                         // An action with two words after on is none; its lines are dropped.
                         "on boot now\n    start a\n"
                         // Commands with too few words, and unknown ones, are dropped.
                         "on boot\n    write /x\n    frobnicate a\n    class_start\n"
                         "    write /x y\n    setprop a b\n    on\n    start a\n"}});
    ASSERT_TRUE(result.ok) << result.failure;
    const auto& services = result.configuration.services;
    ASSERT_EQ(services.size(), 2u);
    EXPECT_TRUE(services[0].oneshot);
    EXPECT_FALSE(services[0].disabled);
    EXPECT_EQ(services[1].class_name, "default");
    EXPECT_EQ(services[1].user_place.line, 0);
    EXPECT_TRUE(services[1].as_root);
    EXPECT_TRUE(services[1].disabled);
    const auto& actions = result.configuration.actions;
    ASSERT_EQ(actions.size(), 1u);  // "on" alone ends it and starts none
    std::vector<std::string> commands;
    for (const Command& command : actions[0].commands) {
        commands.push_back(std::to_string(command.place.line) + " " + command.args[0]);
    }
    EXPECT_THAT(commands, ElementsAre("19 write", "20 setprop"));
    ASSERT_EQ(result.findings.size(), 1u);
    EXPECT_EQ(text_line(result.findings[0]),
              "root/init.rc:3: warning: imports /none.rc, which is not in the image: init goes "
              "on without it [import-missing]");
}

TEST(VosselCheckRc, TellsWhatItCannotFollow) {
    Read loop = read({{"/init.rc", "import /a.rc\n"},
                      {"/a.rc", "import /b.rc\n"},
                      {"/b.rc", "import /a.rc\nimport /init.rc\n"}});
    ASSERT_TRUE(loop.ok);
    ASSERT_EQ(loop.findings.size(), 2u);
    EXPECT_EQ(loop.findings[0].file + ":" + std::to_string(loop.findings[0].line), "root/b.rc:1");
    EXPECT_EQ(loop.findings[1].code, "import-loop");

    Read unexpanded = read({{"/init.rc", "import /init.${ro.board}.rc\nimport /${x\n"}});
    ASSERT_EQ(unexpanded.findings.size(), 2u);
    EXPECT_EQ(unexpanded.findings[0].text,
              "imports /init.${ro.board}.rc, which init cannot expand unless the kernel command "
              "line sets ro.board: init goes on without it");
    EXPECT_EQ(unexpanded.findings[1].text,
              "imports /${x, which init cannot expand: init goes on without it");

    // A diamond of imports ten deep: init would read 2^10 files.
    std::map<std::string, std::string> files = {{"/init.rc", "import /0.rc\nimport /0.rc\n"}};
    for (int level = 0; level < 10; ++level) {
        std::string next = "/" + std::to_string(level + 1) + ".rc";
        files["/" + std::to_string(level) + ".rc"] = "import " + next + "\nimport " + next + "\n";
    }
    Read diamond = read(files);
    EXPECT_FALSE(diamond.ok);
    EXPECT_EQ(diamond.failure, "root/9.rc: the imports make init read more than 1000 rc files");

    // Nor more than 64 MiB: a file of 1 MiB imported 70 times.
    std::string imports;
    for (int k = 0; k < 70; ++k) {
        imports += "import /big.rc\n";
    }
    Read big = read({{"/init.rc", imports}, {"/big.rc", std::string(1 << 20, '#')}});
    EXPECT_FALSE(big.ok);
    EXPECT_EQ(big.failure, "root/big.rc: the imports make init read more than 64 MiB of rc files");

    Read none = read({});
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.failure, "root/init.rc: missing: not a product folder's root");
}

}  // namespace
