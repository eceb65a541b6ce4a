#include "glTestWindow.h"

#include "ofAppRunner.h"
#include "ofGraphics.h"

#include <GL/glew.h>
#include <array>

using Box = std::array<int, 4>;     // left, top, right, bottom
using ofGraphicsTest = GlTest;

static const Rgb black{0, 0, 0};
static const Rgb white{255, 255, 255};

// Each case, in order and on a blank frame: a change of state (kept by the cases after it; refused
// modes and resolutions change nothing), a drawing, and the box and count (to 0.2 %) of the pixels
// of a colour. 22 circle vertices from angle 0 reach the full radius sideways, not up and down.
TEST_F(ofGraphicsTest, DrawingsCoverExactlyTheirPixels) {
    using Case = std::tuple<void (*)(), void (*)(), Rgb, Box, int>;
    const Case cases[] = {
        {[] { ofEnableAlphaBlending(); }, [] { ofRect(10, 20, 30, 40); }, white, {10, 20, 39, 59}, 30 * 40},
        {[] { ofNoFill(); }, [] { ofRect(50, 50, 40, 30); }, white, {49, 50, 89, 80}, 2 * (40 + 30)},
        {[] { ofSetRectMode(OF_RECTMODE_CENTER); }, [] { ofRect(50, 50, 40, 30); }, white,
         {29, 35, 69, 65}, 140},
        {[] { ofSetCircleResolution(1); }, [] { ofCircle(320, 240, 200); }, white, {120, 42, 519, 437}, 1128},
        {[] { ofFill(); }, [] { ofEllipse(320, 240, 100, 50); }, white, {220, 191, 419, 288}, 15495},
        {[] { ofSetRectMode(2); }, [] { ofRect(5, 5, 10, 10); }, white, {0, 0, 9, 9}, 100},
        {[] {}, [] { ofTriangle(100, 100, 200, 100, 100, 200); }, white, {100, 100, 198, 198}, 4950},
        {[] { ofSetColor(300, -5, 255); }, [] { ofRect(5, 5, 10, 10); }, Rgb{255, 0, 255}, {0, 0, 9, 9}, 100},
        {[] { ofSetColor(0x1200FF80); }, [] { ofRect(5, 5, 10, 10); }, Rgb{0, 255, 128}, {0, 0, 9, 9}, 100},
        {[] { ofSetColor(255, 255, 255, -20); }, [] { ofRect(5, 5, 10, 10); }, white, {-1, -1, -1, -1}, 0},
        // Bitmap text: on the baseline, lines 13, 27 and 40 down, other bytes skipped.
        {[] { ofSetColor(0xFFFFFF); }, [] { ofDrawBitmapString("\nA\tB\r\xE9\xFF\n\nAB", 100, 100); }, white,
         {101, 104, 114, 139}, 2 * 51},
        // A background is only stored while it is automatic.
        {[] {}, [] { ofBackground(0, 0, 255); }, black, {0, 0, 639, 479}, 640 * 480},
        {[] { ofSetBackgroundAuto(false); }, [] { ofBackground(300, 0, 51); }, Rgb{255, 0, 51},
         {0, 0, 639, 479}, 640 * 480},
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

// A line is smoothed even filled (it comes first), outlines of primitives and shapes unfilled, and the
// GL state is put back each time. Swap control, missing under Xvfb, must do nothing.
TEST_F(ofGraphicsTest, SmoothingBlendsOutlinesAndLinesAndRestoresTheState) {
    ofSetVerticalSync(true);
    ofSetVerticalSync(false);
    ofEnableSmoothing();
    for (auto draw : {+[] { ofLine(100, 100, 400, 200); }, +[] { ofTriangle(100, 100, 300, 150, 120, 300); },
                      +[] { ofCurve(0, 0, 100, 100, 300, 300, 400, 0); }}) {
        clearFrame();
        draw();
        EXPECT_GT(countOtherThan(black, white), 50);
        EXPECT_FALSE(glIsEnabled(GL_BLEND) || glIsEnabled(GL_LINE_SMOOTH));
        ofNoFill();
    }
}
