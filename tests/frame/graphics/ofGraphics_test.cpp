#include "glTestWindow.h"

#include "ofAppRunner.h"
#include "ofGraphics.h"

#include <GL/glew.h>
#include <array>

using Box = std::array<int, 4>;     // left, top, right, bottom
using ofGraphicsTest = GlTest;

static const Rgb black{0, 0, 0};
static const Rgb white{255, 255, 255};

// Each case, in order and on a blank frame: a change of state (kept by the
// cases after it), a drawing, and the box and count (to 0.2 %) of the pixels
// of a colour. 22 circle vertices from angle 0 reach the full radius sideways,
// not up and down.
TEST_F(ofGraphicsTest, DrawingsCoverExactlyTheirPixels) {
    using Case = std::tuple<void (*)(), void (*)(), Rgb, Box, int>;
    const Case cases[] = {
        {[] { ofEnableAlphaBlending(); }, [] { ofRect(10, 20, 30, 40); }, white, {10, 20, 39, 59}, 30 * 40},
        {[] { ofNoFill(); }, [] { ofRect(50, 50, 40, 30); }, white, {49, 50, 89, 80}, 2 * (40 + 30)},
        {[] { ofSetRectMode(OF_RECTMODE_CENTER); }, [] { ofRect(50, 50, 40, 30); }, white, {29, 35, 69, 65}, 140},
        {[] { ofSetRectMode(2); }, [] { ofCircle(320, 240, 200); }, white, {120, 42, 519, 437}, 1128},
        {[] { ofFill(); }, [] { ofRect(100, 100, 20, 10); }, white, {90, 95, 109, 104}, 20 * 10},
        {[] { ofSetCircleResolution(1); }, [] { ofCircle(320, 240, 200); }, white, {120, 42, 519, 437}, 123961},
        {[] { ofSetRectMode(OF_RECTMODE_CORNER); }, [] { ofTriangle(100, 100, 200, 100, 100, 200); }, white,
         {100, 100, 198, 198}, 4950},
        {[] { ofSetCircleResolution(8); }, [] { ofEllipse(320, 240, 100, 50); }, white, {220, 190, 419, 289}, 14142},
        {[] { ofSetColor(300, -5, 255); }, [] { ofRect(0, 0, 10, 10); }, Rgb{255, 0, 255}, {0, 0, 9, 9}, 100},
        {[] { ofSetColor(0x1200FF80); }, [] { ofRect(0, 0, 10, 10); }, Rgb{0, 255, 128}, {0, 0, 9, 9}, 100},
        {[] { ofSetColor(255, 0, 0, 500); }, [] { ofRect(0, 0, 10, 10); }, Rgb{255, 0, 0}, {0, 0, 9, 9}, 100},
        {[] { ofSetColor(255, 0, 0, -20); }, [] { ofRect(0, 0, 10, 10); }, Rgb{255, 0, 0}, {-1, -1, -1, -1}, 0},
        // Bitmap text: on the baseline, lines 13, 27 and 40 down, other bytes skipped.
        {[] { ofSetColor(0xFFFFFF); }, [] { ofDrawBitmapString("AB", 100, 100); }, white, {101, 91, 114, 99}, 51},
        {[] {}, [] { ofDrawBitmapString("A\tB\r\xE9\xFF", 100, 100); }, white, {101, 91, 114, 99}, 51},
        {[] {}, [] { ofDrawBitmapString("\nAB", 100, 100); }, white, {101, 104, 114, 112}, 51},
        {[] {}, [] { ofDrawBitmapString("\n\nAB", 100, 100); }, white, {101, 118, 114, 126}, 51},
        {[] {}, [] { ofDrawBitmapString("\n\n\nAB", 100, 100); }, white, {101, 131, 114, 139}, 51},
    };
    for (const auto& [change, draw, colour, bounds, count] : cases) {
        clearFrame();
        change();
        draw();
        PixelBox drawn = boundsOf(colour);
        EXPECT_EQ((Box{drawn.left, drawn.top, drawn.right, drawn.bottom}), bounds);
        EXPECT_NEAR(countPixels(colour), count, count / 500 + 1);
    }
    ofSetCircleResolution(22);
}

TEST_F(ofGraphicsTest, BackgroundIsStoredUnclampedAndClearsAtOnceWhenNotAutomatic) {
    ofBackground(300, 0, 51);
    const float* colour = ofBgColorPtr();
    EXPECT_EQ((std::array<float, 4>{colour[0], colour[1], colour[2], colour[3]}),
              (std::array<float, 4>{300 / 255.0f, 0, 0.2f, 1}));
    EXPECT_EQ(pixelAt(320, 240), black) << "an automatic background is only stored";
    ofSetBackgroundAuto(false);
    ofBackground(0, 0, 255);
    EXPECT_EQ(countPixels(Rgb{0, 0, 255}), 640 * 480);
}

// Also: swap control, which the virtual X server lacks, must do nothing.
TEST_F(ofGraphicsTest, SmoothingBlendsOutlinesAndLinesAndRestoresTheState) {
    ofSetVerticalSync(true);
    ofSetVerticalSync(false);
    ofEnableSmoothing();
    ofNoFill();
    ofTriangle(100, 100, 300, 150, 120, 300);
    EXPECT_GT(countOtherThan(black, white), 50);
    clearFrame();
    ofFill();
    ofLine(100, 100, 400, 200);
    EXPECT_GT(countOtherThan(black, white), 50) << "lines are smoothed in fill mode too";
    EXPECT_FALSE(glIsEnabled(GL_BLEND) || glIsEnabled(GL_LINE_SMOOTH));
}
