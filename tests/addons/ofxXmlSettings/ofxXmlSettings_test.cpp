#include "ofxXmlSettings.h"
#include "scratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// A fresh directory per test, removed afterwards.
class ofxXmlSettingsFiles : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir.empty()); }
    std::string path(const std::string& name) const { return dir + "/" + name; }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        DIR* d = opendir(dir.c_str());
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.push_back(e->d_name);
        closedir(d);
        return names;
    }
    ScratchFolder scratch{"xmlsettings"};
    std::string dir = scratch.path();
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// What the game writes at a colour measurement, over a file holding a highscore.
void fillLikeTheGame(ofxXmlSettings& s) {
    s.setValue("STOMPATHON:SCORES:HIGHSCORE", 9120);
    s.setValue("STOMPATHON:COLORS:ONE:HUE", 12.5);
    s.setValue("STOMPATHON:COLORS:ONE:SAT", 200.0);
    s.setValue("STOMPATHON:COLORS:TWO:HUE", 171.25);
    s.setValue("STOMPATHON:COLORS:TWO:SAT", 88.0);
    s.setValue("STOMPATHON:MARKERS:ONE:X", 0.0);
    s.setValue("STOMPATHON:MARKERS:ONE:Y", 0.0);
    s.setValue("STOMPATHON:MARKERS:TWO:X", 0.0);
    s.setValue("STOMPATHON:MARKERS:TWO:Y", 0.0);
}

const char* gameFile =
    "<STOMPATHON>\n"
    "    <SCORES>\n"
    "        <HIGHSCORE>9120</HIGHSCORE>\n"
    "    </SCORES>\n"
    "    <COLORS>\n"
    "        <ONE>\n"
    "            <HUE>12.500000</HUE>\n"
    "            <SAT>200.000000</SAT>\n"
    "        </ONE>\n"
    "        <TWO>\n"
    "            <HUE>171.250000</HUE>\n"
    "            <SAT>88.000000</SAT>\n"
    "        </TWO>\n"
    "    </COLORS>\n"
    "    <MARKERS>\n"
    "        <ONE>\n"
    "            <X>0.000000</X>\n"
    "            <Y>0.000000</Y>\n"
    "        </ONE>\n"
    "        <TWO>\n"
    "            <X>0.000000</X>\n"
    "            <Y>0.000000</Y>\n"
    "        </TWO>\n"
    "    </MARKERS>\n"
    "</STOMPATHON>\n";

}  // namespace

TEST(ofxXmlSettings, TokenizeSkipsEmptyPieces) {
    typedef std::vector<std::string> Pieces;
    EXPECT_EQ(ofxXmlSettings::tokenize("a::b", ":"), (Pieces{"a", "b"}));
    EXPECT_EQ(ofxXmlSettings::tokenize(":a:b:", ":"), (Pieces{"a", "b"}));
    EXPECT_EQ(ofxXmlSettings::tokenize("", ":"), (Pieces{""}));
    EXPECT_EQ(ofxXmlSettings::tokenize(":::", ":"), Pieces{});
}

TEST(ofxXmlSettings, SetValueCreatesThePathAndReplacesInPlace) {
    ofxXmlSettings s;
    EXPECT_EQ(s.setValue("A:B:C", 5), 0);
    EXPECT_EQ(s.getValue("A:B:C", 0), 5);
    EXPECT_TRUE(s.tagExists("A:B"));
    EXPECT_FALSE(s.tagExists("A:Z"));
    EXPECT_FALSE(s.tagExists(":"));

    s.setValue("A:FIRST", 1);
    s.setValue("A:B", "flat");              // the sub-elements of B go, B keeps its place
    EXPECT_EQ(s.getValue("A:B", std::string()), "flat");
    EXPECT_FALSE(s.tagExists("A:B:C"));
    EXPECT_EQ(s.getNumTags("A"), 1);
    ASSERT_TRUE(s.pushTag("A"));
    EXPECT_STREQ(s.FirstChildElement()->FirstChildElement()->Value(), "B");
}

TEST(ofxXmlSettings, ValuesAreTextConvertedOnRead) {
    ofxXmlSettings s;
    s.setValue("A:B", 1.5);
    EXPECT_EQ(s.getValue("A:B", std::string()), "1.500000");
    EXPECT_EQ(s.getValue("A:B", 0), 1);
    EXPECT_DOUBLE_EQ(s.getValue("A:B", 0.0), 1.5);
    s.setValue("A:N", -7);
    EXPECT_EQ(s.getValue("A:N", std::string()), "-7");
    s.setValue("A:T", "12abc");
    EXPECT_EQ(s.getValue("A:T", 99), 12);
    s.setValue("A:T", "abc");
    EXPECT_EQ(s.getValue("A:T", 99), 0);
    s.setValue("A:BIG", 1e300);             // three hundred digits, no fixed buffer
    EXPECT_DOUBLE_EQ(s.getValue("A:BIG", 0.0), 1e300);
    s.setValue("A:LONG", std::string(2000, 'x') + "y");
    EXPECT_EQ(s.getValue("A:LONG", std::string()), std::string(1023, 'x'));
    s.setValue("A:PARENT:CHILD", 3);        // an element holding elements has no value
    EXPECT_EQ(s.getValue("A:PARENT", 42), 42);
}

TEST(ofxXmlSettings, WhichPicksAmongTheFirstComponentOnly) {
    ofxXmlSettings s;
    EXPECT_EQ(s.addValue("P:X", 1), 0);
    EXPECT_EQ(s.addValue("P:X", 2), 1);
    EXPECT_EQ(s.getNumTags("P:X"), 2);
    EXPECT_EQ(s.getValue("P:X", 0, 1), 2);
    EXPECT_EQ(s.setValue("P:X", 20, 1), 1);
    EXPECT_EQ(s.getValue("P:X", 0, 1), 20);
    EXPECT_EQ(s.getValue("P:X", 0, 0), 1);
    EXPECT_EQ(s.setValue("P", 7, 5), 2);    // too few P: a third is appended
    EXPECT_EQ(s.getValue("P", 0, 2), 7);

    ASSERT_TRUE(s.pushTag("P"));
    s.addValue("X", 11);                    // a second X under the first P
    s.popTag();
    EXPECT_EQ(s.getValue("P:X", 0, 0), 1);  // deeper components take the first
    EXPECT_EQ(s.addTag("P:Q"), 3);
    EXPECT_TRUE(s.tagExists("P:Q", 3));
}

TEST(ofxXmlSettings, PushAndPopMoveThePosition) {
    ofxXmlSettings s;
    s.setValue("A:B:C", 5);
    s.addValue("A:B:C", 6);
    EXPECT_EQ(s.popTag(), 0);
    ASSERT_TRUE(s.pushTag("A:whatever", 1));   // only "A" counts
    ASSERT_TRUE(s.pushTag("B"));
    EXPECT_EQ(s.getPushLevel(), 2);
    EXPECT_EQ(s.getValue("C", 0), 6);

    testing::internal::CaptureStdout();
    EXPECT_FALSE(s.pushTag("MISSING"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "pushTag - tag not found\n");
    EXPECT_EQ(s.getPushLevel(), 2);

    EXPECT_EQ(s.popTag(), 1);
    EXPECT_EQ(s.getValue("B:C", 0), 6);
    EXPECT_EQ(s.popTag(), 0);
    EXPECT_EQ(s.getValue("A:B:C", 0, 1), 6);
}

TEST(ofxXmlSettings, RemoveClearAndClearContents) {
    ofxXmlSettings s;
    s.setValue("A:B", 1);
    s.setValue("A:C", 2);
    s.addValue("P", 1);
    s.addValue("P", 2);
    s.removeTag("A:Z");
    s.removeTag("A:B");
    EXPECT_FALSE(s.tagExists("A:B"));
    EXPECT_EQ(s.getValue("A:C", 0), 2);
    s.removeTag("P", 1);
    EXPECT_EQ(s.getNumTags("P"), 1);
    EXPECT_EQ(s.getValue("P", 0), 1);

    s.clearTagContents("A");
    EXPECT_TRUE(s.tagExists("A"));
    EXPECT_FALSE(s.tagExists("A:C"));
    s.clearTagContents("NOPE");
    EXPECT_FALSE(s.tagExists("NOPE"));

    ASSERT_TRUE(s.pushTag("P"));
    s.clear();                              // only below the position
    s.popTag();
    EXPECT_TRUE(s.tagExists("P"));
    EXPECT_EQ(s.getValue("P", 5), 5);
    s.clear();
    EXPECT_EQ(s.FirstChild(), nullptr);
}

TEST(ofxXmlSettings, RefusesPathsThatWouldMakeTheFileUnloadable) {
    ofxXmlSettings s;
    testing::internal::CaptureStdout();
    EXPECT_EQ(s.setValue("", 1), -1);
    EXPECT_EQ(s.setValue(":::", 1), -1);
    EXPECT_EQ(s.setValue("MY KEY", 1), -1);
    EXPECT_EQ(s.addValue("A:9LIVES", 1), -1);
    EXPECT_EQ(s.addTag("A:<B>"), -1);
    EXPECT_NE(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(s.FirstChild(), nullptr);
    EXPECT_EQ(s.setValue("_a-b.c:X1", 1), 0);
}

TEST_F(ofxXmlSettingsFiles, SavedFileHasThePrintersLayoutAndLoadsBack) {
    ofxXmlSettings s;
    fillLikeTheGame(s);
    ASSERT_TRUE(s.saveFile(path("mySettings.xml")));
    EXPECT_EQ(readFile(path("mySettings.xml")), gameFile);
    EXPECT_EQ(entries(), std::vector<std::string>{"mySettings.xml"});   // no temporary left

    ofxXmlSettings again;
    ASSERT_TRUE(again.loadFile(path("mySettings.xml")));
    EXPECT_EQ(again.getValue("STOMPATHON:COLORS:TWO:HUE", 0), 171);
    EXPECT_EQ(again.getValue("STOMPATHON:SCORES:HIGHSCORE", 0), 9120);

    // a declaration read in is written back; markup in values survives; an
    // empty value keeps both tags and an empty element prints as one
    writeFile(path("decl.xml"), "<?xml version=\"1.0\" ?>\n<R><V>1</V></R>");
    ASSERT_TRUE(again.loadFile(path("decl.xml")));
    again.setValue("R:V", "a<b & \"c\"");
    again.setValue("R:E:GONE", 1);
    again.removeTag("R:E:GONE");
    ASSERT_TRUE(again.pushTag("R"));
    again.addTag("EMPTY");
    ASSERT_TRUE(again.saveFile(path("decl.xml")));
    EXPECT_EQ(readFile(path("decl.xml")),
              "<?xml version=\"1.0\" ?>\n<R>\n    <V>a&lt;b &amp; &quot;c&quot;</V>\n"
              "    <E />\n    <EMPTY></EMPTY>\n</R>\n");
    EXPECT_TRUE(again.loadFile(path("decl.xml")));
    EXPECT_EQ(again.getPushLevel(), 0);    // loading goes back to the document
    EXPECT_EQ(again.popTag(), 0);
    EXPECT_EQ(again.getValue("R:V", std::string()), "a<b & \"c\"");
    EXPECT_FALSE(again.tagExists("STOMPATHON"));    // the previous file is gone
}

TEST_F(ofxXmlSettingsFiles, BadFilesLoadAsAnEmptyDocument) {
    std::string deep;
    for (int i = 0; i < 200000; ++i) deep += "<a>";
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 7919) >> 3);
    // Deep files disguised from a scan of the structure: stray end tags first, or
    // a declaration whose quoted value looks like the start of a comment.
    std::string strayEnds;
    for (int i = 0; i < 5000; ++i) strayEnds += "</>";
    std::string disguisedDeclaration = "<?xml version=\"><!--\" ?>";
    for (int i = 0; i < 9000; ++i) disguisedDeclaration += "<a>";
    disguisedDeclaration += "-->";
    std::vector<std::string> bad = {"", "not xml at all", binary, deep + "<b>1</b>",
                                    strayEnds + deep, disguisedDeclaration,
                                    std::string(ofxXmlSettings::maxFileBytes + 1, ' ') + "<S>1</S>"};
    std::string good = gameFile;
    for (size_t cut = 0; cut < good.rfind("</STOMPATHON>"); cut += 7) bad.push_back(good.substr(0, cut));

    ofxXmlSettings s;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(s.loadFile(path("missing.xml")));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");     // the usual first start
    testing::internal::CaptureStdout();
    EXPECT_FALSE(s.loadFile(dir));
    for (size_t i = 0; i < bad.size(); ++i) {
        writeFile(path("mySettings.xml"), good);
        ASSERT_TRUE(s.loadFile(path("mySettings.xml")));
        writeFile(path("mySettings.xml"), bad[i]);
        EXPECT_FALSE(s.loadFile(path("mySettings.xml"))) << "bad file " << i;
        EXPECT_EQ(s.getValue("STOMPATHON:COLORS:ONE:HUE", -1), -1) << "bad file " << i;
        EXPECT_EQ(s.getNumTags("STOMPATHON"), 0) << "bad file " << i;
    }
    s.setValue("STOMPATHON:COLORS:ONE:HUE", 3);     // built from scratch, saved anew
    EXPECT_TRUE(s.saveFile(path("mySettings.xml")));

    std::string nested = "<!-- <a><a><a> -->";      // deep, but within reach, still loads
    for (int i = 0; i < 900; ++i) nested = "<a x='<a>'>" + nested + "</a>";
    writeFile(path("nested.xml"), nested);
    EXPECT_TRUE(s.loadFile(path("nested.xml")));

    // The bound is on the number of '<': a flat file right at it loads, one more is refused.
    std::string flat = "<R>";
    for (int i = 0; i < ofxXmlSettings::maxTagMarks - 2; ++i) flat += "<v/>";
    writeFile(path("flat.xml"), flat + "</R>");
    EXPECT_TRUE(s.loadFile(path("flat.xml")));
    writeFile(path("flat.xml"), flat + "<v/></R>");
    EXPECT_FALSE(s.loadFile(path("flat.xml")));
    std::string deepest;     // as deep as the bound lets a file be: parsed without running out of stack
    for (int i = 0; i < ofxXmlSettings::maxTagMarks; ++i) deepest += "<a>";
    writeFile(path("deepest.xml"), deepest);
    EXPECT_FALSE(s.loadFile(path("deepest.xml")));
    testing::internal::GetCapturedStdout();
}

TEST_F(ofxXmlSettingsFiles, SaveReplacesTheFileKeepingItsPermissions) {
    ofxXmlSettings s;
    s.setValue("A", 1);
    ASSERT_TRUE(s.saveFile(path("s.xml")));
    mode_t mask = umask(0);
    umask(mask);
    struct stat info;
    ASSERT_EQ(stat(path("s.xml").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);

    chmod(path("s.xml").c_str(), 0640);
    symlink("s.xml", path("link.xml").c_str());
    s.setValue("A", 2);
    ASSERT_TRUE(s.saveFile(path("link.xml")));      // through the link, into its target
    ASSERT_EQ(lstat(path("link.xml").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(stat(path("s.xml").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(readFile(path("s.xml")), "<A>2</A>\n");
}

TEST_F(ofxXmlSettingsFiles, FailedSaveLeavesTheOldFileAlone) {
    ofxXmlSettings s;
    fillLikeTheGame(s);
    mkdir(path("target.xml").c_str(), 0755);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(s.saveFile(path("no/such/dir/mySettings.xml")));
    EXPECT_FALSE(s.saveFile(path("target.xml")));   // a directory cannot be replaced by a file
    std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(std::count(console.begin(), console.end(), '\n'), 2) << console;
    EXPECT_EQ(entries(), std::vector<std::string>{"target.xml"});

    // The disk fills, then the process dies, in the middle of the write.
    writeFile(path("mySettings.xml"), "<OLD>1</OLD>\n");
    for (bool dies : {false, true}) {
        pid_t child = fork();
        if (child == 0) {
            signal(SIGXFSZ, dies ? SIG_DFL : SIG_IGN);
            struct rlimit none = {0, 0}, small = {64, 64};
            setrlimit(RLIMIT_CORE, &none);
            setrlimit(RLIMIT_FSIZE, &small);
            _exit(s.saveFile(path("mySettings.xml")) ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_EQ(WIFSIGNALED(status) != 0, dies);
        EXPECT_EQ(WIFEXITED(status) && WEXITSTATUS(status) == 1, !dies);
        EXPECT_EQ(readFile(path("mySettings.xml")), "<OLD>1</OLD>\n");
        if (!dies) {
            EXPECT_EQ(entries().size(), 2u);     // the temporary file is removed
        }
    }
}
