// The stored form of occurrence property sets: the plain form's bytes, round trips of awkward
// names and values, long lines, small floats and expressions, hand-written files, and the lines
// a reader skips.
#include "config/occpropInt.h"
#include "occprop_fixture.h"

using occtest::OccSession;
using occtest::Path;

namespace {

struct OccFile : OccSession {
    // A set read from text into a new set of the cell.
    nyxOccPropSet *readText(const std::string &text, const char *name = "r") {
        nyxOccPropSet *set = asSet(makeSet(name));
        EXPECT_EQ(nyxOccPropFile::parse(set, text), 0);
        return set;
    }
    cfiOID prop(cfiOID owner, const char *name) {
        cfidrErrorT err = 0;
        cfiOID p = cfidrObjectCreateProp(owner, name, &err);
        EXPECT_EQ(err, 0) << name;
        return p;
    }
};

} // namespace

TEST_F(OccFile, APlainSetIsWrittenInThePlainForm) {
    cfidrErrorT err = 0;
    cfiOID set = makeSet("s");
    cfidrPropSetBooleanValue(prop(set, "flag"), 1, &err);
    cfidrPropSetFloat32Value(prop(set, "f"), 0.5f, &err);
    cfiOID n1 = nyxdrOccPropSetCreateNetOccProp(set, Path({"N1"}), &err);
    cfidrPropSetStringValue(prop(n1, "s"), "say \"hi\"", &err);
    nyxdrOccPropSetCreateViewOccProp(set, Path({"U1", "U2"}), &err);
    cfiOID p = nyxdrOccPropSetCreatePortOccProp(set, Path({"U1", "P"}), Path({"b", "m"}), &err);
    cfidrPropSetInt32Value(prop(p, "cap"), 3, &err);
    nyxdrOccPropSetCreatePortOccProp(set, Path({"U1", "Q"}), nullptr, &err);
    ASSERT_EQ(err, 0);
    nyxdrOccPropSetSave(set, &err);
    ASSERT_EQ(err, 0);
    const std::string expected =
        "#!header 2.0\n#!prop flag B 1\n#!prop f N 0.500000\n"
        "#!context /\nU1\nN1:net S s \"say \\\"hi\\\"\"\n"
        "#!context /U1\nU2\nQ:/:pin\nP:/b/m:pin I cap 3\n"
        "#!context /U1/U2\n";
    EXPECT_EQ(seltest::readBytes(fileOf("s")), expected);
    // Read back, the set is what it was, in the same order, and writes the same bytes.
    nyxOccPropSet *back = readText(expected);
    EXPECT_EQ(occtest::describe(back), occtest::describe(asSet(set)));
    EXPECT_EQ(nyxOccPropFile::format(back), expected);
}

TEST_F(OccFile, AwkwardNamesAndValuesSurviveARoundTrip) {
    cfidrErrorT err = 0;
    cfiOID set = makeSet("s");
    cfidrPropSetStringValue(prop(set, "own value"), "two words\nand a line\\ with #!context /x", &err);
    cfidrPropSetExpressionValue(prop(set, "e"), "iPar(\"w\") * 2", &err);
    cfidrPropSetFloat32Value(prop(set, "tiny"), 1e-12f, &err);
    cfiOID n = nyxdrOccPropSetCreateNetOccProp(set, Path({"a b", "u[1:2]", "x/y:z\\w \"q\""}), &err);
    cfidrPropSetStringValue(prop(n, "my prop"), "\"quoted\" back\\slash\nnew line", &err);
    cfidrPropSetFloat32Value(prop(n, "small"), 3.25e-7f, &err);
    cfiOID p = nyxdrOccPropSetCreatePortOccProp(set, Path({"a b", "p:q"}), Path({"m n", "d(0:3)"}), &err);
    cfiOID deleted = prop(p, "gone");
    setDeletedValue(nyxpi::object<nyxPropList>(deleted), nyxpi::memberIndex(deleted.tag), &err);
    prop(p, "novalue");
    const std::string longName(5000, 'L');
    cfiOID deep = nyxdrOccPropSetCreateViewOccProp(set, Path({longName, longName, "x"}), &err);
    cfidrPropSetStringValue(prop(deep, "long"), std::string(3000, 'v').c_str(), &err);
    ASSERT_EQ(err, 0);
    const std::string text = nyxOccPropFile::format(asSet(set));
    // No value became a line of its own.
    EXPECT_EQ(text.find("\n#!context /x"), std::string::npos);
    nyxOccPropSet *back = readText(text);
    EXPECT_EQ(occtest::describe(back), occtest::describe(asSet(set)));
    EXPECT_EQ(nyxOccPropFile::format(back), text);
}

TEST_F(OccFile, HandWrittenFilesReadAsTheFormSays) {
    const std::string text =
        "#!header 2.0\n"
        "# a comment\n"
        "#!prop word S first\n"
        "#!context /U1 N:net I w 3\n"   // an occurrence on the context line
        "U2\n"                          // relative: under /U1
        "/A/B:net B on 1\n"             // absolute
        "U3 7 ignored\n"                // second field starts with a digit
        "N:net I\n"                     // no property name
        "N:net I nov\n"                 // no value
        "N:net I big 99999999999\n"     // out of range
        "N:net Z odd x\n"               // unknown letter: no value
        "bad\x88name\n"                 // fails the name rule
        "P:/m:PIN N cap 1e-3\n"
        "#!unknown line\n"
        "#!context /U1/U2\n"
        "n2:Net s txt \"a\\\"b\"\n";
    nyxOccPropSet *set = readText(text);
    EXPECT_EQ(occtest::describe(set),
              "set word:5='first'\n"
              "22 /U1\n23 /U1/N w:2=3 odd:0=\n24 /U1/P:/m cap:3=0.00100000005\n"
              "22 /U1/U2\n23 /U1/U2/n2 txt:5='a\"b'\n"
              "22 /A\n23 /A/B on:1=1\n");
}

TEST_F(OccFile, ALibrarySaveAfterTheReadWritesNothingUnchanged) {
    cfidrErrorT err = 0;
    cfiOID set = makeSet("s");
    nyxdrOccPropSetCreateNetOccProp(set, Path({"U", "N"}), &err);
    nyxdrOccPropSetSave(set, &err);
    restart();
    cfiOID again = nyxdrCellFindOccPropSetByName(cell, "s", &err);
    ASSERT_EQ(err, 0);
    nyxdrOccPropSetFindNetOccPropByPath(again, Path({"U", "N"}), &err);
    ASSERT_EQ(err, 0);
    EXPECT_FALSE(asSet(again)->changed());
    nyxdrOccPropSetCreateNetOccProp(again, Path({"U", "M"}), &err);
    EXPECT_TRUE(asSet(again)->changed());
    cfidrLibSave(lib, &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(seltest::readBytes(fileOf("s")), "#!header 2.0\n#!context /\nU\n#!context /U\nM:net\nN:net\n");
}

// Found by fuzzing: a node named like a keyword or comment line was written at the start of a
// line as it stands and read back as that line; an empty string of the set's own was dropped.
TEST_F(OccFile, NamesStartingWithHashAndEmptyOwnStringsReadBackAsThemselves) {
    cfidrErrorT err = 0;
    cfiOID set = makeSet("s");
    cfidrPropSetStringValue(prop(set, "empty"), "", &err);
    nyxdrOccPropSetCreateViewOccProp(set, Path({"#!context", "# x"}), &err);
    nyxdrOccPropSetCreatePortOccProp(set, Path({"#!prop"}), nullptr, &err);
    cfidrObjectCreateProp(nyxdrOccPropSetCreateNetOccProp(set, Path({"#n"}), &err), "#p", &err);
    ASSERT_EQ(err, 0);
    const std::string text = nyxOccPropFile::format(asSet(set));
    nyxOccPropSet *back = readText(text);
    EXPECT_EQ(occtest::describe(back), occtest::describe(asSet(set)));
    EXPECT_EQ(nyxOccPropFile::format(back), text);
}
