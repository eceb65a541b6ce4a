#include "ofGraphics.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <cmath>

// ---- Drawing state ----------------------------------------------------------

static float drawMode = OF_FILLED;
static bool bBakgroundAuto = true;
static float bgColor[4] = {0, 0, 0, 0};
static bool bSmoothHinted = false;
static int cornerMode = OF_RECTMODE_CORNER;

// The unit circle, compiled once into a display list of vertices only.
static GLuint precachedCircle = 0;
static bool bSetupCircle = false;

// ---- Helpers ------------------------------------------------------------------

static float clampedUnit(int component) {
    float value = component / 255.0f;
    if (value >= 1.0f) {
        return 1.0f;
    }
    if (value < 0.0f) {
        return 0.0f;
    }
    return value;
}

static void startSmoothing() {
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

static void endSmoothing() {
    glPopAttrib();
}

// Only outlines are smoothed; filled shapes never are.
static bool smoothingOutline() {
    return bSmoothHinted && drawMode == OF_OUTLINE;
}

// A triangle or rectangle: filled, or outlined and smoothed when asked.
static void drawCorners(const float corners[][2], int count, GLenum filledMode) {
    bool smooth = smoothingOutline();
    if (smooth) {
        startSmoothing();
    }
    glBegin(drawMode == OF_FILLED ? filledMode : GL_LINE_LOOP);
    for (int i = 0; i < count; i++) {
        glVertex2f(corners[i][0], corners[i][1]);
    }
    glEnd();
    if (smooth) {
        endSmoothing();
    }
}

static void compileCircleList(int vertices, float angleStep) {
    precachedCircle = glGenLists(1);
    glNewList(precachedCircle, GL_COMPILE);
    float angle = 0;
    for (int i = 0; i < vertices; i++) {
        glVertex2f(std::cos(angle), std::sin(angle));
        angle += angleStep;
    }
    glEndList();
    bSetupCircle = true;
}

static void setupCircle() {
    compileCircleList(22, 0.28559932f);
}

static void drawUnitCircle(float x, float y, float scaleX, float scaleY) {
    if (!bSetupCircle) {
        setupCircle();
    }
    bool smooth = smoothingOutline();
    if (smooth) {
        startSmoothing();
    }
    glPushMatrix();
    glTranslatef(x, y, 0);
    glScalef(scaleX, scaleY, 1);
    glBegin(drawMode == OF_FILLED ? GL_POLYGON : GL_LINE_LOOP);
    glCallList(precachedCircle);
    glEnd();
    glPopMatrix();
    if (smooth) {
        endSmoothing();
    }
}

// ---- Background ------------------------------------------------------------------

void ofSetBackgroundAuto(bool automatic) {
    bBakgroundAuto = automatic;
}

bool ofbClearBg() {
    return bBakgroundAuto;
}

float* ofBgColorPtr() {
    return bgColor;
}

void ofBackground(int r, int g, int b) {
    bgColor[0] = r / 255.0f;
    bgColor[1] = g / 255.0f;
    bgColor[2] = b / 255.0f;
    bgColor[3] = 1.0f;
    if (!bBakgroundAuto) {
        glClearColor(bgColor[0], bgColor[1], bgColor[2], bgColor[3]);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
}

// ---- Drawing state -----------------------------------------------------------------

void ofSetRectMode(int mode) {
    if (mode == OF_RECTMODE_CORNER || mode == OF_RECTMODE_CENTER) {
        cornerMode = mode;
    }
}

int ofGetRectMode() {
    return cornerMode;
}

void ofFill() {
    drawMode = OF_FILLED;
}

void ofNoFill() {
    drawMode = OF_OUTLINE;
}

void ofEnableSmoothing() {
    bSmoothHinted = true;
}

void ofDisableSmoothing() {
    bSmoothHinted = false;
}

void ofEnableAlphaBlending() {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void ofDisableAlphaBlending() {
    glDisable(GL_BLEND);
}

void ofSetColor(int r, int g, int b) {
    glColor3f(clampedUnit(r), clampedUnit(g), clampedUnit(b));
}

void ofSetColor(int r, int g, int b, int a) {
    glColor4f(clampedUnit(r), clampedUnit(g), clampedUnit(b), clampedUnit(a));
}

void ofSetColor(int hex) {
    ofSetColor((hex >> 16) & 0xFF, (hex >> 8) & 0xFF, hex & 0xFF);
}

void ofSetCircleResolution(int n) {
    if (n <= 1) {
        return;
    }
    if (precachedCircle != 0) {
        glDeleteLists(precachedCircle, 1);
    }
    compileCircleList(n, static_cast<float>(2.0 * M_PI / n));
}

// ---- Primitives ---------------------------------------------------------------------

void ofTriangle(float x1, float y1, float x2, float y2, float x3, float y3) {
    const float corners[3][2] = {{x1, y1}, {x2, y2}, {x3, y3}};
    drawCorners(corners, 3, GL_TRIANGLES);
}

void ofCircle(float x, float y, float radius) {
    drawUnitCircle(x, y, radius, radius);
}

void ofEllipse(float x, float y, float rx, float ry) {
    drawUnitCircle(x, y, rx, ry);
}

void ofLine(float x1, float y1, float x2, float y2) {
    // Lines are smoothed whenever smoothing is on, filled or not.
    if (bSmoothHinted) {
        startSmoothing();
    }
    glBegin(GL_LINES);
    glVertex2f(x1, y1);
    glVertex2f(x2, y2);
    glEnd();
    if (bSmoothHinted) {
        endSmoothing();
    }
}

void ofRect(float x, float y, float w, float h) {
    float left = x, top = y, right = x + w, bottom = y + h;
    if (cornerMode == OF_RECTMODE_CENTER) {
        left = x - w / 2;
        top = y - h / 2;
        right = x + w / 2;
        bottom = y + h / 2;
    }
    const float corners[4][2] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
    drawCorners(corners, 4, GL_QUADS);
}

void ofDrawBitmapString(std::string text, float x, float y) {
    glRasterPos2f(x, y);
    float lineOffset = 0;
    for (char c : text) {
        if (c == '\n') {
            lineOffset += 8 * 1.7f;
            glRasterPos2f(x, y + static_cast<int>(lineOffset));
        } else if (static_cast<signed char>(c) > 31) {
            glutBitmapCharacter(GLUT_BITMAP_8_BY_13, c);
        }
    }
}

// ---- Camera ---------------------------------------------------------------------------

void ofSetupScreen() {
    int w = glutGet(GLUT_WINDOW_WIDTH);
    int h = glutGet(GLUT_WINDOW_HEIGHT);

    float halfFov = 60 * static_cast<float>(M_PI) / 360;
    float dist = (h / 2.0f) / std::tan(halfFov);
    float nearDist = dist / 10.0f;
    float farDist = dist * 10.0f;
    float aspect = static_cast<float>(w) / h;

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60, aspect, nearDist, farDist);
    gluLookAt(w / 2.0, h / 2.0, dist, w / 2.0, h / 2.0, 0, 0, 1, 0);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glScalef(1, -1, 1);
    glTranslatef(0, -h, 0);
}
