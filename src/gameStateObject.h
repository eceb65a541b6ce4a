#pragma once

#include "ofTrueTypeFont.h"

class testApp;

// Switch codes: what a screen writes into nextState before endState(), and
// what testApp::switchFromState activates for it. Any other code changes nothing.
namespace SwitchCode {
constexpr int mainMenu = 0;
constexpr int runningGame = 1;
constexpr int login = 2;
constexpr int quit = 3;
}

// The base of every screen. testApp owns one instance of each screen, forwards
// every frame and input event to the current one, and writes `app` right before
// each startState. A screen leaves by setting nextState and calling endState();
// once endState() returns, another screen is current and the caller must do
// nothing more as this screen.
class GameStateObject {
public:
    // Lifecycle
    virtual void startState();          // loads "vag.ttf" at 48, 32 and 12, on every entry
    virtual void endState();            // reset(), then app->switchFromState(this, nextState)

    // Frames
    virtual void update() {}
    virtual void draw() {}

    // Keyboard: characters 0..255, function and arrow keys as their code + 256
    virtual void keyPressed(int key) { (void)key; }
    virtual void keyReleased(int key) { (void)key; }

    // Mouse: window pixels, top-left origin; buttons 0 left, 1 middle, 2 right
    virtual void mouseMoved(int x, int y) { (void)x; (void)y; }
    virtual void mouseDragged(int x, int y, int button) { (void)x; (void)y; (void)button; }
    virtual void mousePressed(int x, int y, int button) { (void)x; (void)y; (void)button; }
    virtual void mouseReleased() {}

    // Leaving
    virtual void reset() {}             // the leave-time work, run by endState()

    testApp* app = nullptr;             // not owned; valid from the first startState on
    int nextState = -1;                 // switch code handed over by endState()
    ofTrueTypeFont fontLarge;           // "vag.ttf" at 48 points
    ofTrueTypeFont fontMedium;          // at 32 points
    ofTrueTypeFont fontSmall;           // at 12 points
};
