// The command side of nyxvc: the conversation with the library, finding the source file, and
// the text answer around the records.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/test_env.h"
#include "decode.h"
#include "session.h"

namespace {

// Runs a session over the command text; returns what it wrote, and its exit code in rc.
std::string converse(const std::string &commands, int *rc = nullptr) {
    std::FILE *in = fmemopen(const_cast<char *>(commands.data()), commands.size(), "r");
    char *buf = nullptr;
    size_t size = 0;
    std::FILE *out = open_memstream(&buf, &size);
    nyxvc::Session s(in, out);
    const int code = s.run();
    std::fclose(in);
    std::fclose(out);
    std::string result(buf, size);
    free(buf);
    if (rc != nullptr) *rc = code;
    return result;
}

void writeFile(const std::string &path, const std::string &text) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent);
    std::ofstream(path) << text;
}

const char *kTop = "module top (input a, output y);\n  inv u1 (.A(a), .Y(y));\nendmodule\n";

} // namespace

TEST(NyxvcSession, NothingIsWrittenBeforeViewAndQuitOrEndOfInputEndsTheSession) {
    int rc = -1;
    EXPECT_EQ(converse("#reset\n#opts -parens \n#lib L\n#cell top\n", &rc), "");
    EXPECT_EQ(rc, 0);
    writeFile("L/top/v.v", kTop);
    const std::string out = converse("#reset\n#lib L\n#cell top\n#quit\n#view v\n", &rc);
    EXPECT_EQ(out, "");
    EXPECT_EQ(rc, 0);
}

TEST(NyxvcSession, AnswersInFixedOrderAndServesSeveralExchanges) {
    writeFile("L/top/v.v", kTop);
    writeFile("L/other/v.v", "module other (input b); endmodule\n");
    const std::string out =
        converse("#reset\n#lib L\n#cell top\n#unknown line\nnot a command\n#view v\n#reset\n#lib L\n#cell other\n#view v\n");
    std::string text, binary;
    nyxvctest::splitAnswer(out, text, binary);
    const std::string path = nyxtest::testDirectory() + "/L/top/v.v";
    EXPECT_EQ(text, "#m\n" + path + ":2: warning: cell inv is not defined; its ports are taken from its named connections\n"
                    "#endmsgs\n#s 0\n#netlist\n");
    // The first answer's stream ends at its Q; the second answer follows it.
    const size_t second = binary.find("#m\n#endmsgs\n#s 0\n#netlist\n");
    ASSERT_NE(second, std::string::npos);
    const std::string records = nyxvctest::decodeRecords(binary.substr(0, second));
    EXPECT_EQ(records.find("error"), std::string::npos) << records;
    EXPECT_NE(records.find("view L/top/v CFIDR_NETLISTVIEW nets 2 footprints 1"), std::string::npos) << records;
    EXPECT_NE(records.find("from " + path), std::string::npos) << records;
    const std::string records2 = nyxvctest::decodeRecords(binary.substr(second + 26));
    EXPECT_NE(records2.find("view L/other/v CFIDR_NETLISTVIEW nets 1 footprints 0"), std::string::npos) << records2;
}

TEST(NyxvcSession, MissingSourceIs27AndRefusedSourceIs4) {
    std::string out = converse("#reset\n#lib L\n#cell top\n#view v\n");
    const std::string dir = nyxtest::testDirectory();
    EXPECT_EQ(out, "#m\nnyxvc: error: no source for L/top/v (looked for " + dir + "/L/top/v.{v,vg,verilog})\n"
                   "#endmsgs\n#s 27\n#nonetlist\n");
    writeFile("L/top/v.v", "module top;\n  always @* ;\nendmodule\n");
    out = converse("#reset\n#lib L\n#cell top\n#view v\n");
    EXPECT_EQ(out, "#m\n" + dir + "/L/top/v.v:2: error: 'always' is not supported (behavioural or generated code)\n"
                   "#endmsgs\n#s 4\n#nonetlist\n");
    writeFile("L/top/v.v", kTop);
    out = converse("#reset\n#param nyxvc_lib s cells/missing.v\n#lib L\n#cell top\n#view v\n");
    EXPECT_NE(out.find("cells/missing.v: error: cannot read the stub file"), std::string::npos) << out;
    EXPECT_NE(out.find("#s 4\n#nonetlist\n"), std::string::npos) << out;
}

// Library directory: the name when absolute, else below the current directory; cell and view
// names are encoded as the library stores them ("/" becomes a tab); the extensions come from
// nyxvc_ext when it is set.
TEST(NyxvcSession, FindsSourcesByEncodedNamesExtensionsAndAbsoluteLibraries) {
    const std::string dir = nyxtest::testDirectory();
    writeFile("L/a\tb/net.vg", "module \\a/b (input x); endmodule\n");
    std::string out = converse("#reset\n#lib L\n#cell a/b\n#view net\n");
    EXPECT_NE(out.find("#s 0\n#netlist\n"), std::string::npos) << out;
    out = converse("#reset\n#lib " + dir + "/L\n#cell a/b\n#view net\n");
    EXPECT_NE(out.find("#s 0\n#netlist\n"), std::string::npos) << out;
    writeFile("L/top/v.gate", kTop);
    out = converse("#reset\n#param nyxvc_ext s gate, v\n#lib L\n#cell top\n#view v\n");
    EXPECT_NE(out.find("#s 0\n#netlist\n"), std::string::npos) << out;
    // #reset forgets the parameter.
    out = converse("#reset\n#param nyxvc_ext s gate\n#reset\n#lib L\n#cell top\n#view v\n");
    EXPECT_NE(out.find("#s 27\n"), std::string::npos) << out;
}

TEST(NyxvcSession, OptionsAndStubFile) {
    writeFile("L/top/v.v", "module top (input [1:0] a, output y);\n  inv u1 (a[0], y);\nendmodule\n");
    writeFile("cells.v", "module inv (A, Y); input A; output Y; endmodule\n");
    const std::string out =
        converse("#reset\n#opts -comp /x/nyxvc -parens \n#param nyxvc_lib s cells.v\n#param other i 3\n#lib L\n#cell top\n#view v\n");
    std::string text, binary;
    nyxvctest::splitAnswer(out, text, binary);
    EXPECT_EQ(text, "#m\n#endmsgs\n#s 0\n#netlist\n");
    const std::string records = nyxvctest::decodeRecords(binary);
    EXPECT_NE(records.find("port bus a(1:0) 1 0"), std::string::npos) << records;
    EXPECT_NE(records.find("fpport A dir 1\n    fpport Y dir 2"), std::string::npos) << records;
}
