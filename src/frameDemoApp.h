#pragma once

#include "ofImage.h"
#include "ofSimpleApp.h"
#include "ofTexture.h"
#include "ofTrueTypeFont.h"

#include <vector>

// Shows what the frame can draw until the game's screens take over the window:
// a picture, TrueType and bitmap text, shapes in both fill modes, a curve, a
// texture, the mouse and the frame rate.
class frameDemoApp : public ofSimpleApp {
public:
    void setup() override;
    void update() override;
    void draw() override;
    void keyPressed(int key) override;
    void mousePressed(int x, int y, int button) override;

private:
    void drawShapes();
    void drawStatus();

    ofImage background;                 // the race screen's background picture
    ofTrueTypeFont title;               // the game's font at 32 points
    ofTexture stripes;                  // a generated 64x64 picture, drawn upright
    std::vector<unsigned char> pixels;  // its RGB pixels, rows top-down
    float phase = 0;                    // animation angle in radians
    int lastKey = 0;                    // last key pressed (code, 356 for the left arrow)
    int clicks = 0;                     // mouse presses so far
};
