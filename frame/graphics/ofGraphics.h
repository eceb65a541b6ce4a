#pragma once

#include <string>

// The global drawing state and 2D primitives, in window pixels with the origin
// at the top-left corner and y growing downward (see ofSetupScreen).

// Rect mode: where (x, y) of ofRect and of texture drawing sits
#define OF_RECTMODE_CORNER 0
#define OF_RECTMODE_CENTER 1

// Fill mode values of the drawing state
#define OF_FILLED 1.0f
#define OF_OUTLINE 2.0f

// Background
void ofSetBackgroundAuto(bool automatic);       // true: the frame runner clears before every draw
bool ofbClearBg();
float* ofBgColorPtr();                          // r, g, b, a in 0..1, read by the frame runner
void ofBackground(int r, int g, int b);         // not clamped; clears at once when not automatic

// Drawing state
void ofSetRectMode(int mode);                   // OF_RECTMODE_CORNER or _CENTER; others ignored
int ofGetRectMode();
void ofFill();
void ofNoFill();
void ofEnableSmoothing();                       // smooth outlines and lines
void ofDisableSmoothing();
void ofEnableAlphaBlending();
void ofDisableAlphaBlending();
void ofSetColor(int r, int g, int b);           // components 0..255, clamped
void ofSetColor(int r, int g, int b, int a);
void ofSetColor(int hex);                       // 0xRRGGBB; alpha untouched
void ofSetCircleResolution(int n);              // vertices of circles and ellipses; n <= 1 ignored

// Primitives
void ofTriangle(float x1, float y1, float x2, float y2, float x3, float y3);
void ofCircle(float x, float y, float radius);
void ofEllipse(float x, float y, float rx, float ry);   // rx, ry are the half-axes
void ofLine(float x1, float y1, float x2, float y2);
void ofRect(float x, float y, float w, float h);
void ofDrawBitmapString(std::string text, float x, float y);   // 8x13 font; lines 13.6 px apart

// Curves, each drawn as a shape of 20 points
void ofCurve(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3);  // Catmull-Rom, point 1 to 2
void ofBezier(float x0, float y0, float cx1, float cy1, float cx2, float cy2, float x1, float y1);

// Shapes: contours of vertices, filled through the tessellator or outlined
void ofSetPolyMode(int rule);                   // GLU_TESS_WINDING_*; others refused with one line
void ofBeginShape();
void ofVertex(float x, float y);
void ofCurveVertex(float x, float y);           // from the fourth on, each adds a 20-point segment
void ofBezierVertex(float cx1, float cy1, float cx2, float cy2, float x, float y);  // from the last vertex
void ofNextContour(bool close);                 // close: repeat the contour's first vertex
void ofEndShape(bool close);

// Camera
void ofSetupScreen();                           // one unit a pixel, origin top-left; once per frame

