#pragma once

// Drives real programs under the X server for the end-to-end tests: starts them,
// finds their window, moves the pointer and presses keys with xdotool, and
// reads the window's pixels back from the screen.

#include "pixels.h"
#include "scratchFolder.h"

#include <functional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// ---- Waiting and files -----------------------------------------------------------

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000);   // true once it holds
size_t occurrences(const std::string& text, const std::string& part);

// ---- Pointer and keyboard --------------------------------------------------------

bool xdo(const std::string& args);                  // xdotool with args, at most 10 s; true on success
std::string moveArgs(unsigned long window, int x, int y);   // "mousemove --window W x y"
bool clickAt(unsigned long window, int x, int y, int button = 1);

// ---- Windows and pixels ----------------------------------------------------------

unsigned long programWindow(int timeoutMs = 5000);  // the mapped 640 by 480 top-level window; 0 if none
bool closeWindow(unsigned long window);             // as a window manager asks: WM_DELETE_WINDOW

using ColourTest = std::function<bool(Rgb)>;
ColourTest exactly(Rgb colour);

// A box of the window as the screen shows it, read when constructed.
class Snapshot {
public:
    Snapshot(unsigned long window, PixelBox box);
    int count(const ColourTest& test) const;        // pixels that pass
    int leftmost(const ColourTest& test) const;     // window column of the leftmost that passes, -1 if none

private:
    int left = 0, top = 0, width = 0, height = 0;   // window pixels of the part on the screen
    std::vector<Rgb> pixels;                        // row by row
};

int countIn(unsigned long window, const ColourTest& test, PixelBox box);
bool moveAndSee(unsigned long window, int x, int y, const ColourTest& test, PixelBox box);
                                                    // moves, then waits until more than 30 pass

// ---- Programs --------------------------------------------------------------------

// A program started in a working folder with its standard output in a file
// there; killed by the destructor if it still runs.
class Program {
public:
    using Environment = std::vector<std::pair<std::string, std::string>>;  // name, value; "" unsets

    Program(const std::string& path, const std::string& folder, const Environment& environment = {});
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    std::string console() const;                    // standard output so far
    bool running();
    bool waitForExit(int* status, int timeoutMs = 5000);   // true once ended, with its wait status

private:
    std::string outputPath;
    pid_t pid = -1;
};
