#pragma once

#include "pixels.h"

#include <gtest/gtest.h>
#include <functional>
#include <vector>

// One primitive as GL received it, caught in feedback mode: its token
// (GL_LINE_TOKEN, GL_POLYGON_TOKEN, ...) and its vertices in window
// coordinates (origin bottom-left, y up).
struct FeedbackPrimitive {
    float token;
    std::vector<std::pair<float, float>> vertices;
};

// A real 640 by 480 frame window, opened once per test process with
// ofSetupOpenGL, into which GL tests draw directly. Each test starts on a black
// back buffer with the screen camera set up and the drawing state at its
// defaults; pixels are read from the back buffer, before any swap.
class GlTest : public ::testing::Test {
protected:
    static constexpr PixelBox wholeWindow{0, 0, 639, 479};

    void SetUp() override;
    void TearDown() override;               // fails the test on a pending GL error

    void clearFrame();                      // black again, for another drawing in one test

    // Each call reads what has been drawn so far.
    Rgb pixelAt(int x, int y);              // window pixel, top-left origin
    std::vector<Rgb> readFrame();           // every pixel, rows top-down
    int countPixels(Rgb colour, PixelBox within = wholeWindow);  // pixels of exactly this colour
    PixelBox boundsOf(Rgb colour);          // box around them; all -1 when there are none
    PixelBox drawnBounds();                 // box around every pixel that is not black

    // The primitives a drawing sends to GL, drawing nothing.
    std::vector<FeedbackPrimitive> feedbackOf(const std::function<void()>& drawing);
};
