// The frame runner end to end: runner_probe opens a real window, xdotool feeds
// it pointer and keyboard input through the X server, and the probe's log shows
// what reached the application. Needs an X display (Xvfb) and xdotool.
#include <gtest/gtest.h>

#include "scratchFolder.h"

#include <X11/Xlib.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Lines = std::vector<std::string>;

bool startsWith(const std::string& line, const std::string& prefix) {
    return line.compare(0, prefix.size(), prefix) == 0;
}

// Index of the first line starting with prefix, or -1.
int indexOf(const Lines& lines, const std::string& prefix) {
    for (size_t i = 0; i < lines.size(); i++) {
        if (startsWith(lines[i], prefix)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int countOf(const Lines& lines, const std::string& prefix) {
    int n = 0;
    for (const std::string& line : lines) {
        n += startsWith(line, prefix) ? 1 : 0;
    }
    return n;
}

// The lines that start with any of the prefixes, in log order.
Lines only(const Lines& lines, const std::vector<std::string>& prefixes) {
    Lines kept;
    for (const std::string& line : lines) {
        for (const std::string& prefix : prefixes) {
            if (startsWith(line, prefix)) {
                kept.push_back(line);
                break;
            }
        }
    }
    return kept;
}

const std::vector<std::string> kButtonEvents = {"pressed", "released", "dragged"};

// One "draw frame=N t=T fps=F" line.
struct Draw {
    int frame = -1;
    float t = 0;
    float fps = 0;
};

std::vector<Draw> drawsOf(const Lines& lines) {
    std::vector<Draw> draws;
    for (const std::string& line : lines) {
        Draw d;
        if (std::sscanf(line.c_str(), "draw frame=%d t=%f fps=%f", &d.frame, &d.t, &d.fps) == 3) {
            draws.push_back(d);
        }
    }
    return draws;
}

// xdotool is bounded by timeout(1) so a stuck X server fails the test instead of hanging it.
bool xdo(const std::string& args) {
    std::string command = "timeout 10 xdotool " + args + " >/dev/null";
    return std::system(command.c_str()) == 0;
}

// Closes the window the way a window manager does: a WM_DELETE_WINDOW message.
bool sendDeleteWindow(unsigned long window) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return false;
    }
    XEvent event;
    std::memset(&event, 0, sizeof(event));
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return sent != 0;
}

// A running runner_probe with its own log file and window title. The destructor
// kills it if it is still alive and lets go of any mouse button left probe.
class Probe {
public:
    // holdInSetup: setup waits for go() (at most 5 s) before the main loop starts.
    explicit Probe(const std::vector<std::string>& extraEnv = {}, bool holdInSetup = false) {
        static int serial = 0;
        title = "runner-probe-" + std::to_string(getpid()) + "-" + std::to_string(++serial);

        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; e++) {
            if (!startsWith(*e, "PROBE_")) {
                env.push_back(*e);
            }
        }
        env.push_back("PROBE_LOG=" + logPath());
        env.push_back("PROBE_TITLE=" + title);
        if (holdInSetup) {
            env.push_back("PROBE_GO=" + goPath());
        }
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        std::vector<char*> envp;
        for (std::string& entry : env) {
            envp.push_back(&entry[0]);
        }
        envp.push_back(nullptr);
        char path[] = RUNNER_PROBE_PATH;
        char* argv[] = {path, nullptr};
        if (posix_spawn(&pid, path, nullptr, nullptr, argv, envp.data()) != 0) {
            pid = -1;
        }
    }

    ~Probe() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        xdo("mouseup 1 mouseup 2 mouseup 3");
    }

    bool started() const { return pid > 0; }
    std::string logPath() const { return dir + "/log"; }
    std::string goPath() const { return dir + "/go"; }

    Lines lines() const {
        Lines all;
        std::ifstream in(logPath());
        for (std::string line; std::getline(in, line);) {
            all.push_back(line);
        }
        return all;
    }

    // Polls the log until the condition holds; false after timeoutMs.
    bool waitUntil(const std::function<bool(const Lines&)>& condition, int timeoutMs = 5000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            if (condition(lines())) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return condition(lines());
    }

    bool waitForLine(const std::string& prefix, int count = 1) {
        return waitUntil([&](const Lines& all) { return countOf(all, prefix) >= count; });
    }

    // The frames are running once the second frame is being drawn.
    bool waitForFrames() { return waitForLine("draw frame=1 "); }

    // The X window id, found by the unique title; 0 when not found within 5 s.
    unsigned long window() {
        std::string command = "timeout 2 xdotool search --name '^" + title + "$' 2>/dev/null";
        for (int attempt = 0; attempt < 50; attempt++) {
            unsigned long id = 0;
            if (FILE* out = popen(command.c_str(), "r")) {
                if (std::fscanf(out, "%lu", &id) != 1) {
                    id = 0;
                }
                pclose(out);
            }
            if (id != 0) {
                return id;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return 0;
    }

    // Lets a probe held in setup go on.
    void go() { std::ofstream(goPath()).put('\n'); }

    // True and the wait status once the process has ended, false after timeoutMs.
    bool waitForExit(int* status, int timeoutMs = 5000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            if (waitpid(pid, status, WNOHANG) == pid) {
                pid = -1;
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    std::string title;

private:
    pid_t pid = -1;
    ScratchFolder scratch{"runner_probe"};
    std::string dir = scratch.path();
};

// "mousemove --window W x y": window coordinates, translated by the X server.
std::string moveTo(unsigned long window, int x, int y) {
    return "mousemove --window " + std::to_string(window) + " " + std::to_string(x) + " " + std::to_string(y);
}

// Waits until the probe's frames are running and finds its window; 0 when either fails.
unsigned long runningWindow(Probe& probe) {
    if (!probe.started() || !probe.waitForFrames()) {
        ADD_FAILURE() << "the probe drew no second frame within 5 s";
        return 0;
    }
    unsigned long window = probe.window();
    if (window == 0) {
        ADD_FAILURE() << "no window titled " << probe.title;
    }
    return window;
}

}  // namespace

TEST(ofAppRunner, MouseBeforeTheFirstFrameIsDroppedWhileKeysArrive) {
    Probe probe({}, true);
    ASSERT_TRUE(probe.started());
    ASSERT_TRUE(probe.waitForLine("setup")) << "setup not reached within 5 s";
    unsigned long window = probe.window();
    ASSERT_NE(window, 0ul);

    // Queued while setup holds the main loop back: a hover, a left click, the right
    // button going down and staying down, a drag, and a key.
    ASSERT_TRUE(xdo(moveTo(window, 200, 150) + " click 1 mousedown 3 " + moveTo(window, 210, 160) + " key a"));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    probe.go();
    ASSERT_TRUE(probe.waitForFrames());

    Lines lines = probe.lines();
    EXPECT_EQ(lines.front(), "setup frame=0");
    std::vector<Draw> draws = drawsOf(lines);
    ASSERT_GE(draws.size(), 2u);
    EXPECT_EQ(draws[0].frame, 0);
    EXPECT_EQ(draws[1].frame, 1);
    // The key was queued after the click; arriving before the first frame shows
    // that the click was handled before it too.
    int keyAt = indexOf(lines, "keyPressed 97");
    ASSERT_NE(keyAt, -1);
    EXPECT_LT(keyAt, indexOf(lines, "draw "));
    EXPECT_NE(indexOf(lines, "keyReleased 97"), -1);
    EXPECT_EQ(only(lines, {"pressed", "released", "dragged", "moved"}), Lines{});

    // The right button is still down. Its press was dropped, so the drag reports
    // the button number the runner started with.
    ASSERT_TRUE(xdo(moveTo(window, 220, 170) + " mouseup 3"));
    ASSERT_TRUE(probe.waitForLine("released"));
    EXPECT_EQ(only(probe.lines(), kButtonEvents), (Lines{"dragged 220 170 0 mouse=220,170", "released mouse=220,170"}));
}

TEST(ofAppRunner, DragReportsTheButtonOfTheLastPressOrRelease) {
    Probe probe;
    unsigned long window = runningWindow(probe);
    ASSERT_NE(window, 0ul);
    std::string sequence =
        moveTo(window, 100, 100) + " click 3" +                          // right press and release
        " mousedown 1 " + moveTo(window, 110, 105) +                     // left drag
        " mousedown 3 mouseup 1 " + moveTo(window, 120, 110) +           // right held, left released last
        " mouseup 3 mousedown 1 mousedown 3 mouseup 3 " + moveTo(window, 130, 115) +  // left held, right released last
        " mouseup 1 mousedown 2 " + moveTo(window, 140, 120) + " mouseup 2";         // middle drag
    ASSERT_TRUE(xdo(sequence));
    ASSERT_TRUE(probe.waitForLine("released", 6));
    Lines expected = {
        "pressed 100 100 2 mouse=100,100",
        "released mouse=100,100",
        "pressed 100 100 0 mouse=100,100",
        "dragged 110 105 0 mouse=110,105",
        "pressed 110 105 2 mouse=110,105",
        "released mouse=110,105",
        "dragged 120 110 0 mouse=120,110",
        "released mouse=120,110",
        "pressed 120 110 0 mouse=120,110",
        "pressed 120 110 2 mouse=120,110",
        "released mouse=120,110",
        "dragged 130 115 2 mouse=130,115",
        "released mouse=130,115",
        "pressed 130 115 1 mouse=130,115",
        "dragged 140 120 1 mouse=140,120",
        "released mouse=140,120",
    };
    EXPECT_EQ(only(probe.lines(), kButtonEvents), expected);
}

TEST(ofAppRunner, WheelIsNoClick) {
    Probe probe;
    unsigned long window = runningWindow(probe);
    ASSERT_NE(window, 0ul);
    ASSERT_TRUE(xdo(moveTo(window, 100, 100) + " click 4 click 5 click 1"));
    ASSERT_TRUE(probe.waitForLine("released"));
    EXPECT_EQ(only(probe.lines(), kButtonEvents), (Lines{"pressed 100 100 0 mouse=100,100", "released mouse=100,100"}));
}

TEST(ofAppRunner, HoverArrivesInWindowCoordinatesFromTheTopLeft) {
    Probe probe;
    unsigned long window = runningWindow(probe);
    ASSERT_NE(window, 0ul);
    ASSERT_TRUE(xdo(moveTo(window, 30, 40) + " " + moveTo(window, 600, 400)));
    ASSERT_TRUE(probe.waitForLine("moved 600 400"));
    EXPECT_EQ(only(probe.lines(), {"moved"}), (Lines{"moved 30 40 mouse=30,40", "moved 600 400 mouse=600,400"}));
}

TEST(ofAppRunner, ArrowAndCharacterKeysArriveAsTheirCodes) {
    Probe probe;
    unsigned long window = runningWindow(probe);
    ASSERT_NE(window, 0ul);
    // Keyboard focus follows the pointer when no window manager runs.
    ASSERT_TRUE(xdo(moveTo(window, 320, 240) + " key Left key a"));
    ASSERT_TRUE(probe.waitForLine("keyReleased 97"));
    EXPECT_EQ(only(probe.lines(), {"key"}),
              (Lines{"keyPressed 356", "keyReleased 356", "keyPressed 97", "keyReleased 97"}));
}

// Both ways out run the teardown once and end the process with status 0.
void expectCleanExit(Probe& probe) {
    int status = -1;
    ASSERT_TRUE(probe.waitForExit(&status)) << "still running 5 s later";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
    Lines lines = probe.lines();
    EXPECT_EQ(countOf(lines, "exit"), 1);
    EXPECT_EQ(countOf(lines, "destructor"), 1);
    int exitAt = indexOf(lines, "exit");
    EXPECT_LT(exitAt, indexOf(lines, "destructor"));
    EXPECT_EQ(countOf(Lines(lines.begin() + std::max(exitAt, 0), lines.end()), "draw"), 0);
}

TEST(ofAppRunner, EscapeIsPassedOnThenEndsTheProgram) {
    Probe probe;
    unsigned long window = runningWindow(probe);
    ASSERT_NE(window, 0ul);
    ASSERT_TRUE(xdo(moveTo(window, 330, 250) + " key Escape"));
    expectCleanExit(probe);
    Lines lines = probe.lines();
    EXPECT_EQ(countOf(lines, "keyPressed 27"), 1);
    EXPECT_LT(indexOf(lines, "keyPressed 27"), indexOf(lines, "exit"));
}

TEST(ofAppRunner, ClosingTheWindowEndsTheProgram) {
    Probe probe;
    unsigned long window = runningWindow(probe);
    ASSERT_NE(window, 0ul);
    ASSERT_TRUE(sendDeleteWindow(window));
    expectCleanExit(probe);
    EXPECT_EQ(countOf(probe.lines(), "key"), 0);
}

TEST(ofAppRunner, FrameRateIsMeasuredAndLimited) {
    // Free running: the smoothed rate is positive once a sample has been taken
    // (one every 0.05 s).
    float freeRate = 0;
    {
        Probe probe;
        ASSERT_TRUE(probe.waitUntil([](const Lines& lines) {
            std::vector<Draw> draws = drawsOf(lines);
            return draws.size() > 30 && draws.back().t > draws.front().t + 0.3f;
        }));
        std::vector<Draw> draws = drawsOf(probe.lines());
        EXPECT_GT(draws.back().fps, 0.0f);
        freeRate = (draws.size() - 1) / (draws.back().t - draws.front().t);
    }
    // The 10 fps limit is only meaningful if frames would otherwise come faster.
    EXPECT_GT(freeRate, 30.0f);

    Probe probe({"PROBE_FPS=10"});
    ASSERT_TRUE(probe.waitUntil([](const Lines& lines) {
        std::vector<Draw> draws = drawsOf(lines);
        return !draws.empty() && draws.back().t > draws.front().t + 1.0f;
    }));
    std::vector<Draw> draws = drawsOf(probe.lines());
    ASSERT_GE(draws.size(), 3u);
    float limitedRate = (draws.size() - 2) / (draws.back().t - draws[1].t);
    EXPECT_LE(limitedRate, 11.0f);
    EXPECT_GT(draws.back().fps, 0.0f);
    EXPECT_LE(draws.back().fps, 11.0f);
}

TEST(ofAppRunner, FirstThreeFramesAreClearedEvenWithoutAutomaticBackground) {
    Probe probe({"PROBE_NO_AUTO_BACKGROUND=1"});
    ASSERT_TRUE(probe.waitForLine("found", 3));
    // Every draw paints red where the next one looks; the runner's grey start
    // background must still be there in the first three frames.
    Lines found = only(probe.lines(), {"found"});
    ASSERT_GE(found.size(), 3u);
    for (int frame = 0; frame < 3; frame++) {
        EXPECT_EQ(found[frame], "found 200 200 200") << "frame " << frame;
    }
}
