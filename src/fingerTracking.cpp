#include "fingerTracking.h"

#include "ofGraphics.h"

#include <iostream>

void FingerTracking::startState() {
    std::cout << (bCompeteMode ? "1" : "0") << std::endl;
    GameStateObject::startState();
    nextState = SwitchCode::mainMenu;
    overBack = 0;
}

void FingerTracking::draw() {
    ofSetColor(0xFFFFFF);
    fontSmall.drawString(bCompeteMode ? "Compete: the race track is not built yet."
                                      : "Practice: the race track is not built yet.",
                         20, 40);
    fontSmall.drawString("back", 460, 440);
}

void FingerTracking::mouseMoved(int x, int y) {
    overBack = (x > 400 && y > 400) ? 1 : 0;
}

void FingerTracking::mousePressed(int x, int y, int button) {
    (void)x;
    (void)y;
    if (button == 0 && overBack == 1) {
        endState();
    }
}
