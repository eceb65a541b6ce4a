#include "xDriver.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// ---- The X connection ------------------------------------------------------------

// One connection for the whole run: a window that has just closed only fails a
// read, it does not end the test.
static int ignoreXErrors(Display*, XErrorEvent*) {
    return 0;
}

static Display* display() {
    static Display* connection = [] {
        XSetErrorHandler(ignoreXErrors);
        return XOpenDisplay(nullptr);
    }();
    return connection;
}

// ---- Waiting and files -----------------------------------------------------------

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

size_t occurrences(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        n++;
    }
    return n;
}

// ---- Pointer and keyboard --------------------------------------------------------

bool xdo(const std::string& args) {
    return std::system(("timeout 10 xdotool " + args + " >/dev/null 2>&1").c_str()) == 0;
}

std::string moveArgs(unsigned long window, int x, int y) {
    return "mousemove --window " + std::to_string(window) + " " + std::to_string(x) + " " + std::to_string(y);
}

bool clickAt(unsigned long window, int x, int y, int button) {
    return xdo(moveArgs(window, x, y) + " click " + std::to_string(button));
}

// ---- Windows and pixels ----------------------------------------------------------

// With no window manager the program's window is a direct child of the root.
static unsigned long mappedWindowOfGameSize() {
    Window root = DefaultRootWindow(display()), parent, *children = nullptr;
    unsigned int count = 0;
    unsigned long found = 0;
    if (!XQueryTree(display(), root, &root, &parent, &children, &count)) {
        return 0;
    }
    for (unsigned int i = 0; i < count; i++) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display(), children[i], &attributes) && attributes.map_state == IsViewable &&
            attributes.width == 640 && attributes.height == 480) {
            found = children[i];
        }
    }
    XFree(children);
    return found;
}

unsigned long programWindow(int timeoutMs) {
    unsigned long window = 0;
    if (display() != nullptr) {
        waitFor([&] { return (window = mappedWindowOfGameSize()) != 0; }, timeoutMs);
    }
    return window;
}

bool closeWindow(unsigned long window) {
    XEvent event;
    std::memset(&event, 0, sizeof(event));
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display(), "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display(), "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    Status sent = XSendEvent(display(), window, False, NoEventMask, &event);
    XSync(display(), False);
    return sent != 0;
}

ColourTest exactly(Rgb colour) {
    return [colour](Rgb c) { return c == colour; };
}

// Read from the root window: the window may hang over the screen's edge, which a
// read of the window itself refuses.
Snapshot::Snapshot(unsigned long window, PixelBox box) {
    Display* x = display();
    if (x == nullptr) {
        return;
    }
    Window root = DefaultRootWindow(x), child;
    int originX = 0, originY = 0;
    XTranslateCoordinates(x, window, root, 0, 0, &originX, &originY, &child);
    left = std::max(box.left + originX, 0);
    top = std::max(box.top + originY, 0);
    int right = std::min(box.right + originX, DisplayWidth(x, DefaultScreen(x)) - 1);
    int bottom = std::min(box.bottom + originY, DisplayHeight(x, DefaultScreen(x)) - 1);
    XImage* image = right < left || bottom < top
                        ? nullptr
                        : XGetImage(x, root, left, top, right - left + 1, bottom - top + 1, AllPlanes, ZPixmap);
    if (image == nullptr) {
        return;
    }
    width = image->width;
    height = image->height;
    pixels.reserve(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; y++) {
        for (int column = 0; column < width; column++) {
            unsigned long pixel = XGetPixel(image, column, y);
            pixels.push_back({int((pixel >> 16) & 255), int((pixel >> 8) & 255), int(pixel & 255)});
        }
    }
    XDestroyImage(image);
    left -= originX;
    top -= originY;
}

int Snapshot::count(const ColourTest& test) const {
    return static_cast<int>(std::count_if(pixels.begin(), pixels.end(), test));
}

int Snapshot::leftmost(const ColourTest& test) const {
    int found = -1;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width && (found < 0 || left + x < found); x++) {
            if (test(pixels[static_cast<size_t>(y) * width + x])) {
                found = left + x;
            }
        }
    }
    return found;
}

int countIn(unsigned long window, const ColourTest& test, PixelBox box) {
    return Snapshot(window, box).count(test);
}

bool moveAndSee(unsigned long window, int x, int y, const ColourTest& test, PixelBox box) {
    return xdo(moveArgs(window, x, y)) && waitFor([&] { return countIn(window, test, box) > 30; });
}

// ---- Programs --------------------------------------------------------------------

Program::Program(const std::string& path, const std::string& folder, const Environment& environment)
    : outputPath(folder + "/stdout") {
    pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) _exit(126);
        for (const auto& variable : environment) {
            if (variable.second.empty()) {
                unsetenv(variable.first.c_str());
            } else {
                setenv(variable.first.c_str(), variable.second.c_str(), 1);
            }
        }
        if (std::freopen(outputPath.c_str(), "w", stdout) == nullptr) _exit(126);
        execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
}

Program::~Program() {
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    // A test that failed between a press and its release must not leave a
    // button held for the next one.
    xdo("mouseup 1 mouseup 2 mouseup 3");
}

std::string Program::console() const {
    return readFile(outputPath);
}

bool Program::running() {
    return pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0;
}

bool Program::waitForExit(int* status, int timeoutMs) {
    if (pid <= 0) {
        return false;
    }
    if (!waitFor([&] { return waitpid(pid, status, WNOHANG) == pid; }, timeoutMs)) {
        return false;
    }
    pid = -1;
    return true;
}
