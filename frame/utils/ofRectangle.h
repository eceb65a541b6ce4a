#pragma once

// An axis-aligned rectangle in pixels: top-left corner and size, all 0 by default.
class ofRectangle {
public:
    ofRectangle(float x = 0, float y = 0, float width = 0, float height = 0)
        : x(x), y(y), width(width), height(height) {}

    float x;
    float y;
    float width;
    float height;
};
