#pragma once

#include "gameStateObject.h"

// The running game's screen (switch code 1). For now a placeholder that stands
// in for the race until it is built: it announces the competition flag on entry,
// shows a note and a "back" label, and a left click in the label's corner
// returns to the main menu. No camera, no race.
class FingerTracking : public GameStateObject {
public:
    // Lifecycle
    void startState() override;         // prints bCompeteMode as "1" or "0", then fonts

    // Frames
    void draw() override;               // the note and "back"; leaves the colour white

    // Mouse
    void mouseMoved(int x, int y) override;                     // back label: x > 400 and y > 400
    void mousePressed(int x, int y, int button) override;       // left button over back: main menu

    bool bCompeteMode = false;          // written by testApp before every entry
    int overBack = 0;                   // 1 while the pointer is over the back label's corner
};
