#pragma once

// A point or position in pixels; z is 0 for everything drawn on screen.
class ofPoint {
public:
    ofPoint(float x = 0, float y = 0, float z = 0) : x(x), y(y), z(z) {}

    float x;
    float y;
    float z;
};
