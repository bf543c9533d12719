#include "platform/profile_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "test_util.h"

namespace {

using platform::ReadProfileInt;
using platform::ReadProfileString;
using platform::WriteProfileString;
using platform_test::ReadBytes;
using platform_test::TempDir;
using platform_test::WriteBytes;

// ---- reading: one table per behaviour of the reference ----------------------

struct ReadCase {
    const char* label;     // test name suffix
    std::string file;      // file contents
    std::string section;   // argument
    std::string key;       // argument
    std::string fallback;  // the default argument
    std::string expected;
};

class PlatformProfileRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(PlatformProfileRead, Reads) {
    const ReadCase& c = GetParam();
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.File("Tarnwick.cfg");
    WriteBytes(path, c.file);
    EXPECT_EQ(ReadProfileString(c.section, c.key, c.fallback, path), c.expected);
    EXPECT_EQ(ReadBytes(path), c.file) << "a read never writes";
}

std::string CaseName(const ::testing::TestParamInfo<ReadCase>& info) { return info.param.label; }

INSTANTIATE_TEST_SUITE_P(
    NamesMatchIgnoringCase, PlatformProfileRead,
    ::testing::Values(
        ReadCase{"SectionCase", "[MachineInfo]\r\nXLIMIT=1\r\n", "MACHINEINFO", "XLIMIT", "d", "1"},
        ReadCase{"KeyCase", "[S]\r\nxLimit=2\r\n", "s", "XLIMIT", "d", "2"},
        ReadCase{"BlanksAroundArguments", "[S]\r\nk=3\r\n", "  S\t", " k ", "d", "3"},
        ReadCase{"DifferentNameIsNotAMatch", "[S]\r\nkey=1\r\n", "S", "key2", "d", "d"},
        ReadCase{"PrefixIsNotAMatch", "[SECTION]\r\nk=1\r\n", "SECT", "k", "d", "d"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    BlanksAreTrimmed, PlatformProfileRead,
    ::testing::Values(ReadCase{"AroundSectionName", "[ s ]\r\nk=1\r\n", "s", "k", "d", "1"},
                      ReadCase{"BeforeBracket", "  \t[s]\r\nk=1\r\n", "s", "k", "d", "1"},
                      ReadCase{"AroundKeyAndValue", "[s]\r\n  k \t=\t v w  \r\n", "s", "k", "d",
                               "v w"},
                      ReadCase{"TabsAroundValue", "[s]\r\nk=\t\tv\t\r\n", "s", "k", "d", "v"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    LineEnds, PlatformProfileRead,
    ::testing::Values(ReadCase{"CrLf", "[a]\r\nx=1\r\n[b]\r\ny=2\r\n", "b", "y", "d", "2"},
                      ReadCase{"Lf", "[a]\nx=1\n[b]\ny=2\n", "b", "y", "d", "2"},
                      ReadCase{"CrOnly", "[a]\rx=1\r[b]\ry=2\r", "b", "y", "d", "2"},
                      ReadCase{"Mixed", "[a]\rx=1\n[b]\r\ny=2", "b", "y", "d", "2"},
                      ReadCase{"NoFinalLineEnd", "[a]\r\nx=last", "a", "x", "d", "last"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    SectionNameEndsAtFirstBracket, PlatformProfileRead,
    ::testing::Values(ReadCase{"RestOfLineIgnored", "[sec] junk = 1\r\nk=v\r\n", "sec", "k", "d",
                               "v"},
                      ReadCase{"SecondBracketIgnored", "[se]c]\r\nk=v\r\n", "se", "k", "d", "v"},
                      ReadCase{"WholeTextIsNotTheName", "[se]c]\r\nk=v\r\n", "se]c", "k", "d", "d"},
                      ReadCase{"RestIsNotAKey", "[sec]k=v\r\n", "sec", "k", "d", "d"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Quotes, PlatformProfileRead,
    ::testing::Values(
        ReadCase{"DoublePairRemoved", "[s]\r\nk=\"a b\"\r\n", "s", "k", "d", "a b"},
        ReadCase{"SinglePairRemoved", "[s]\r\nk='a b'\r\n", "s", "k", "d", "a b"},
        ReadCase{"InnerBlanksKept", "[s]\r\nk=\"  a  \"\r\n", "s", "k", "d", "  a  "},
        ReadCase{"OnlyOnePairRemoved", "[s]\r\nk=\"\"x\"\"\r\n", "s", "k", "d", "\"x\""},
        ReadCase{"EmptyQuotes", "[s]\r\nk=\"\"\r\n", "s", "k", "d", ""},
        ReadCase{"MismatchedStays", "[s]\r\nk=\"a'\r\n", "s", "k", "d", "\"a'"},
        ReadCase{"OpeningOnlyStays", "[s]\r\nk=\"abc\r\n", "s", "k", "d", "\"abc"},
        ReadCase{"ClosingOnlyStays", "[s]\r\nk=abc\"\r\n", "s", "k", "d", "abc\""},
        ReadCase{"LoneQuoteStays", "[s]\r\nk=\"\r\n", "s", "k", "d", "\""},
        ReadCase{"InnerQuotesStay", "[s]\r\nk=a \"b\" c\r\n", "s", "k", "d", "a \"b\" c"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Comments, PlatformProfileRead,
    ::testing::Values(ReadCase{"SemicolonLineIsComment", "[s]\r\n;k=1\r\n", "s", "k", "d", "d"},
                      ReadCase{"IndentedSemicolon", "[s]\r\n  ;k=1\r\n", "s", "k", "d", "d"},
                      ReadCase{"HashIsNoComment", "[s]\r\n#k=1\r\n", "s", "#k", "d", "1"},
                      ReadCase{"NoInlineComment", "[s]\r\nk=1 ; note\r\n", "s", "k", "d",
                               "1 ; note"},
                      ReadCase{"CommentedSection", ";[s]\r\nk=1\r\n", "s", "k", "d", "d"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    LinesWithoutEquals, PlatformProfileRead,
    ::testing::Values(ReadCase{"BareWordIsNoKey", "[s]\r\nk\r\n", "s", "k", "d", "d"},
                      ReadCase{"LaterKeyStillFound", "[s]\r\nk\r\nk=2\r\n", "s", "k", "d", "2"},
                      ReadCase{"ValueMayHoldEquals", "[s]\r\nk=a=b\r\n", "s", "k", "d", "a=b"},
                      ReadCase{"KeysBeforeAnySectionBelongToNone", "k=1\r\n[s]\r\n", "s", "k", "d",
                               "d"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    EmptyValue, PlatformProfileRead,
    ::testing::Values(ReadCase{"IsEmptyNotDefault", "[s]\r\nk=\r\n", "s", "k", "d", ""},
                      ReadCase{"BlanksOnlyIsEmpty", "[s]\r\nk=   \r\n", "s", "k", "d", ""}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Duplicates, PlatformProfileRead,
    ::testing::Values(ReadCase{"FirstKeyWins", "[s]\r\nk=1\r\nK=2\r\n", "s", "k", "d", "1"},
                      ReadCase{"OnlyFirstSectionSearched", "[s]\r\na=1\r\n[t]\r\n[S]\r\nk=2\r\n",
                               "s", "k", "d", "d"},
                      ReadCase{"FirstSectionValue", "[s]\r\nk=1\r\n[s]\r\nk=2\r\n", "s", "k", "d",
                               "1"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Defaults, PlatformProfileRead,
    ::testing::Values(ReadCase{"MissingSection", "[s]\r\nk=1\r\n", "t", "k", "  dflt  ", "  dflt"},
                      ReadCase{"MissingKey", "[s]\r\nk=1\r\n", "s", "x", "dflt \t", "dflt"},
                      ReadCase{"EmptyFile", "", "s", "k", "7", "7"},
                      ReadCase{"KeyOfOtherSection", "[s]\r\n[t]\r\nk=1\r\n", "s", "k", "d", "d"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(Encoding, PlatformProfileRead,
                         ::testing::Values(ReadCase{"Utf8MarkBeforeFirstSection",
                                                    "\xEF\xBB\xBF[s]\r\nk=1\r\n", "s", "k", "d",
                                                    "1"}),
                         CaseName);

TEST(PlatformProfileReadFile, MissingFileGivesDefaultAndCreatesNothing) {
    TempDir dir;
    const std::string path = dir.File("Tarnwick.cfg");
    EXPECT_EQ(ReadProfileString("s", "k", " x  ", path), " x");
    EXPECT_FALSE(platform_test::FileExists(path));
    EXPECT_EQ(ReadProfileString("s", "k", "y", dir.File("no/such/folder.cfg")), "y");
}

TEST(PlatformProfileReadFile, ValueCutToBufferSizeLessOne) {
    TempDir dir;
    const std::string path = dir.File("Tarnwick.cfg");
    const std::string longValue(300, 'v');
    WriteBytes(path, "[s]\r\nk=" + longValue + "\r\n");
    EXPECT_EQ(ReadProfileString("s", "k", "", path), std::string(124, 'v'));
    EXPECT_EQ(ReadProfileString("s", "k", "", path, 5), "vvvv");
    EXPECT_EQ(ReadProfileString("s", "k", "", path, 1), "");
    EXPECT_EQ(ReadProfileString("s", "k", "", path, 0), "");
    EXPECT_EQ(ReadProfileString("s", "k", "", path, 1000), longValue);
    // The default is cut alike.
    EXPECT_EQ(ReadProfileString("s", "none", "abcdef", path, 4), "abc");
    // Quotes come off before the cut.
    WriteBytes(path, "[s]\r\nk=\"abcdef\"\r\n");
    EXPECT_EQ(ReadProfileString("s", "k", "", path, 4), "abc");
}

TEST(PlatformProfileReadFile, DirectoryInPlaceOfFileGivesDefault) {
    TempDir dir;
    EXPECT_EQ(ReadProfileString("s", "k", "d", dir.path()), "d");
}

// ---- integers ---------------------------------------------------------------------

struct IntCase {
    const char* label;
    std::string value;  // the text after "k="; nullptr-like "<none>" for a missing key
    int fallback;
    int expected;
};

class PlatformProfileInt : public ::testing::TestWithParam<IntCase> {};

TEST_P(PlatformProfileInt, ParsesLikeAtoi) {
    const IntCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.File("Tarnwick.cfg");
    WriteBytes(path, c.value == "<none>" ? "[s]\r\n" : "[s]\r\nk=" + c.value + "\r\n");
    EXPECT_EQ(ReadProfileInt("s", "k", c.fallback, path), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, PlatformProfileInt,
    ::testing::Values(IntCase{"Plain", "6100", -1, 6100}, IntCase{"Negative", "-250", 0, -250},
                      IntCase{"PlusSign", "+7", 0, 7}, IntCase{"TrailingText", "12abc", 0, 12},
                      IntCase{"DecimalCut", "3.99", 0, 3}, IntCase{"NoDigits", "abc", 5, 0},
                      IntCase{"SignOnly", "-", 5, 0}, IntCase{"BlankAfterSign", "- 4", 5, 0},
                      IntCase{"Quoted", "\"42\"", 0, 42},
                      IntCase{"Max", "2147483647", 0, 2147483647},
                      IntCase{"WrapsPastMax", "2147483648", 0, -2147483647 - 1},
                      IntCase{"Wraps2Pow32Plus1", "4294967297", 0, 1},
                      IntCase{"MinNegative", "-2147483648", 0, -2147483647 - 1},
                      IntCase{"MissingKeyGivesDefault", "<none>", -1, -1},
                      IntCase{"EmptyValueGivesDefault", "", 9, 9}),
    [](const ::testing::TestParamInfo<IntCase>& info) { return std::string(info.param.label); });

TEST(PlatformProfileIntFile, MissingFileGivesDefault) {
    TempDir dir;
    EXPECT_EQ(ReadProfileInt("MACHINEINFO", "MACHINETYPE", 0, dir.File("none.cfg")), 0);
    EXPECT_EQ(ReadProfileInt("MACHINEINFO", "MACHINETYPE", -1, dir.File("none.cfg")), -1);
}

// ---- writing ------------------------------------------------------------------------

class PlatformProfileWrite : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.ok()); }
    // Writes `before` (unless null), sets one key, and returns the file's bytes.
    std::string After(const char* before, const std::string& section, const std::string& key,
                      const std::string& value) {
        if (before) WriteBytes(path, before);
        EXPECT_TRUE(WriteProfileString(section, key, value, path));
        return ReadBytes(path);
    }
    TempDir dir;
    std::string path = dir.File("Tarnwick.cfg");
};

TEST_F(PlatformProfileWrite, NewFileHoldsSectionAndKeyOnly) {
    EXPECT_EQ(After(nullptr, "MACHINEINFO", "MACHINETYPE", "1"),
              "[MACHINEINFO]\r\nMACHINETYPE=1\r\n");
}

TEST_F(PlatformProfileWrite, EmptyFileIsLikeANewOne) {
    EXPECT_EQ(After("", "S", "k", "v"), "[S]\r\nk=v\r\n");
}

TEST_F(PlatformProfileWrite, NewFileGetsUsualPermissions) {
    const mode_t old = ::umask(022);
    ASSERT_TRUE(WriteProfileString("S", "k", "v", path));
    ::umask(old);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(PlatformProfileWrite, NewSectionAppendedWithoutBlankLine) {
    EXPECT_EQ(After("[A]\r\nx=1\r\n", "B", "y", "2"), "[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
}

TEST_F(PlatformProfileWrite, NewSectionAfterUnendedLastLine) {
    EXPECT_EQ(After("[A]\r\nx=1", "B", "y", "2"), "[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
}

TEST_F(PlatformProfileWrite, NewSectionAfterTrailingBlankLinesAndComments) {
    EXPECT_EQ(After("[A]\r\nx=1\r\n\r\n; end\r\n", "B", "y", "2"),
              "[A]\r\nx=1\r\n\r\n; end\r\n[B]\r\ny=2\r\n");
}

TEST_F(PlatformProfileWrite, AddedLinesFollowAnLfFile) {
    EXPECT_EQ(After("[A]\nx=1\n", "B", "y", "2"), "[A]\nx=1\n[B]\ny=2\n");
    EXPECT_EQ(After(nullptr, "A", "z", "3"), "[A]\nx=1\nz=3\n[B]\ny=2\n");
}

TEST_F(PlatformProfileWrite, ReplacedInPlaceKeepingCaseAndLineEnd) {
    // Each line keeps its own line end; the file's spelling of section and key stays.
    EXPECT_EQ(After("[Sec]\nKey=1\r\nOther=2\n", "SEC", "KEY", "9"), "[Sec]\nKey=9\r\nOther=2\n");
    EXPECT_EQ(After(nullptr, "sec", "other", "8"), "[Sec]\nKey=9\r\nOther=8\n");
}

TEST_F(PlatformProfileWrite, ReplacedOnACrOnlyLineAndAnUnendedLastLine) {
    EXPECT_EQ(After("[s]\rk=1\rj=2", "s", "j", "xyz"), "[s]\rk=1\rj=xyz");
    EXPECT_EQ(After(nullptr, "s", "k", ""), "[s]\rk=\rj=xyz");
}

TEST_F(PlatformProfileWrite, ReplacementKeepsIndentationDropsOldBlanks) {
    EXPECT_EQ(After("[s]\r\n  Key  =  old value  \r\n", "s", "key", "new"), "[s]\r\n  Key=new\r\n");
}

TEST_F(PlatformProfileWrite, OnlyTheFirstDuplicateIsReplaced) {
    EXPECT_EQ(After("[s]\r\nk=1\r\nk=2\r\n[S]\r\nk=3\r\n", "s", "k", "x"),
              "[s]\r\nk=x\r\nk=2\r\n[S]\r\nk=3\r\n");
}

TEST_F(PlatformProfileWrite, NewKeyAfterLastKeyLineOfItsSection) {
    EXPECT_EQ(After("[A]\r\nx=1\r\n; comment\r\n\r\n[B]\r\nz=3\r\n", "a", "y", "2"),
              "[A]\r\nx=1\r\ny=2\r\n; comment\r\n\r\n[B]\r\nz=3\r\n");
}

TEST_F(PlatformProfileWrite, NewKeyAfterKeysNotAfterInterleavedComment) {
    EXPECT_EQ(After("[A]\r\nx=1\r\n; c\r\nw=0\r\n\r\n; tail\r\n", "A", "y", "2"),
              "[A]\r\nx=1\r\n; c\r\nw=0\r\ny=2\r\n\r\n; tail\r\n");
}

TEST_F(PlatformProfileWrite, NewKeyInSectionWithoutKeysFollowsHeader) {
    EXPECT_EQ(After("[A]\r\n; c\r\n\r\n[B]\r\n", "A", "k", "v"),
              "[A]\r\nk=v\r\n; c\r\n\r\n[B]\r\n");
}

TEST_F(PlatformProfileWrite, NewKeyInLastSectionWithUnendedLastLine) {
    EXPECT_EQ(After("[A]\r\nx=1", "A", "y", "2"), "[A]\r\nx=1\r\ny=2\r\n");
    EXPECT_EQ(After("[A]", "A", "y", "2"), "[A]\r\ny=2\r\n");
}

TEST_F(PlatformProfileWrite, ValueWrittenExactly) {
    const std::string value = "  padded \"quoted\" ; not a comment  ";
    EXPECT_EQ(After(nullptr, "s", "k", value), "[s]\r\nk=" + value + "\r\n");
    // Reading it back trims the blanks, as any read of that line would.
    EXPECT_EQ(ReadProfileString("s", "k", "", path), "padded \"quoted\" ; not a comment");
}

TEST_F(PlatformProfileWrite, NameArgumentsAreTrimmed) {
    EXPECT_EQ(After(nullptr, "  S \t", " k ", "v"), "[S]\r\nk=v\r\n");
}

TEST_F(PlatformProfileWrite, Utf8MarkIsKept) {
    EXPECT_EQ(After("\xEF\xBB\xBF[s]\r\nk=1\r\n", "s", "k", "2"), "\xEF\xBB\xBF[s]\r\nk=2\r\n");
    EXPECT_EQ(After("\xEF\xBB\xBF", "s", "k", "2"), "\xEF\xBB\xBF[s]\r\nk=2\r\n");
}

TEST_F(PlatformProfileWrite, MissingFolderFailsAndCreatesNothing) {
    const std::string missing = dir.File("nofolder");
    EXPECT_FALSE(WriteProfileString("s", "k", "v", missing + "/Tarnwick.cfg"));
    EXPECT_FALSE(platform_test::FileExists(missing));
    EXPECT_TRUE(dir.List().empty());
}

TEST_F(PlatformProfileWrite, FailedWriteLeavesOtherFilesUntouched) {
    WriteBytes(path, "[s]\r\nk=1\r\n");
    EXPECT_FALSE(WriteProfileString("s", "k", "2", dir.File("nofolder/x.cfg")));
    EXPECT_FALSE(WriteProfileString("s", "k", "2", dir.path()));  // a folder, not a file
    EXPECT_EQ(ReadBytes(path), "[s]\r\nk=1\r\n");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"Tarnwick.cfg"});
}

TEST_F(PlatformProfileWrite, PermissionBitsKept) {
    WriteBytes(path, "[s]\r\nk=1\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(WriteProfileString("s", "k", "2", path));
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(PlatformProfileWrite, ReadOnlyFileIsNotReplaced) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write any file";
    WriteBytes(path, "[s]\r\nk=1\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_FALSE(WriteProfileString("s", "k", "2", path));
    EXPECT_EQ(ReadBytes(path), "[s]\r\nk=1\r\n");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"Tarnwick.cfg"});
}

TEST_F(PlatformProfileWrite, NoTemporaryFileLeftBehind) {
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(WriteProfileString("s", "k" + std::to_string(i), "v", path));
    EXPECT_EQ(dir.List(), std::vector<std::string>{"Tarnwick.cfg"});
}

TEST_F(PlatformProfileWrite, StaleTemporaryIsReplaced) {
    WriteBytes(dir.File(".Tarnwick.cfg.tmp"), "half a fi");
    ASSERT_TRUE(WriteProfileString("s", "k", "v", path));
    EXPECT_EQ(ReadBytes(path), "[s]\r\nk=v\r\n");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"Tarnwick.cfg"});
}

TEST_F(PlatformProfileWrite, SameValueLeavesFileAsIs) {
    WriteBytes(path, "[s]\nk=1\n");
    struct stat before;
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    ASSERT_TRUE(WriteProfileString("s", "k", "1", path));
    struct stat after;
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(ReadBytes(path), "[s]\nk=1\n");
}

TEST_F(PlatformProfileWrite, SymbolicLinkStaysALink) {
    const std::string target = dir.File("real.cfg");
    WriteBytes(target, "[s]\r\nk=1\r\n");
    ASSERT_EQ(::symlink("real.cfg", path.c_str()), 0);
    ASSERT_TRUE(WriteProfileString("s", "k", "2", path));
    struct stat st;
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadBytes(target), "[s]\r\nk=2\r\n");
}

TEST_F(PlatformProfileWrite, RelativePathInCurrentFolder) {
    char* cwd = ::getcwd(nullptr, 0);
    ASSERT_NE(cwd, nullptr);
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    const bool ok = WriteProfileString("s", "k", "v", "rel.cfg");
    const std::string read = ReadProfileString("s", "k", "", "rel.cfg");
    ASSERT_EQ(::chdir(cwd), 0);
    std::free(cwd);
    EXPECT_TRUE(ok);
    EXPECT_EQ(read, "v");
}

TEST_F(PlatformProfileWrite, ConfigurationRoundTrip) {
    // The configuration's own use: many keys, one call each, read back afresh.
    for (int i = 1; i <= 4; ++i) {
        const std::string section = "WORKOFFSET" + std::to_string(i);
        for (const char* axis : {"X", "Y", "Z", "A"}) {
            ASSERT_TRUE(WriteProfileString(section, axis, std::to_string(i * 10) + ".25", path));
        }
    }
    ASSERT_TRUE(WriteProfileString("WORKOFFSET2", "Z", "-1.50", path));
    EXPECT_EQ(ReadProfileString("workoffset2", "z", "0", path), "-1.50");
    EXPECT_EQ(ReadProfileString("WORKOFFSET4", "A", "0", path), "40.25");
    EXPECT_EQ(ReadProfileInt("WORKOFFSET3", "X", 0, path), 30);
    const std::string head = "[WORKOFFSET1]\r\nX=10.25\r\nY=10.25\r\nZ=10.25\r\nA=10.25\r\n";
    EXPECT_EQ(ReadBytes(path).substr(0, head.size()), head);
}

}  // namespace
