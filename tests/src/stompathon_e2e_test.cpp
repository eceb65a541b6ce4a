// The real game end to end: stompathon runs in a scratch directory whose data/
// links to the game's files and adds a server.xml naming the stand-in score
// server, with a stand-in xdg-open first on PATH. xdotool drives the pointer and
// keyboard; the window's pixels are read back from the X server.
#include "scoreServerStub.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

struct Box {
    int left, top, right, bottom;
};

bool xdo(const std::string& args) {
    return std::system(("timeout 10 xdotool " + args + " >/dev/null").c_str()) == 0;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

// The test's own connection, open for the whole run: the X server resets, and
// refuses connections for a moment, whenever its last client leaves, which
// would otherwise happen between two xdotool calls just as the game connects.
// A window that has just closed only fails a read, it does not end the test.
int ignoreXErrors(Display*, XErrorEvent*) {
    return 0;
}

Display* openDisplay() {
    XSetErrorHandler(ignoreXErrors);
    return XOpenDisplay(nullptr);
}

Display* const display = openDisplay();

// The top-level 640 by 480 window under the pointer once it is moved into the
// game window's area left of the menu entries; 0 when there is none.
unsigned long gameWindow() {
    if (!xdo("mousemove 100 240")) {
        return 0;
    }
    Window root, child = 0;
    int rootX, rootY, x, y;
    unsigned int mask;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &x, &y, &mask);
    XWindowAttributes attributes;
    if (child != 0 && (!XGetWindowAttributes(display, child, &attributes) || attributes.width != 640 ||
                       attributes.height != 480)) {
        child = 0;
    }
    return child;
}

// Pixels of exactly this colour inside the box of the window, read from the
// screen (the window may hang over its edge, which a read of the window refuses).
int countIn(unsigned long window, Rgb colour, Box box) {
    Window root = DefaultRootWindow(display), child;
    int originX = 0, originY = 0;
    XTranslateCoordinates(display, window, root, 0, 0, &originX, &originY, &child);
    int left = std::max(box.left + originX, 0);
    int top = std::max(box.top + originY, 0);
    int right = std::min(box.right + originX, DisplayWidth(display, DefaultScreen(display)) - 1);
    int bottom = std::min(box.bottom + originY, DisplayHeight(display, DefaultScreen(display)) - 1);
    XImage* image = right < left || bottom < top ? nullptr
        : XGetImage(display, root, left, top, right - left + 1, bottom - top + 1, AllPlanes, ZPixmap);
    int n = 0;
    for (int y = 0; image != nullptr && y < image->height; y++) {
        for (int x = 0; x < image->width; x++) {
            unsigned long pixel = XGetPixel(image, x, y);
            Rgb found{int((pixel >> 16) & 255), int((pixel >> 8) & 255), int(pixel & 255)};
            n += found == colour ? 1 : 0;
        }
    }
    if (image != nullptr) {
        XDestroyImage(image);
    }
    return n;
}

// The game in a scratch directory; killed by the destructor if still running.
class Game {
public:
    explicit Game(const std::string& serverUrl) {
        char dirTemplate[] = "/tmp/stompathon_e2e_XXXXXX";
        dir = mkdtemp(dirTemplate);
        mkdir((dir + "/data").c_str(), 0755);
        mkdir((dir + "/bin").c_str(), 0755);
        linkDataFiles();
        std::ofstream(dir + "/data/server.xml") << "<SERVER>\n    <URL>" << serverUrl
                                                << "</URL>\n    <SIGNUP>" << signupUrl << "</SIGNUP>\n</SERVER>\n";
        std::ofstream(dir + "/bin/xdg-open") << "#!/bin/sh\necho \"$@\" >> " << browserLog() << "\n";
        chmod((dir + "/bin/xdg-open").c_str(), 0755);

        pid = fork();
        if (pid == 0) {
            if (chdir(dir.c_str()) != 0) _exit(126);
            std::string path = dir + "/bin:" + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
            setenv("PATH", path.c_str(), 1);
            FILE* out = std::freopen((dir + "/stdout").c_str(), "w", stdout);
            (void)out;
            execl(STOMPATHON_PATH, "stompathon", (char*)nullptr);
            _exit(127);
        }
    }

    ~Game() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        xdo("mouseup 1");
        std::system(("rm -rf '" + dir + "'").c_str());
    }

    std::string browserLog() const { return dir + "/browser"; }
    std::string console() const { return readFile(dir + "/stdout"); }

    bool waitForExit(int* status) {
        return waitFor([&] { return waitpid(pid, status, WNOHANG) == pid; }) && (pid = -1) == -1;
    }

    const std::string signupUrl = "http://signup.example.test:8123/join";

private:
    void linkDataFiles() {
        DIR* data = opendir(DATA_DIR);
        for (dirent* entry = data ? readdir(data) : nullptr; entry != nullptr; entry = readdir(data)) {
            std::string name = entry->d_name;
            if (name != "." && name != ".." && name != "server.xml") {
                symlink((std::string(DATA_DIR) + "/" + name).c_str(), (dir + "/data/" + name).c_str());
            }
        }
        if (data != nullptr) closedir(data);
    }

    std::string dir;
    pid_t pid = -1;
};

const Rgb black{0, 0, 0};
const Rgb white{255, 255, 255};
const Rgb red{255, 0, 0};
const Rgb yellow{255, 255, 0};
const Box titleBox{18, 0, 300, 150};
const Box competeBox{350, 280, 639, 330};
const Box usernameLabelBox{300, 185, 420, 205};

// The game's window once its menu is drawn: the yellow title and, further down
// (a frame may reach the screen in strips), "Compete" in white; 0 after 10 s.
unsigned long menuWindow() {
    unsigned long window = 0;
    waitFor([&] {
        return (window = gameWindow()) != 0 && countIn(window, yellow, titleBox) > 100 &&
               countIn(window, white, competeBox) > 30;
    }, 10000);
    return window;
}

// Moves the pointer and waits until the window shows what the move should change.
bool moveAndSee(unsigned long window, int x, int y, Rgb colour, Box box) {
    return xdo("mousemove --window " + std::to_string(window) + " " + std::to_string(x) + " " + std::to_string(y)) &&
           waitFor([&] { return countIn(window, colour, box) > 30; });
}

}  // namespace

TEST(stompathon, MenusLoginAndSignUpAgainstTheScoreServer) {
    ASSERT_NE(display, nullptr);
    ScoreServerStub server;
    ASSERT_TRUE(server.running());
    Game game(server.base("ok"));

    unsigned long window = menuWindow();
    ASSERT_NE(window, 0ul) << "no menu drawn";
    EXPECT_EQ(countIn(window, black, competeBox), 0);
    ASSERT_TRUE(moveAndSee(window, 300, 300, black, competeBox)) << "Compete did not turn black";

    ASSERT_TRUE(xdo("click 1"));
    ASSERT_TRUE(moveAndSee(window, 300, 200, red, usernameLabelBox)) << "no login screen";
    ASSERT_TRUE(xdo("click 1 key a n n"));
    ASSERT_TRUE(moveAndSee(window, 300, 230, red, {300, 205, 420, 225}));
    ASSERT_TRUE(xdo("click 1 key p slash space Left Delete x"));
    ASSERT_TRUE(moveAndSee(window, 300, 260, red, {550, 245, 639, 265}));
    ASSERT_TRUE(xdo("click 1"));
    ASSERT_TRUE(waitFor([&] { return !server.requests().empty(); }));
    EXPECT_EQ(server.requests(), std::vector<std::string>{"/ok/report.php?action=auth&username=ann&password=p%2F%20x"});
    // The answer, then the running game announcing a competition run.
    ASSERT_TRUE(waitFor([&] { return game.console().find("1\n1\n") != std::string::npos; })) << game.console();

    // Back from the running game, into the login screen again, and the sign-up line.
    ASSERT_TRUE(xdo("mousemove --window " + std::to_string(window) + " 500 450 click 1"));
    ASSERT_TRUE(moveAndSee(window, 300, 300, black, competeBox));
    ASSERT_TRUE(xdo("click 1"));
    ASSERT_TRUE(moveAndSee(window, 300, 350, red, {250, 300, 639, 330}));
    ASSERT_TRUE(xdo("click 1"));
    ASSERT_TRUE(waitFor([&] { return !readFile(game.browserLog()).empty(); }));
    EXPECT_EQ(readFile(game.browserLog()), game.signupUrl + "\n");
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST(stompathon, ExitEntryEndsWithStatusZero) {
    ASSERT_NE(display, nullptr);
    Game game(ScoreServerStub::refusedBase());
    unsigned long window = menuWindow();
    ASSERT_NE(window, 0ul) << "no menu drawn";
    ASSERT_TRUE(xdo("mousemove --window " + std::to_string(window) + " 300 400 click 3"));
    int status = -1;
    ASSERT_TRUE(game.waitForExit(&status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
}
