#include "glTestWindow.h"

#include "ofGraphics.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <cmath>

static const Rgb black{0, 0, 0};
static const Rgb red{255, 0, 0};

class ofShapesTest : public GlTest {
protected:
    void TearDown() override {
        ofSetPolyMode(GLU_TESS_WINDING_ODD);
        GlTest::TearDown();
    }

    // The vertices of an outline drawn as line segments, in drawing order and
    // screen coordinates (y down): the first point, then each segment's end.
    std::vector<std::pair<float, float>> outlinePath(const std::function<void()>& drawing) {
        std::vector<std::pair<float, float>> path;
        for (const FeedbackPrimitive& line : feedbackOf(drawing)) {
            EXPECT_TRUE(line.token == GL_LINE_TOKEN || line.token == GL_LINE_RESET_TOKEN);
            if (path.empty()) {
                path.push_back(onScreen(line.vertices[0]));
            }
            path.push_back(onScreen(line.vertices[1]));
        }
        return path;
    }

    static std::pair<float, float> onScreen(std::pair<float, float> window) {
        return {window.first, 480 - window.second};
    }

    static void expectNear(std::pair<float, float> point, float x, float y) {
        EXPECT_NEAR(point.first, x, 0.01f);
        EXPECT_NEAR(point.second, y, 0.01f);
    }
};

TEST_F(ofShapesTest, ClosingAContourRepeatsItsFirstVertex) {
    ofNoFill();
    auto open = outlinePath([] {
        ofBeginShape();
        ofVertex(10, 10);
        ofVertex(100, 10);
        ofVertex(100, 80);
        ofEndShape(false);
    });
    ASSERT_EQ(open.size(), 3u);

    auto closed = outlinePath([] {
        ofBeginShape();
        ofVertex(10, 10);
        ofVertex(100, 10);
        ofVertex(100, 80);
        ofEndShape(true);
    });
    ASSERT_EQ(closed.size(), 4u);
    expectNear(closed[3], 10, 10);

    // An empty contour stays empty when closed.
    EXPECT_TRUE(outlinePath([] {
        ofBeginShape();
        ofEndShape(true);
    }).empty());
}

TEST_F(ofShapesTest, BezierVertexNeedsAStartVertex) {
    ofNoFill();
    auto path = outlinePath([] {
        ofBeginShape();
        ofBezierVertex(20, 20, 40, 20, 60, 60);   // nothing to start from: adds nothing
        ofVertex(10, 10);
        ofVertex(50, 50);
        ofEndShape(false);
    });
    ASSERT_EQ(path.size(), 2u);
    expectNear(path[0], 10, 10);
    expectNear(path[1], 50, 50);

    // From a start vertex: 20 more points ending at the given end point.
    path = outlinePath([] {
        ofBeginShape();
        ofVertex(10, 10);
        ofBezierVertex(10, 100, 200, 100, 200, 10);
        ofEndShape(false);
    });
    ASSERT_EQ(path.size(), 21u);
    expectNear(path[1], 10, 10);
    expectNear(path[20], 200, 10);
    // Halfway along, a symmetric curve is at its middle, 3/4 of the control height down.
    EXPECT_NEAR(path[10].first, 105, 10);
    EXPECT_GT(path[10].second, 70);
}

TEST_F(ofShapesTest, CurveRunsFromTheSecondToTheThirdPointInTwentySteps) {
    ofNoFill();
    auto path = outlinePath([] { ofCurve(0, 0, 100, 100, 300, 100, 400, 0); });
    ASSERT_EQ(path.size(), 20u);
    expectNear(path.front(), 100, 100);
    expectNear(path.back(), 300, 100);

    // Curve vertices: from the fourth on, each adds one segment of 20 points.
    auto run = outlinePath([] {
        ofBeginShape();
        ofCurveVertex(0, 0);
        ofCurveVertex(100, 100);
        ofCurveVertex(300, 100);
        ofCurveVertex(400, 0);
        ofCurveVertex(500, 100);
        ofEndShape(false);
    });
    ASSERT_EQ(run.size(), 40u);
    expectNear(run[19], 300, 100);
    expectNear(run[39], 400, 0);
}

TEST_F(ofShapesTest, FilledConcavePolygonCoversTheRightPixels) {
    // An L: a 100 by 100 square missing its top-right 50 by 50 quarter.
    ofSetColor(255, 0, 0);
    ofBeginShape();
    ofVertex(100, 100);
    ofVertex(150, 100);
    ofVertex(150, 150);
    ofVertex(200, 150);
    ofVertex(200, 200);
    ofVertex(100, 200);
    ofEndShape(true);
    EXPECT_EQ(pixelAt(120, 120), red);
    EXPECT_EQ(pixelAt(180, 180), red);
    EXPECT_EQ(pixelAt(175, 125), black) << "the notch stays empty";
    EXPECT_EQ(countPixels(red), 100 * 100 - 50 * 50);
}

TEST_F(ofShapesTest, ContoursAndWindingRulesDecideWhatIsInside) {
    // Two overlapping squares as two contours of one shape.
    auto twoSquares = [] {
        ofBeginShape();
        ofVertex(100, 100);
        ofVertex(200, 100);
        ofVertex(200, 200);
        ofVertex(100, 200);
        ofNextContour(true);
        ofVertex(150, 150);
        ofVertex(250, 150);
        ofVertex(250, 250);
        ofVertex(150, 250);
        ofEndShape(true);
    };
    ofSetColor(255, 0, 0);
    twoSquares();
    EXPECT_EQ(pixelAt(175, 175), black) << "odd rule: the overlap is a hole";
    EXPECT_EQ(pixelAt(125, 125), red);
    EXPECT_EQ(pixelAt(225, 225), red);

    clearFrame();
    ofSetPolyMode(GLU_TESS_WINDING_NONZERO);
    testing::internal::CaptureStdout();
    ofSetPolyMode(GLU_TESS_WINDING_ODD - 1);
    ofSetPolyMode(12);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "error in ofSetPolyMode\nerror in ofSetPolyMode\n");
    twoSquares();
    EXPECT_EQ(pixelAt(175, 175), red) << "the refused rules left the non-zero rule in place";
}

TEST_F(ofShapesTest, CrossingEdgesAreJoinedByNewVertices) {
    // A bow tie: its edges cross at (150, 150), where the tessellator needs a new vertex.
    ofSetColor(255, 0, 0);
    ofBeginShape();
    ofVertex(100, 100);
    ofVertex(200, 200);
    ofVertex(200, 100);
    ofVertex(100, 200);
    ofEndShape(true);
    EXPECT_EQ(pixelAt(110, 150), red);
    EXPECT_EQ(pixelAt(190, 150), red);
    EXPECT_EQ(pixelAt(150, 110), black);
    EXPECT_EQ(pixelAt(150, 190), black);
    EXPECT_NEAR(countPixels(red), 2 * 50 * 100 / 2, 200);
}

TEST_F(ofShapesTest, OutlinesWithOtherRulesGoThroughTheTessellator) {
    ofNoFill();
    ofSetPolyMode(GLU_TESS_WINDING_NONZERO);
    // A boundary-only tessellation gives closed loops: the last edge returns
    // to the start even though the contour is not closed.
    auto lines = feedbackOf([] {
        ofBeginShape();
        ofVertex(10, 10);
        ofVertex(100, 10);
        ofVertex(100, 80);
        ofEndShape(false);
    });
    EXPECT_EQ(lines.size(), 3u);

    // Smoothing brackets the whole shape and restores the state afterwards.
    ofEnableSmoothing();
    ofBeginShape();
    ofVertex(10, 10);
    ofVertex(300, 50);
    ofVertex(100, 200);
    ofEndShape(true);
    EXPECT_FALSE(glIsEnabled(GL_LINE_SMOOTH));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_GT(countOtherThan(black, Rgb{255, 255, 255}), 50) << "the outline was drawn smoothed";
}
