#include "ofGraphics.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <array>
#include <cmath>
#include <cstdio>
#include <deque>

// ---- Drawing state ----------------------------------------------------------

static float drawMode = OF_FILLED;
static bool bBakgroundAuto = true;
static float bgColor[4] = {0, 0, 0, 0};
static bool bSmoothHinted = false;
static int cornerMode = OF_RECTMODE_CORNER;

// The unit circle, compiled once into a display list of vertices only.
static GLuint precachedCircle = 0;
static bool bSetupCircle = false;

// Shapes being built. Deques keep the addresses of their vertices while they
// grow, so the pointers handed to the tessellator stay valid until the end.
typedef std::array<double, 3> Triple;
static int polyMode = GLU_TESS_WINDING_ODD;
static std::deque<Triple> polyVertices;
static std::deque<Triple> curveVertices;
static std::deque<Triple> newVectrices;        // made by the tessellator's combine step
static unsigned int currentStartVertex = 0;
static GLUtesselator* tobj = nullptr;
static bool bShapeSmoothing = false;           // ofBeginShape opened the smoothing bracket

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

// ---- Shape helpers -------------------------------------------------------------

static void clearCurveVertices() {
    curveVertices.clear();
}

static void clearTessVertices() {
    polyVertices.clear();
    newVectrices.clear();
    clearCurveVertices();
    currentStartVertex = 0;
}

static void GLAPIENTRY tessVertex(void* data) {
    glVertex3dv(static_cast<const GLdouble*>(data));
}

// Where contours cross, the tessellator asks for a new vertex; it lives until
// the shape ends. Colours are not interpolated.
static void GLAPIENTRY tessCombine(GLdouble coords[3], void*[4], GLfloat[4], void** outData) {
    newVectrices.push_back(Triple{coords[0], coords[1], coords[2]});
    *outData = newVectrices.back().data();
}

static void GLAPIENTRY tessError(GLenum code) {
    std::fprintf(stderr, "ERROR : %s\n", reinterpret_cast<const char*>(gluErrorString(code)));
}

static void GLAPIENTRY tessBegin(GLenum type) {
    glBegin(type);
}

static void GLAPIENTRY tessEnd() {
    glEnd();
}

static void startTessellator() {
    tobj = gluNewTess();
    gluTessCallback(tobj, GLU_TESS_BEGIN, reinterpret_cast<_GLUfuncptr>(tessBegin));
    gluTessCallback(tobj, GLU_TESS_VERTEX, reinterpret_cast<_GLUfuncptr>(tessVertex));
    gluTessCallback(tobj, GLU_TESS_COMBINE, reinterpret_cast<_GLUfuncptr>(tessCombine));
    gluTessCallback(tobj, GLU_TESS_END, reinterpret_cast<_GLUfuncptr>(tessEnd));
    gluTessCallback(tobj, GLU_TESS_ERROR, reinterpret_cast<_GLUfuncptr>(tessError));
    gluTessProperty(tobj, GLU_TESS_WINDING_RULE, polyMode);
    gluTessProperty(tobj, GLU_TESS_BOUNDARY_ONLY, drawMode == OF_OUTLINE ? 1.0 : 0.0);
    gluTessProperty(tobj, GLU_TESS_TOLERANCE, 0);
    gluTessNormal(tobj, 0, 0, 1);
    gluTessBeginPolygon(tobj, nullptr);
}

// Outlines under the odd rule need no tessellation: the contour is a line strip.
static void drawContour() {
    if (polyMode == GLU_TESS_WINDING_ODD && drawMode == OF_OUTLINE) {
        glBegin(GL_LINE_STRIP);
        for (size_t i = currentStartVertex; i < polyVertices.size(); i++) {
            glVertex3dv(polyVertices[i].data());
        }
        glEnd();
    } else if (tobj != nullptr) {
        gluTessBeginContour(tobj);
        for (size_t i = currentStartVertex; i < polyVertices.size(); i++) {
            gluTessVertex(tobj, polyVertices[i].data(), polyVertices[i].data());
        }
        gluTessEndContour(tobj);
    }
}

static void finishContour(bool close) {
    if (close && polyVertices.size() > currentStartVertex) {
        polyVertices.push_back(polyVertices[currentStartVertex]);
    }
    drawContour();
}

// One coordinate of the Catmull-Rom segment from p1 to p2 at t.
static float catmullRom(float p0, float p1, float p2, float p3, float t) {
    float t2 = t * t;
    float t3 = t2 * t;
    return 0.5f * ((2 * p1) + (-p0 + p2) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t2 +
                   (-p0 + 3 * p1 - 3 * p2 + p3) * t3);
}

static void addCurveSegment(const Triple& p0, const Triple& p1, const Triple& p2, const Triple& p3) {
    for (int i = 0; i < 20; i++) {
        float t = i / 19.0f;
        float x = catmullRom(p0[0], p1[0], p2[0], p3[0], t);
        float y = catmullRom(p0[1], p1[1], p2[1], p3[1], t);
        polyVertices.push_back(Triple{x, y, 0});
    }
}

// The 20 points of a cubic Bezier from (x0, y0) to (x3, y3), through ofVertex.
static void addBezierPoints(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3) {
    float cx = 3 * (x1 - x0);
    float bx = 3 * (x2 - x1) - cx;
    float ax = x3 - x0 - cx - bx;
    float cy = 3 * (y1 - y0);
    float by = 3 * (y2 - y1) - cy;
    float ay = y3 - y0 - cy - by;
    for (int i = 0; i < 20; i++) {
        float t = i / 19.0f;
        float t2 = t * t;
        float t3 = t2 * t;
        ofVertex(ax * t3 + bx * t2 + cx * t + x0, ay * t3 + by * t2 + cy * t + y0);
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

// ---- Curves ---------------------------------------------------------------------

void ofCurve(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3) {
    ofBeginShape();
    for (int i = 0; i < 20; i++) {
        float t = i / 19.0f;
        ofVertex(catmullRom(x0, x1, x2, x3, t), catmullRom(y0, y1, y2, y3, t));
    }
    ofEndShape(false);
}

void ofBezier(float x0, float y0, float cx1, float cy1, float cx2, float cy2, float x1, float y1) {
    ofBeginShape();
    addBezierPoints(x0, y0, cx1, cy1, cx2, cy2, x1, y1);
    ofEndShape(false);
}

// ---- Shapes -----------------------------------------------------------------------

void ofSetPolyMode(int rule) {
    if (rule < GLU_TESS_WINDING_ODD || rule > GLU_TESS_WINDING_ABS_GEQ_TWO) {
        std::printf("error in ofSetPolyMode\n");
        return;
    }
    polyMode = rule;
}

void ofBeginShape() {
    bShapeSmoothing = smoothingOutline();
    if (bShapeSmoothing) {
        startSmoothing();
    }
    clearTessVertices();
    // A shape begun twice without an end would otherwise leak its tessellator.
    if (tobj != nullptr) {
        gluDeleteTess(tobj);
    }
    startTessellator();
}

void ofVertex(float x, float y) {
    polyVertices.push_back(Triple{x, y, 0});
    clearCurveVertices();
}

void ofCurveVertex(float x, float y) {
    curveVertices.push_back(Triple{x, y, 0});
    size_t count = curveVertices.size();
    if (count >= 4) {
        addCurveSegment(curveVertices[count - 4], curveVertices[count - 3], curveVertices[count - 2],
                        curveVertices[count - 1]);
    }
}

void ofBezierVertex(float cx1, float cy1, float cx2, float cy2, float x, float y) {
    clearCurveVertices();
    if (polyVertices.empty()) {
        return;
    }
    const Triple& start = polyVertices.back();
    addBezierPoints(static_cast<float>(start[0]), static_cast<float>(start[1]), cx1, cy1, cx2, cy2, x, y);
}

void ofNextContour(bool close) {
    finishContour(close);
    currentStartVertex = static_cast<unsigned int>(polyVertices.size());
}

void ofEndShape(bool close) {
    finishContour(close);
    if (tobj != nullptr) {
        gluTessEndPolygon(tobj);
        gluDeleteTess(tobj);
        tobj = nullptr;
    }
    clearTessVertices();
    if (bShapeSmoothing) {
        endSmoothing();
        bShapeSmoothing = false;
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
