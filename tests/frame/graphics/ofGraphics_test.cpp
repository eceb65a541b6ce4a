#include "glTestWindow.h"

#include "ofAppRunner.h"
#include "ofGraphics.h"

#include <GL/glew.h>
#include <cmath>
#include <set>
#include <vector>

static const Rgb black{0, 0, 0};
static const Rgb white{255, 255, 255};
static const Rgb red{255, 0, 0};

class ofGraphicsTest : public GlTest {
protected:
    // The distinct vertices (window coordinates, y up, in hundredths of a
    // pixel) GL receives for one drawing, whatever primitives it is split into.
    std::set<std::pair<int, int>> feedbackVertices(const std::function<void()>& drawing) {
        std::set<std::pair<int, int>> vertices;
        for (const FeedbackPrimitive& primitive : feedbackOf(drawing)) {
            for (const auto& vertex : primitive.vertices) {
                vertices.insert({static_cast<int>(std::lround(vertex.first * 100)),
                                 static_cast<int>(std::lround(vertex.second * 100))});
            }
        }
        return vertices;
    }
};

TEST_F(ofGraphicsTest, RectCoversExactlyItsPixelsInBothRectModes) {
    ofSetColor(255, 0, 0);
    ofRect(10, 20, 30, 40);
    PixelBox corner = boundsOf(red);
    EXPECT_EQ(corner.left, 10);
    EXPECT_EQ(corner.top, 20);
    EXPECT_EQ(corner.right, 39);
    EXPECT_EQ(corner.bottom, 59);
    EXPECT_EQ(countPixels(red), 30 * 40);

    clearFrame();
    ofSetRectMode(OF_RECTMODE_CENTER);
    ofSetRectMode(2);   // not a mode: the centre mode stays
    EXPECT_EQ(ofGetRectMode(), OF_RECTMODE_CENTER);
    ofRect(100, 100, 20, 10);
    PixelBox centred = boundsOf(red);
    EXPECT_EQ(centred.left, 90);
    EXPECT_EQ(centred.top, 95);
    EXPECT_EQ(centred.right, 109);
    EXPECT_EQ(centred.bottom, 104);
    EXPECT_EQ(countPixels(red), 20 * 10);
}

TEST_F(ofGraphicsTest, OutlineDrawsOnlyTheBorder) {
    ofNoFill();
    ofRect(50, 50, 40, 30);
    EXPECT_EQ(pixelAt(70, 65), black) << "inside an outline stays empty";
    PixelBox box = boundsOf(white);
    // Lines rasterise on pixel boundaries, so an edge may land one pixel off.
    EXPECT_NEAR(box.left, 50, 1);
    EXPECT_NEAR(box.top, 50, 1);
    EXPECT_NEAR(box.right, 90, 1);
    EXPECT_NEAR(box.bottom, 80, 1);
    int border = countPixels(white);
    EXPECT_GE(border, 2 * (40 + 30) - 4);
    EXPECT_LE(border, 2 * (41 + 31));

    clearFrame();
    ofFill();
    ofRect(50, 50, 40, 30);
    EXPECT_EQ(pixelAt(70, 65), white);
    EXPECT_EQ(countPixels(white), 40 * 30);
}

TEST_F(ofGraphicsTest, ColourComponentsAreClampedAndHexSetsThreeChannels) {
    ofSetColor(300, -5, 255);
    ofRect(0, 0, 10, 10);
    EXPECT_EQ(pixelAt(5, 5), (Rgb{255, 0, 255}));

    ofSetColor(0x00FF80);
    ofRect(20, 0, 10, 10);
    EXPECT_EQ(pixelAt(25, 5), (Rgb{0, 255, 128}));

    // Alpha is clamped too: above 255 is opaque, below 0 is fully transparent.
    ofRect(40, 20, 20, 10);
    ofEnableAlphaBlending();
    ofSetColor(255, 0, 0, 500);
    ofRect(40, 20, 10, 10);
    ofSetColor(255, 0, 0, -20);
    ofRect(50, 20, 10, 10);
    ofDisableAlphaBlending();
    EXPECT_EQ(pixelAt(45, 25), red);
    EXPECT_EQ(pixelAt(55, 25), (Rgb{0, 255, 128}));
}

TEST_F(ofGraphicsTest, BackgroundIsStoredUnclampedAndClearsAtOnceWhenNotAutomatic) {
    ofBackground(300, 0, 51);
    float* colour = ofBgColorPtr();
    EXPECT_FLOAT_EQ(colour[0], 300 / 255.0f);
    EXPECT_FLOAT_EQ(colour[2], 0.2f);
    EXPECT_FLOAT_EQ(colour[3], 1.0f);
    EXPECT_EQ(pixelAt(320, 240), black) << "automatic background only stores the colour";

    ofSetBackgroundAuto(false);
    EXPECT_FALSE(ofbClearBg());
    ofBackground(0, 0, 255);
    EXPECT_EQ(pixelAt(0, 0), (Rgb{0, 0, 255}));
    EXPECT_EQ(countPixels(Rgb{0, 0, 255}), 640 * 480);
}

TEST_F(ofGraphicsTest, CircleUsesTwentyTwoVerticesUntilTheResolutionChanges) {
    auto circle = feedbackVertices([] { ofCircle(200, 150, 100); });
    EXPECT_EQ(circle.size(), 22u);
    // The first vertex lies at angle 0: (300, 150) on screen, y = 330 in GL's window space.
    EXPECT_EQ(circle.count({30000, 33000}), 1u);

    ofSetCircleResolution(1);
    EXPECT_EQ(feedbackVertices([] { ofCircle(200, 150, 100); }).size(), 22u);

    ofSetCircleResolution(8);
    auto octagon = feedbackVertices([] {
        ofNoFill();
        ofEllipse(200, 150, 100, 50);
    });
    EXPECT_EQ(octagon.size(), 8u);
    EXPECT_EQ(octagon.count({30000, 33000}), 1u);  // half-axis 100 to the right
    EXPECT_EQ(octagon.count({20000, 28000}), 1u);  // half-axis 50 downward on screen
    ofSetCircleResolution(22);
}

TEST_F(ofGraphicsTest, FilledCircleAndEllipseCoverTheirArea) {
    ofCircle(200, 200, 50);
    EXPECT_EQ(pixelAt(200, 200), white);
    EXPECT_EQ(pixelAt(248, 200), white);
    EXPECT_EQ(pixelAt(200, 253), black);

    clearFrame();
    ofEllipse(300, 200, 40, 20);
    PixelBox box = boundsOf(white);
    EXPECT_NEAR(box.right - box.left + 1, 80, 2);
    EXPECT_NEAR(box.bottom - box.top + 1, 40, 2);
}

TEST_F(ofGraphicsTest, BitmapTextLinesStartThirteenAndTwentySevenPixelsDown) {
    ofDrawBitmapString("A", 100, 100);
    int firstTop = boundsOf(white).top;
    ASSERT_GE(firstTop, 80);
    ASSERT_LE(firstTop, 100) << "text sits on its baseline, above y";

    const char* texts[] = {"\nA", "\n\nA", "\n\n\nA"};
    const int offsets[] = {13, 27, 40};
    for (int line = 0; line < 3; line++) {
        clearFrame();
        ofDrawBitmapString(texts[line], 100, 100);
        PixelBox box = boundsOf(white);
        EXPECT_EQ(box.top, firstTop + offsets[line]) << "line " << line + 2;
    }
}

TEST_F(ofGraphicsTest, BitmapTextSkipsControlAndHighBytes) {
    ofDrawBitmapString("AB", 100, 100);
    std::vector<Rgb> plain = readFrame();
    ASSERT_GT(countPixels(white), 0);

    clearFrame();
    ofDrawBitmapString("A\tB\r", 100, 100);
    EXPECT_TRUE(readFrame() == plain) << "control bytes neither draw nor advance";

    clearFrame();
    ofDrawBitmapString("\xE9\xFF", 100, 100);
    EXPECT_EQ(countPixels(white), 0);
}

TEST_F(ofGraphicsTest, SmoothingAppliesToOutlinesAndLinesAndRestoresState) {
    ofNoFill();
    ofTriangle(100, 100, 300, 150, 120, 300);
    EXPECT_EQ(countOtherThan(black, white), 0) << "no smoothing asked for";

    clearFrame();
    ofEnableSmoothing();
    ofTriangle(100, 100, 300, 150, 120, 300);
    EXPECT_GT(countOtherThan(black, white), 50);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_LINE_SMOOTH));

    // Lines follow the hint even in fill mode.
    clearFrame();
    ofFill();
    ofLine(100, 100, 400, 200);
    EXPECT_GT(countOtherThan(black, white), 50);
    EXPECT_FALSE(glIsEnabled(GL_LINE_SMOOTH));
}

TEST_F(ofGraphicsTest, FilledTriangleCoversItsArea) {
    ofSetColor(255, 0, 0);
    ofTriangle(100, 100, 200, 100, 100, 200);
    EXPECT_EQ(pixelAt(110, 110), red);
    EXPECT_EQ(pixelAt(190, 190), black);
    EXPECT_NEAR(countPixels(red), 100 * 100 / 2, 150);
}

// Under a virtual X server the client library offers swap control that the
// server lacks; asking for vertical sync must then do nothing rather than end
// the process with an X error.
TEST_F(ofGraphicsTest, VerticalSyncIsSafeWhereTheDisplayCannotDoIt) {
    ofSetVerticalSync(true);
    ofSetVerticalSync(false);
    glFinish();
    ofRect(10, 10, 5, 5);
    EXPECT_EQ(pixelAt(12, 12), white);
}
