#pragma once

#include <gtest/gtest.h>
#include <functional>
#include <ostream>
#include <vector>

// One pixel colour as read back from the window, 0..255 per channel.
struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& other) const { return r == other.r && g == other.g && b == other.b; }
    bool operator!=(const Rgb& other) const { return !(*this == other); }
};
std::ostream& operator<<(std::ostream& out, const Rgb& colour);

// An axis-aligned pixel box, edges inclusive.
struct PixelBox {
    int left, top, right, bottom;
};

// One primitive as GL received it, caught in feedback mode: its token
// (GL_POINT_TOKEN, GL_LINE_TOKEN, GL_LINE_RESET_TOKEN, GL_POLYGON_TOKEN, ...)
// and its vertices in window coordinates (origin bottom-left, y up).
struct FeedbackPrimitive {
    float token;
    std::vector<std::pair<float, float>> vertices;
};

// A real 640 by 480 frame window, opened once per test process with
// ofSetupOpenGL, into which GL tests draw directly. Each test starts on a black
// back buffer with the screen camera set up and the drawing state at its defaults;
// pixels are read from the back buffer, before any swap.
class GlTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void clearFrame();                      // black again, for a second drawing in one test

    // Each call reads what has been drawn so far.
    Rgb pixelAt(int x, int y);              // window pixel, top-left origin
    int countPixels(Rgb colour);            // pixels of exactly this colour
    PixelBox boundsOf(Rgb colour);          // box around them; all -1 when there are none
    PixelBox drawnBounds();                 // box around every pixel that is not black
    int countOtherThan(Rgb first, Rgb second);  // pixels of neither colour (blended edges)
    std::vector<Rgb> readFrame();           // every pixel, rows top-down

    // The primitives a drawing sends to GL, drawing nothing.
    std::vector<FeedbackPrimitive> feedbackOf(const std::function<void()>& drawing);
};
