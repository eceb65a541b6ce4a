// xdotool feeds runner_probe's real window through the X server; its console shows what reached it.
#include "xDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Lines = std::vector<std::string>;

struct Probe {
    explicit Probe(const Program::Environment& environment = {})
        : program(RUNNER_PROBE_PATH, folder.path(), environment) {}

    // The console lines that start with one of the words, in order.
    Lines lines(const Lines& words) const {
        Lines kept;
        std::istringstream console(program.console());
        for (std::string line; std::getline(console, line);) {
            auto startsLine = [&](const std::string& word) { return line.rfind(word, 0) == 0; };
            if (std::any_of(words.begin(), words.end(), startsLine)) {
                kept.push_back(line);
            }
        }
        return kept;
    }

    bool printed(const std::string& line) const {
        return waitFor([&] { return program.console().find(line + "\n") != std::string::npos; });
    }

    ScratchFolder folder{"runner_probe"};
    Program program;
};

// Status 0 after one teardown: exit, then the destructor.
void expectCleanExit(Probe& probe) {
    int status = -1;
    ASSERT_TRUE(probe.program.waitForExit(&status)) << "still running 5 s later";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
    EXPECT_EQ(probe.lines({"exit", "destructor"}), (Lines{"exit", "destructor"}));
}

}  // namespace

TEST(ofAppRunner, InputWaitsForTheFirstFrameDragsReportTheLastButtonAndEscapeEndsTheProgram) {
    Probe probe(Program::Environment{{"PROBE_HOLD", "1"}});
    auto moveTo = [window = programWindow()](int x, int y) { return " " + moveArgs(window, x, y) + " "; };
    // Queued while setup holds the main loop back: a hover, a left click, the right
    // button going down and staying down, a drag, and two keys. Keyboard focus follows the pointer.
    ASSERT_TRUE(xdo(moveTo(200, 150) + "click 1 mousedown 3" + moveTo(210, 160) + "key Left key a"));
    usleep(100000);
    std::fclose(std::fopen(probe.folder.file("go").c_str(), "w"));
    ASSERT_TRUE(probe.printed("draw frame=1"));
    EXPECT_EQ(probe.lines({"setup", "key", "draw frame=0", "pressed", "released", "dragged", "moved"}),
              (Lines{"setup frame=0", "keyPressed 356", "keyReleased 356", "keyPressed 97", "keyReleased 97",
                     "draw frame=0"}));

    // The right button is still down, its press dropped: the drag reports the button the runner
    // started with. Then a hover, a right click, the wheel and a middle drag.
    ASSERT_TRUE(xdo(moveTo(220, 170) + "mouseup 3" + moveTo(100, 100) + "click 3 click 4 click 5 mousedown 2" +
                    moveTo(140, 120) + "mouseup 2" + moveTo(600, 400)));
    ASSERT_TRUE(probe.printed("moved 600 400 mouse=600,400"));
    EXPECT_EQ(probe.lines({"pressed", "released", "dragged", "moved"}),
              (Lines{"dragged 220 170 0", "released mouse=220,170", "moved 100 100 mouse=100,100", "pressed 100 100 2",
                     "released mouse=100,100", "pressed 100 100 1", "dragged 140 120 1", "released mouse=140,120",
                     "moved 600 400 mouse=600,400"}));
    ASSERT_TRUE(xdo("key Escape"));
    expectCleanExit(probe);
}

// Every draw paints red where the next one looks: the runner's grey start background is there in
// the first three frames, and only there. The rate counts from the second draw on, over about a second.
TEST(ofAppRunner, FirstThreeFramesAreClearedTheRateIsLimitedAndClosingTheWindowEndsTheProgram) {
    Probe probe(Program::Environment{{"PROBE_NO_AUTO_BACKGROUND", "1"}, {"PROBE_FPS", "10"}});
    ASSERT_TRUE(probe.printed("draw frame=2"));
    usleep(1000000);
    Lines found = probe.lines({"found"});
    found.resize(4);
    EXPECT_EQ(found, (Lines{"found 200 200 200", "found 200 200 200", "found 200 200 200", "found 255 0 0"}));
    Lines times = probe.lines({"time"});
    float from = std::stof(times.at(1).substr(5));
    float to = std::stof(times.back().substr(5));
    EXPECT_NEAR((times.size() - 2) / (to - from), 10, 2);
    ASSERT_TRUE(closeWindow(programWindow()));
    expectCleanExit(probe);
}
