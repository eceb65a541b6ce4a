#pragma once

#include "ofPoint.h"

// A two-dimensional vector on top of ofPoint; z stays 0.
class ofxVec2f : public ofPoint {
public:
    ofxVec2f(float x = 0, float y = 0) : ofPoint(x, y, 0) {}

    void set(float newX, float newY) { x = newX; y = newY; }
};
