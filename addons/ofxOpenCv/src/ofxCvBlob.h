#pragma once

#include "ofPoint.h"
#include "ofRectangle.h"

#include <vector>

// One region found by the contour finder; a plain value, copied whole.
class ofxCvBlob {
public:
    float area = 0;                 // absolute area of the outline, square pixels
    float perimeter = 0;            // length of the closed outline, pixels
    ofRectangle boundingBox;        // upright box around the outline, whole pixels
    ofPoint centroid;               // centre of mass of the outline, truncated toward zero; z 0
    bool isHole = false;            // the outline bounds a hole in a region
    std::vector<ofPoint> points;    // the outline in order, whole pixels, z 0
    int pointCount = 0;             // entries in points
};
