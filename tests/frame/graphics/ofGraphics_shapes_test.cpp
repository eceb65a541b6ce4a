#include "glTestWindow.h"

#include "ofGraphics.h"

#include <GL/glu.h>
#include <array>

// A shape as the calls that build it: 'v' vertex, 'c' curve vertex, 'b' Bezier
// vertex, 'n' next contour (closed); drawn under a winding rule.
using Steps = std::vector<std::pair<char, std::vector<float>>>;
using ofShapesTest = GlTest;

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
// loops; a Bezier vertex with no vertex before it adds nothing.
TEST_F(ofShapesTest, OutlinesRunThroughTheirVerticesCurvesAndBeziers) {
    using Case = std::tuple<void (*)(), size_t, std::vector<std::array<float, 3>>>;
    const Case cases[] = {
        {[] { drawShape(triangle, false, GLU_TESS_WINDING_NONZERO); }, 4, {{2, 100, 80}, {3, 10, 10}}},
        {[] { drawShape(triangle, true); }, 4, {{3, 10, 10}}},
        {[] { drawShape({{'b', {20, 20, 40, 20, 60, 60}}}, true); }, 0, {}},
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

// Each case: shape, winding rule (one refused, below or above the range, leaves the last in place),
// area filled and a pixel left empty. Under the odd rule two overlapping squares make concave pieces.
TEST_F(ofShapesTest, FillsFollowTheWindingRuleAcrossContoursAndCrossingEdges) {
    const Steps squares = {{'v', {0, 0}}, {'v', {100, 0}}, {'v', {100, 100}}, {'v', {0, 100}}, {'n', {}},
                           {'v', {50, 50}}, {'v', {150, 50}}, {'v', {150, 150}}, {'v', {50, 150}}};
    const Steps bowTie = {{'v', {100, 100}}, {'v', {200, 200}}, {'v', {200, 100}}, {'v', {100, 200}}};
    using Case = std::tuple<Steps, int, int, int, std::array<int, 2>>;
    const Case cases[] = {
        {squares, GLU_TESS_WINDING_ODD, 15000, 0, {75, 75}},
        {squares, GLU_TESS_WINDING_NONZERO, 17500, 0, {125, 25}},
        {squares, GLU_TESS_WINDING_ODD - 1, 17500, 0, {125, 25}},
        {squares, GLU_TESS_WINDING_ABS_GEQ_TWO + 1, 17500, 0, {125, 25}},
        {bowTie, GLU_TESS_WINDING_ODD, 5000, 150, {150, 110}},
    };
    testing::internal::CaptureStdout();
    for (const auto& [steps, rule, area, tolerance, empty] : cases) {
        clearFrame();
        drawShape(steps, true, rule);
        EXPECT_NEAR(countPixels(Rgb{255, 255, 255}), area, tolerance) << rule;
        EXPECT_EQ(pixelAt(empty[0], empty[1]), (Rgb{0, 0, 0})) << rule;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "error in ofSetPolyMode\nerror in ofSetPolyMode\n");
}
