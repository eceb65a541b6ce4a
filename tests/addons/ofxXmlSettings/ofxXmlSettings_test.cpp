#include "ofxXmlSettings.h"
#include "commandOutput.h"
#include "scratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

static const mode_t shellMask = umask(027);     // files made here get 0640, whatever the shell's umask

// The start of the game's settings as saved: four spaces a level, numbers as %i and %f.
static const std::string gameFile = R"(<STOMPATHON>
    <SCORES>
        <HIGHSCORE>9120</HIGHSCORE>
    </SCORES>
    <COLORS>
        <ONE>
            <HUE>12.500000</HUE>
        </ONE>
    </COLORS>
</STOMPATHON>
)";

// The whole document on one line, so that one comparison checks every element.
static std::string printed(const ofxXmlSettings& s) {
    TiXmlPrinter printer;
    printer.SetStreamPrinting();
    s.Accept(&printer);
    return printer.CStr();
}

// Each entry as "name -rw-r-----", then a regular file's contents: all that a save changed.
static std::string folderState(const std::string& folder) {
    return commandOutput("cd " + folder + " && export LC_ALL=C && for f in *; do stat -c '%n %A' \"$f\"; "
                         "if [ -f \"$f\" ] && [ ! -L \"$f\" ]; then cat \"$f\"; fi; done");
}

static int consoleLines(const std::string& console) {
    return static_cast<int>(std::count(console.begin(), console.end(), '\n'));
}

TEST(ofxXmlSettings, PathsWriteAndReadTheDocument) {
    EXPECT_EQ(ofxXmlSettings::tokenize("", ":"), std::vector<std::string>{""});
    ofxXmlSettings s;
    EXPECT_EQ(s.setValue("A:B:C", 5), 0);
    s.setValue("A:FIRST", 1);
    s.setValue("A:B", "a<b");                   // B's sub-elements go, B keeps its place
    s.setValue(":N::D:", 1.5);                  // empty pieces are skipped
    EXPECT_EQ(s.addValue("P:X", 1), 0);
    EXPECT_EQ(s.addValue("P:X", 2), 1);
    EXPECT_EQ(s.setValue("P:X", 20, 1), 1);     // which picks among the first component only
    EXPECT_EQ(s.setValue("P", -7, 5), 2);       // too few P: a third is appended
    EXPECT_EQ(s.addTag("P:Q"), 3);
    testing::internal::CaptureStdout();
    for (const char* tag : {"", ":::", "MY KEY", "A:9LIVES", "A:<B>"}) {   // the file would not load
        EXPECT_EQ(s.setValue(tag, 1), -1) << tag;
    }
    EXPECT_EQ(consoleLines(testing::internal::GetCapturedStdout()), 5);
    EXPECT_EQ(s.setValue("_a-b.c:X1", 1), 0);
    EXPECT_EQ(printed(s), "<A><B>a&lt;b</B><FIRST>1</FIRST></A><N><D>1.500000</D></N><P><X>1</X></P>"
                          "<P><X>20</X></P><P>-7</P><P><Q></Q></P><_a-b.c><X1>1</X1></_a-b.c>");

    EXPECT_EQ(s.getValue("N:D", 0), 1);
    EXPECT_DOUBLE_EQ(s.getValue("N:D", 0.0), 1.5);
    EXPECT_EQ(s.getValue("P:X", 0, 1), 20);
    EXPECT_EQ(s.getValue("P", 42), 42);         // an element holding elements has no value
    EXPECT_EQ(s.getNumTags("P:X"), 4);
    EXPECT_TRUE(s.tagExists("P:Q", 3));
    s.setValue("N:LONG", std::string(2000, 'x') + "y");
    EXPECT_EQ(s.getValue("N:LONG", std::string()), std::string(1023, 'x'));

    ASSERT_TRUE(s.pushTag("P:whatever", 1));    // only "P" counts
    ASSERT_TRUE(s.pushTag("X"));
    testing::internal::CaptureStdout();
    EXPECT_FALSE(s.pushTag("MISSING"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "pushTag - tag not found\n");
    EXPECT_EQ(s.popTag(), 1);
    EXPECT_EQ(s.getValue("X", 0), 20);          // read below the position,
    s.clear();                                  // cleared only there,
    EXPECT_EQ(s.addValue("X", 11), 0);          // and written there
    EXPECT_EQ(s.popTag(), 0);
    s.removeTag("A:Z");
    s.removeTag("A:B");
    s.removeTag("P", 2);
    s.clearTagContents("N");
    s.clearTagContents("NOPE");
    EXPECT_EQ(printed(s), "<A><FIRST>1</FIRST></A><N></N><P><X>1</X></P><P><X>11</X></P><P><Q></Q></P>"
                          "<_a-b.c><X1>1</X1></_a-b.c>");
}

TEST(ofxXmlSettingsFiles, BadFilesLoadAsAnEmptyDocument) {
    ScratchFolder scratch("xmlsettings");
    std::string file = scratch.file("mySettings.xml");
    // '<' and '=' together 1000 times, right at the bound that keeps nesting and attribute work small.
    std::string good;
    for (int i = 0; i < 250; ++i) {
        good = "<a x='<'>" + good + "</a>";
    }
    std::vector<std::string> bad = {"not xml at all", "<a y=''" + good.substr(2),
                                    std::string(ofxXmlSettings::maxFileBytes + 1, ' ') + "<S>1</S>"};
    for (size_t cut = 0; cut < gameFile.rfind("</STOMPATHON>"); cut += 7) {
        bad.push_back(gameFile.substr(0, cut));     // the first is empty
    }

    ofxXmlSettings s;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(s.loadFile(scratch.file("missing.xml")));     // the usual first start: no console line
    for (size_t i = 0; i < bad.size(); ++i) {
        std::ofstream(file) << good;                // none of it, nor the position in it, may stay
        EXPECT_TRUE(s.loadFile(file) && s.pushTag("a"));
        std::ofstream(file) << bad[i];
        EXPECT_TRUE(!s.loadFile(file) && printed(s).empty() && s.getPushLevel() == 0) << "bad file " << i;
    }
    EXPECT_EQ(consoleLines(testing::internal::GetCapturedStdout()), static_cast<int>(bad.size()));
}

TEST(ofxXmlSettingsFiles, SaveReplacesOnlyRegularFilesTheirOwnerMayWrite) {
    // Owner rights that are kept are made readable; "" after: refused, folder untouched.
    const struct { const char *setup, *saved, *after; } cases[] = {
        {"", "real.xml", "real.xml -rw-r-----\n<A>2</A>\n"},
        {"echo old >real.xml; chmod 200 real.xml", "real.xml", "real.xml -rw-------\n<A>2</A>\n"},
        {"echo old >real.xml; chmod 444 real.xml", "real.xml", ""},
        {"touch real.xml; chmod 604 real.xml; ln -s real.xml s.xml", "s.xml",
         "real.xml -rw----r--\n<A>2</A>\ns.xml lrwxrwxrwx\n"},
        {"ln -s real.xml s.xml", "s.xml", ""},
        {"mkfifo real.xml; ln -s real.xml s.xml", "s.xml", ""},
    };
    ofxXmlSettings s;
    s.setValue("A", 2);
    for (const auto& [setup, saved, after] : cases) {
        ScratchFolder scratch("xmlsettings");
        commandOutput("cd " + scratch.path() + "; " + setup);
        std::string before = folderState(scratch.path());
        testing::internal::CaptureStdout();
        EXPECT_EQ(s.saveFile(scratch.file(saved)), *after != '\0') << setup;
        EXPECT_EQ(consoleLines(testing::internal::GetCapturedStdout()), *after ? 0 : 1) << setup;
        EXPECT_EQ(folderState(scratch.path()), *after ? after : before) << setup;
    }
}

TEST(ofxXmlSettingsFiles, SavesAreAllOrNothing) {
    ScratchFolder scratch("xmlsettings");
    std::string file = scratch.file("mySettings.xml");
    commandOutput("cd " + scratch.path() + " && echo old >mySettings.xml && echo keep | tee"
                  " mySettings.xml.tmp-12345 mySettings.xml.tmp-1234567 my.xml.tmp-123456");
    ofxXmlSettings s;
    s.Parse(gameFile.c_str());
    for (bool dies : {false, true}) {           // the disk fills, or the process dies leaving its temporary
        pid_t child = fork();
        if (child == 0) {
            signal(SIGXFSZ, dies ? SIG_DFL : SIG_IGN);
            struct rlimit none = {0, 0}, small = {64, 64};
            setrlimit(RLIMIT_CORE, &none);
            setrlimit(RLIMIT_FSIZE, &small);
            _exit(s.saveFile(file) ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_EQ(WIFSIGNALED(status) ? -1 : WEXITSTATUS(status), dies ? -1 : 1);
        EXPECT_EQ(readFile(file), "old\n");
        EXPECT_EQ(commandOutput("ls " + scratch.path() + " | wc -l"), dies ? "5\n" : "4\n");
    }
    ASSERT_TRUE(s.saveFile(file));              // which clears what the crash left, and only that
    EXPECT_EQ(folderState(scratch.path()), "my.xml.tmp-123456 -rw-r-----\nkeep\n"
                                           "mySettings.xml -rw-r-----\n" + gameFile +
                                           "mySettings.xml.tmp-12345 -rw-r-----\nkeep\n"
                                           "mySettings.xml.tmp-1234567 -rw-r-----\nkeep\n");
}
