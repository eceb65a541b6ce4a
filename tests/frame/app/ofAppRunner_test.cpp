// The frame runner end to end: runner_probe opens a real window, xdotool feeds
// it pointer and keyboard input through the X server, and the probe's console
// shows what reached the application. Needs an X display (Xvfb) and xdotool.
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

// Status 0 after one teardown: exit, then the destructor, and no frame drawn after them.
void expectCleanExit(Probe& probe) {
    int status = -1;
    ASSERT_TRUE(probe.program.waitForExit(&status)) << "still running 5 s later";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
    Lines ending = probe.lines({"exit", "destructor", "draw"});
    EXPECT_EQ(Lines(std::find(ending.begin(), ending.end(), "exit"), ending.end()), (Lines{"exit", "destructor"}));
}

// Frames per second from the second draw on, over about a second, and the
// smoothed rate the last draw was told.
std::pair<float, float> frameRates(const Program::Environment& environment) {
    Probe probe(environment);
    EXPECT_TRUE(probe.printed("draw frame=2"));
    usleep(1000000);
    Lines times = probe.lines({"time"});
    float from = 0, to = 0, told = 0;
    std::sscanf(times.at(1).c_str(), "time %f", &from);
    std::sscanf(times.back().c_str(), "time %f fps %f", &to, &told);
    return {(times.size() - 2) / (to - from), told};
}

}  // namespace

TEST(ofAppRunner, MouseWaitsForTheFirstFrameAndDragsReportTheLastButton) {
    Probe probe(Program::Environment{{"PROBE_HOLD", "1"}});
    unsigned long window = programWindow();
    auto moveTo = [&](int x, int y) { return " " + moveArgs(window, x, y) + " "; };
    // Queued while setup holds the main loop back: a hover, a left click, the right
    // button going down and staying down, a drag, and a key.
    ASSERT_TRUE(xdo(moveTo(200, 150) + "click 1 mousedown 3" + moveTo(210, 160) + "key a"));
    usleep(100000);
    std::fclose(std::fopen(probe.folder.file("go").c_str(), "w"));
    ASSERT_TRUE(probe.printed("draw frame=1"));
    EXPECT_EQ(probe.lines({"setup", "key", "draw frame=0", "pressed", "released", "dragged", "moved"}),
              (Lines{"setup frame=0", "keyPressed 97", "keyReleased 97", "draw frame=0"}));

    // The right button is still down, its press dropped: the drag reports the button
    // the runner started with. Then a hover, a right click, the wheel, a left drag,
    // the right held while the left goes up and the other way round, a middle drag.
    ASSERT_TRUE(xdo(moveTo(220, 170) + "mouseup 3" + moveTo(100, 100) + "click 3 click 4 click 5 mousedown 1" +
                    moveTo(110, 105) + "mousedown 3 mouseup 1" + moveTo(120, 110) +
                    "mouseup 3 mousedown 1 mousedown 3 mouseup 3" + moveTo(130, 115) + "mouseup 1 mousedown 2" +
                    moveTo(140, 120) + "mouseup 2" + moveTo(600, 400)));
    ASSERT_TRUE(probe.printed("moved 600 400 mouse=600,400"));
    EXPECT_EQ(probe.lines({"pressed", "released", "dragged", "moved"}),
              (Lines{"dragged 220 170 0 mouse=220,170", "released mouse=220,170", "moved 100 100 mouse=100,100",
                     "pressed 100 100 2 mouse=100,100", "released mouse=100,100", "pressed 100 100 0 mouse=100,100",
                     "dragged 110 105 0 mouse=110,105", "pressed 110 105 2 mouse=110,105", "released mouse=110,105",
                     "dragged 120 110 0 mouse=120,110", "released mouse=120,110", "pressed 120 110 0 mouse=120,110",
                     "pressed 120 110 2 mouse=120,110", "released mouse=120,110", "dragged 130 115 2 mouse=130,115",
                     "released mouse=130,115", "pressed 130 115 1 mouse=130,115", "dragged 140 120 1 mouse=140,120",
                     "released mouse=140,120", "moved 600 400 mouse=600,400"}));
}

TEST(ofAppRunner, KeysArriveAsTheirCodesAndEscapeEndsTheProgram) {
    Probe probe;
    ASSERT_TRUE(probe.printed("draw frame=1"));
    // Keyboard focus follows the pointer when no window manager runs.
    ASSERT_TRUE(xdo(moveArgs(programWindow(), 320, 240) + " key Left key a key Escape"));
    expectCleanExit(probe);
    EXPECT_EQ(probe.lines({"key", "exit"}), (Lines{"keyPressed 356", "keyReleased 356", "keyPressed 97",
                                                   "keyReleased 97", "keyPressed 27", "exit"}));
}

TEST(ofAppRunner, ClosingTheWindowEndsTheProgramTheSameWay) {
    Probe probe;
    ASSERT_TRUE(probe.printed("draw frame=1"));
    ASSERT_TRUE(closeWindow(programWindow()));
    expectCleanExit(probe);
    EXPECT_EQ(probe.lines({"key"}), Lines{});
}

TEST(ofAppRunner, FrameRateIsMeasuredAndLimited) {
    float freeRate = frameRates({}).first;
    EXPECT_GT(freeRate, 30.0f) << "a limit of 10 shows only where frames would come faster";
    auto [limitedRate, limitedTold] = frameRates({{"PROBE_FPS", "10"}});
    EXPECT_TRUE(limitedRate > 8 && limitedRate <= 11) << limitedRate;
    EXPECT_TRUE(limitedTold > 0 && limitedTold <= 11) << limitedTold;
}

TEST(ofAppRunner, FirstThreeFramesAreClearedEvenWithoutAutomaticBackground) {
    Probe probe(Program::Environment{{"PROBE_NO_AUTO_BACKGROUND", "1"}});
    ASSERT_TRUE(probe.printed("draw frame=4"));
    // Every draw paints red where the next one looks: the runner's grey start
    // background is there in the first three frames, and only there.
    Lines found = probe.lines({"found"});
    found.resize(4);
    EXPECT_EQ(found, (Lines{"found 200 200 200", "found 200 200 200", "found 200 200 200", "found 255 0 0"}));
}
