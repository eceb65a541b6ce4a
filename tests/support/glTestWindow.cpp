#include "glTestWindow.h"

#include "ofAppRunner.h"
#include "ofGraphics.h"

#include <GL/glew.h>

static const int windowWidth = 640;
static const int windowHeight = 480;

static void openWindowOnce() {
    static bool opened = false;
    if (!opened) {
        ofSetupOpenGL(windowWidth, windowHeight, OF_WINDOW);
        opened = true;
    }
}

// Puts back the start values of the drawing state that tests change.
static void resetDrawingState() {
    ofFill();
    ofDisableSmoothing();
    ofDisableAlphaBlending();
    ofSetRectMode(OF_RECTMODE_CORNER);
    ofSetBackgroundAuto(true);
    ofSetColor(255, 255, 255, 255);
}

// Rows from the bottom up, as GL reads them.
static void readRows(int x, int y, int w, int h, unsigned char* rgb) {
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(x, y, w, h, GL_RGB, GL_UNSIGNED_BYTE, rgb);
}

void GlTest::SetUp() {
    openWindowOnce();
    resetDrawingState();
    glViewport(0, 0, windowWidth, windowHeight);
    glDrawBuffer(GL_BACK);
    ofSetupScreen();
    clearFrame();
}

void GlTest::TearDown() {
    resetDrawingState();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

void GlTest::clearFrame() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

Rgb GlTest::pixelAt(int x, int y) {
    unsigned char rgb[3] = {0, 0, 0};
    readRows(x, windowHeight - 1 - y, 1, 1, rgb);
    return Rgb{rgb[0], rgb[1], rgb[2]};
}

std::vector<Rgb> GlTest::readFrame() {
    std::vector<unsigned char> bottomUp(windowWidth * windowHeight * 3);
    readRows(0, 0, windowWidth, windowHeight, bottomUp.data());
    std::vector<Rgb> pixels(windowWidth * windowHeight);
    for (int y = 0; y < windowHeight; y++) {
        const unsigned char* row = &bottomUp[(windowHeight - 1 - y) * windowWidth * 3];
        for (int x = 0; x < windowWidth; x++) {
            pixels[y * windowWidth + x] = Rgb{row[x * 3], row[x * 3 + 1], row[x * 3 + 2]};
        }
    }
    return pixels;
}

int GlTest::countPixels(Rgb colour, PixelBox within) {
    std::vector<Rgb> pixels = readFrame();
    int count = 0;
    for (int y = within.top; y <= within.bottom; y++) {
        for (int x = within.left; x <= within.right; x++) {
            count += pixels[y * windowWidth + x] == colour ? 1 : 0;
        }
    }
    return count;
}

// Box around the pixels that match, all -1 when none does.
static PixelBox boundsWhere(const std::vector<Rgb>& pixels, const std::function<bool(const Rgb&)>& matches) {
    PixelBox box{-1, -1, -1, -1};
    for (int y = 0; y < windowHeight; y++) {
        for (int x = 0; x < windowWidth; x++) {
            if (!matches(pixels[y * windowWidth + x])) {
                continue;
            }
            if (box.left < 0 || x < box.left) box.left = x;
            if (box.right < x) box.right = x;
            if (box.top < 0) box.top = y;
            box.bottom = y;
        }
    }
    return box;
}

PixelBox GlTest::boundsOf(Rgb colour) {
    return boundsWhere(readFrame(), [colour](const Rgb& pixel) { return pixel == colour; });
}

PixelBox GlTest::drawnBounds() {
    return boundsWhere(readFrame(), [](const Rgb& pixel) { return pixel != Rgb{0, 0, 0}; });
}

std::vector<FeedbackPrimitive> GlTest::feedbackOf(const std::function<void()>& drawing) {
    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_2D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    drawing();
    GLint values = glRenderMode(GL_RENDER);
    std::vector<FeedbackPrimitive> primitives;
    for (GLint i = 0; i < values;) {
        FeedbackPrimitive primitive{buffer[i++], {}};
        int count = 1;
        if (primitive.token == GL_LINE_TOKEN || primitive.token == GL_LINE_RESET_TOKEN) {
            count = 2;
        } else if (primitive.token == GL_POLYGON_TOKEN) {
            count = static_cast<int>(buffer[i++]);
        } else if (primitive.token == GL_PASS_THROUGH_TOKEN) {
            i++;
            continue;
        }
        for (int v = 0; v < count; v++, i += 2) {
            primitive.vertices.push_back({buffer[i], buffer[i + 1]});
        }
        primitives.push_back(primitive);
    }
    return primitives;
}
