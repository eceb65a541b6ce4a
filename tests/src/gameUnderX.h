// The real game binary under the X server, for the end-to-end tests: it runs in
// a scratch directory whose data/ links to the game's files and adds a
// server.xml naming the score server, with a stand-in xdg-open first on PATH.
// xdotool drives the pointer and keyboard; the window's pixels are read back
// from the X server over one connection kept open for the whole run.
#pragma once

#include "scratchFolder.h"
#include <functional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// ---- Waiting, files and xdotool -----------------------------------------------------

bool xdo(const std::string& args);                  // runs xdotool with args; true when it succeeds
std::string readFile(const std::string& path);      // the whole file, "" when there is none
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000);   // true once condition holds

// ---- Pixels ---------------------------------------------------------------------------

struct Rgb {
    int r, g, b;
};

struct Box {
    int left, top, right, bottom;   // window pixels, inclusive
};

using ColourTest = std::function<bool(Rgb)>;

bool isPureRed(Rgb c);   // (255, 0, 0): drawn text and marks
bool isYellow(Rgb c);    // (255, 255, 0): the menu's title
bool isBlack(Rgb c);     // (0, 0, 0): a menu entry under the pointer
bool isWhite(Rgb c);     // (255, 255, 255): a menu entry not under the pointer

// ---- The X server ---------------------------------------------------------------------

// Xlib's own name for a connection, declared here without Xlib.h, whose macros
// (None, Bool, Status) break gtest's headers included after it.
struct _XDisplay;
typedef struct _XDisplay Display;

extern Display* const display;   // the test's own connection, 0 when there is no X server

unsigned long gameWindow();      // the game's 640 by 480 window, 0 when there is none

// A box of the window as the screen shows it; pixels off the screen are left out.
class Snapshot {
public:
    Snapshot(unsigned long window, Box box);          // reads the box now
    int count(const ColourTest& test) const;          // pixels that pass
    int leftmost(const ColourTest& test) const;       // window column of the leftmost that passes, -1 if none

private:
    int left = 0, top = 0, width = 0, height = 0;   // window pixels of the read part
    std::vector<Rgb> pixels;                        // row by row
};

int countIn(unsigned long window, const ColourTest& test, Box box);      // pixels in the box that pass, read now
bool moveAndSee(unsigned long window, int x, int y, const ColourTest& test, Box box);   // move, then > 30 pass
bool clickAt(unsigned long window, int x, int y);                        // move there and click button 1

// ---- Places in the game's window ------------------------------------------------------

extern const Box titleBox;           // the main menu's title
extern const Box practiceBox;        // the main menu's "Practice"
extern const Box competeBox;         // the main menu's "Compete"
extern const Box usernameLabelBox;   // the login screen's username label

// From the main menu through "Compete" and the login screen, typing the keys
// (xdotool key names) into its fields, to the click that sends the login.
// Fails the running test, fatally, at the first step the window does not show.
void logIn(unsigned long window, const std::string& usernameKeys, const std::string& passwordKeys);

// ---- The game ---------------------------------------------------------------------------

// The game in a scratch directory; killed by the destructor if still running.
class Game {
public:
    using Environment = std::vector<std::pair<std::string, std::string>>;   // name, value; "" unsets

    explicit Game(const std::string& serverUrl, const Environment& environment = {});   // starts it
    ~Game();                                                                           // kills it, removes the directory
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    std::string console() const;                 // what it has written to stdout so far
    std::string dataDir() const;                 // its data/
    std::string browserLog() const;              // one line for each URL given to xdg-open
    bool running();                              // not yet ended
    bool waitForExit(int* status);               // true once it has ended, within 5 s, with its wait status

    const std::string signupUrl = "http://signup.example.test:8123/join";   // the sign-up URL in server.xml

private:
    void linkDataFiles();

    ScratchFolder scratch{"stompathon_e2e"};
    std::string dir = scratch.path();
    pid_t pid = -1;
};
