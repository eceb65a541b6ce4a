#include "gameUnderX.h"

#include <gtest/gtest.h>

// After gtest, whose headers Xlib's macros (None, Bool) would break.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// ---- Waiting, files and xdotool -----------------------------------------------------

bool xdo(const std::string& args) {
    return std::system(("timeout 10 xdotool " + args + " >/dev/null").c_str()) == 0;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    return condition();
}

// ---- Pixels ---------------------------------------------------------------------------

bool isPureRed(Rgb c) {
    return c.r == 255 && c.g == 0 && c.b == 0;
}
bool isYellow(Rgb c) {
    return c.r == 255 && c.g == 255 && c.b == 0;
}
bool isBlack(Rgb c) {
    return c.r == 0 && c.g == 0 && c.b == 0;
}
bool isWhite(Rgb c) {
    return c.r == 255 && c.g == 255 && c.b == 255;
}

// ---- The X server ---------------------------------------------------------------------

// Open for the whole run: the X server resets, and refuses connections for a
// moment, whenever its last client leaves, which would otherwise happen between
// two xdotool calls just as the game connects. A window that has just closed
// only fails a read, it does not end the test.
static int ignoreXErrors(Display*, XErrorEvent*) {
    return 0;
}

static Display* openDisplay() {
    XSetErrorHandler(ignoreXErrors);
    return XOpenDisplay(nullptr);
}

Display* const display = openDisplay();

// The top-level window under the pointer once it is moved into the game
// window's area left of the menu entries, if it has the game window's size.
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

// Read from the root window: the game's window hangs over the screen's top-left
// edge, which a read of the window itself refuses.
Snapshot::Snapshot(unsigned long window, Box box) {
    Window root = DefaultRootWindow(display), child;
    int originX = 0, originY = 0;
    XTranslateCoordinates(display, window, root, 0, 0, &originX, &originY, &child);
    left = std::max(box.left + originX, 0);
    top = std::max(box.top + originY, 0);
    int right = std::min(box.right + originX, DisplayWidth(display, DefaultScreen(display)) - 1);
    int bottom = std::min(box.bottom + originY, DisplayHeight(display, DefaultScreen(display)) - 1);
    XImage* image = right < left || bottom < top ? nullptr
        : XGetImage(display, root, left, top, right - left + 1, bottom - top + 1, AllPlanes, ZPixmap);
    if (image == nullptr) {
        return;
    }
    width = image->width;
    height = image->height;
    pixels.reserve(width * height);
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            unsigned long pixel = XGetPixel(image, x, y);
            pixels.push_back({int((pixel >> 16) & 255), int((pixel >> 8) & 255), int(pixel & 255)});
        }
    }
    XDestroyImage(image);
    left -= originX;
    top -= originY;
}

int Snapshot::count(const ColourTest& test) const {
    return int(std::count_if(pixels.begin(), pixels.end(), test));
}

int Snapshot::leftmost(const ColourTest& test) const {
    int found = -1;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width && (found < 0 || left + x < found); x++) {
            if (test(pixels[y * width + x])) {
                found = left + x;
            }
        }
    }
    return found;
}

int countIn(unsigned long window, const ColourTest& test, Box box) {
    return Snapshot(window, box).count(test);
}

// Waits for what the move changes, so the next click lands on a drawn entry.
bool moveAndSee(unsigned long window, int x, int y, const ColourTest& test, Box box) {
    return xdo("mousemove --window " + std::to_string(window) + " " + std::to_string(x) + " " + std::to_string(y)) &&
           waitFor([&] { return countIn(window, test, box) > 30; });
}

bool clickAt(unsigned long window, int x, int y) {
    return xdo("mousemove --window " + std::to_string(window) + " " + std::to_string(x) + " " + std::to_string(y) +
               " click 1");
}

// ---- Places in the game's window ------------------------------------------------------

const Box titleBox{18, 0, 300, 150};
const Box practiceBox{350, 180, 639, 230};
const Box competeBox{350, 280, 639, 330};
const Box usernameLabelBox{300, 185, 420, 205};

void logIn(unsigned long window, const std::string& usernameKeys, const std::string& passwordKeys) {
    ASSERT_TRUE(moveAndSee(window, 300, 300, isBlack, competeBox)) << "Compete did not turn black";
    ASSERT_TRUE(xdo("click 1"));
    ASSERT_TRUE(moveAndSee(window, 300, 200, isPureRed, usernameLabelBox)) << "no login screen";
    ASSERT_TRUE(xdo("click 1 key " + usernameKeys));
    ASSERT_TRUE(moveAndSee(window, 300, 230, isPureRed, {300, 205, 420, 225}));
    ASSERT_TRUE(xdo("click 1 key " + passwordKeys));
    ASSERT_TRUE(moveAndSee(window, 300, 260, isPureRed, {550, 245, 639, 265}));
    ASSERT_TRUE(xdo("click 1"));
}

// ---- The game ---------------------------------------------------------------------------

Game::Game(const std::string& serverUrl, const Environment& environment) {
    mkdir((dir + "/data").c_str(), 0755);
    mkdir((dir + "/bin").c_str(), 0755);
    linkDataFiles();
    std::ofstream(dir + "/data/server.xml") << "<SERVER>\n    <URL>" << serverUrl
                                            << "</URL>\n    <SIGNUP>" << signupUrl << "</SIGNUP>\n</SERVER>\n";
    // Logs instead of opening a browser: a real one must never start.
    std::ofstream(dir + "/bin/xdg-open") << "#!/bin/sh\necho \"$@\" >> " << browserLog() << "\n";
    chmod((dir + "/bin/xdg-open").c_str(), 0755);

    pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(126);
        std::string path = dir + "/bin:" + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
        setenv("PATH", path.c_str(), 1);
        // Unset rather than empty: the game reads an empty value as a wrong one.
        for (const auto& variable : environment) {
            if (variable.second.empty()) {
                unsetenv(variable.first.c_str());
            } else {
                setenv(variable.first.c_str(), variable.second.c_str(), 1);
            }
        }
        FILE* out = std::freopen((dir + "/stdout").c_str(), "w", stdout);
        (void)out;
        execl(STOMPATHON_PATH, "stompathon", (char*)nullptr);
        _exit(127);
    }
}

Game::~Game() {
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    // A test that failed between a press and its release must not leave the
    // button held for the next one.
    xdo("mouseup 1");
}

std::string Game::console() const {
    return readFile(dir + "/stdout");
}

std::string Game::dataDir() const {
    return dir + "/data";
}

std::string Game::browserLog() const {
    return dir + "/browser";
}

bool Game::running() {
    return pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0;
}

bool Game::waitForExit(int* status) {
    return waitFor([&] { return waitpid(pid, status, WNOHANG) == pid; }) && (pid = -1) == -1;
}

// Links, not copies, of the repository's data/, less the two files a test must
// own: server.xml, written above, and mySettings.xml, which the game writes and
// which must start out missing and never lead back into the repository.
void Game::linkDataFiles() {
    DIR* data = opendir(DATA_DIR);
    for (dirent* entry = data ? readdir(data) : nullptr; entry != nullptr; entry = readdir(data)) {
        std::string name = entry->d_name;
        if (name != "." && name != ".." && name != "server.xml" && name != "mySettings.xml") {
            symlink((std::string(DATA_DIR) + "/" + name).c_str(), (dir + "/data/" + name).c_str());
        }
    }
    if (data != nullptr) closedir(data);
}
