#include "glTestWindow.h"

#include "ofGraphics.h"

#include <GL/glu.h>
#include <array>

using Box = std::array<int, 4>;     // left, top, right, bottom
using ofGraphicsTest = GlTest;

static const Rgb black{0, 0, 0};
static const Rgb white{255, 255, 255};

// Each case, in order and on a blank frame: a change of state (kept by the cases after it; a refused
// resolution changes nothing), a drawing, and the box and count (to 0.2 %) of the pixels of a colour.
// 22 circle vertices from angle 0 reach the full radius sideways, not up and down.
TEST_F(ofGraphicsTest, DrawingsCoverExactlyTheirPixels) {
    using Case = std::tuple<void (*)(), void (*)(), Rgb, Box, int>;
    const Case cases[] = {
        {[] { ofEnableAlphaBlending(); }, [] { ofRect(10, 20, 30, 40); }, white, {10, 20, 39, 59}, 30 * 40},
        {[] { ofNoFill(); }, [] { ofRect(50, 50, 40, 30); }, white, {49, 50, 89, 80}, 2 * (40 + 30)},
        {[] { ofSetRectMode(OF_RECTMODE_CENTER); }, [] { ofRect(50, 50, 40, 30); }, white,
         {29, 35, 69, 65}, 140},
        {[] { ofSetCircleResolution(1); }, [] { ofCircle(320, 240, 200); }, white, {120, 42, 519, 437}, 1128},
        {[] { ofFill(); }, [] { ofEllipse(320, 240, 100, 50); }, white, {220, 191, 419, 288}, 15495},
        {[] {}, [] { ofTriangle(100, 100, 200, 100, 100, 200); }, white, {100, 100, 198, 198}, 4950},
        {[] { ofSetColor(300, -5, 255); }, [] { ofRect(5, 5, 10, 10); }, Rgb{255, 0, 255}, {0, 0, 9, 9}, 100},
        {[] { ofSetColor(0x1200FF80); }, [] { ofRect(5, 5, 10, 10); }, Rgb{0, 255, 128}, {0, 0, 9, 9}, 100},
    };
    for (const auto& [change, draw, colour, bounds, count] : cases) {
        clearFrame();
        change();
        draw();
        PixelBox drawn = boundsOf(colour);
        EXPECT_EQ((Box{drawn.left, drawn.top, drawn.right, drawn.bottom}), bounds);
        EXPECT_NEAR(countPixels(colour), count, count / 500 + 1);
    }
}

// A shape as the calls that build it: 'v' vertex, 'c' curve vertex, 'b' Bezier
// vertex, 'n' next contour (closed); drawn under a winding rule.
using Steps = std::vector<std::pair<char, std::vector<float>>>;
static const Steps triangle = {{'v', {10, 10}}, {'v', {100, 10}}, {'v', {100, 80}}};

static void drawShape(const Steps& steps, bool close, int rule = GLU_TESS_WINDING_ODD) {
    ofSetPolyMode(rule);
    ofBeginShape();
    for (const auto& [call, v] : steps) {
        if (call == 'v') {
            ofVertex(v[0], v[1]);
        } else if (call == 'c') {
            ofCurveVertex(v[0], v[1]);
        } else if (call == 'b') {
            ofBezierVertex(v[0], v[1], v[2], v[3], v[4], v[5]);
        } else {
            ofNextContour(true);
        }
    }
    ofEndShape(close);
}

// Each case: a drawing, the number of points on its outline and some of them as index, x, y; the
// Bezier's middle point is its Bernstein form at t = 10/19. The tessellator's outlines are closed
// loops.
TEST_F(ofGraphicsTest, OutlinesRunThroughTheirVerticesCurvesAndBeziers) {
    using Case = std::tuple<void (*)(), size_t, std::vector<std::array<float, 3>>>;
    const Case cases[] = {
        {[] { drawShape(triangle, false, GLU_TESS_WINDING_NONZERO); }, 4, {{2, 100, 80}, {3, 10, 10}}},
        {[] { drawShape({{'v', {0, 0}}, {'v', {10, 10}}, {'b', {30, 200, 150, -40, 200, 60}}}, false); },
         22, {{2, 10, 10}, {12, 99.896f, 64.921f}, {21, 200, 60}}},
        {[] { ofCurve(0, 0, 100, 100, 300, 100, 400, 0); }, 20, {{0, 100, 100}, {19, 300, 100}}},
        {[] { drawShape({{'c', {0, 0}}, {'c', {100, 100}}, {'c', {300, 100}}, {'c', {400, 0}},
                         {'c', {500, 100}}}, false); }, 40, {{19, 300, 100}, {39, 400, 0}}},
    };
    ofNoFill();
    for (const auto& [draw, points, expected] : cases) {
        std::vector<std::pair<float, float>> path;     // y upward
        for (const FeedbackPrimitive& line : feedbackOf(draw)) {
            if (path.empty()) {
                path.push_back(line.vertices[0]);
            }
            path.push_back(line.vertices[1]);
        }
        ASSERT_EQ(path.size(), points);
        for (const auto& [index, x, y] : expected) {
            EXPECT_NEAR(path[index].first, x, 0.01f) << points << " points, point " << index;
            EXPECT_NEAR(480 - path[index].second, y, 0.01f) << points << " points, point " << index;
        }
    }
}

// Each case: shape, winding rule, area filled and a pixel left empty. Under the odd rule two
// overlapping squares make concave pieces; the next contour starts afresh.
TEST_F(ofGraphicsTest, FillsFollowTheWindingRuleAcrossContours) {
    const Steps squares = {{'v', {0, 0}}, {'v', {100, 0}}, {'v', {100, 100}}, {'v', {0, 100}}, {'n', {}},
                           {'v', {50, 50}}, {'v', {150, 50}}, {'v', {150, 150}}, {'v', {50, 150}}};
    using Case = std::tuple<Steps, int, int, std::array<int, 2>>;
    const Case cases[] = {
        {squares, GLU_TESS_WINDING_ODD, 15000, {75, 75}},
        {squares, GLU_TESS_WINDING_NONZERO, 17500, {125, 25}},
    };
    for (const auto& [steps, rule, area, empty] : cases) {
        clearFrame();
        drawShape(steps, true, rule);
        EXPECT_EQ(countPixels(white), area) << rule;
        EXPECT_EQ(pixelAt(empty[0], empty[1]), black) << rule;
    }
}
