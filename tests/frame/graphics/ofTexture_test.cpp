#include "glTestWindow.h"

#include "ofGraphics.h"
#include "ofTexture.h"

#include <GL/glew.h>
#include <vector>

static const Rgb black{0, 0, 0};
static const Rgb red{255, 0, 0};
static const Rgb green{0, 255, 0};
static const Rgb blue{0, 0, 255};
static const Rgb white{255, 255, 255};

// A picture of w by h in four flat quadrants, rows top-down: red top-left,
// green top-right, blue bottom-left, white bottom-right.
static std::vector<unsigned char> quadrants(int w, int h) {
    std::vector<unsigned char> rgb(w * h * 3);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            Rgb colour = y < h / 2 ? (x < w / 2 ? red : green) : (x < w / 2 ? blue : white);
            unsigned char* pixel = &rgb[(y * w + x) * 3];
            pixel[0] = static_cast<unsigned char>(colour.r);
            pixel[1] = static_cast<unsigned char>(colour.g);
            pixel[2] = static_cast<unsigned char>(colour.b);
        }
    }
    return rgb;
}

// Runs every test twice: with rectangle textures and with power-of-two storage.
class ofTextureTest : public GlTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        GlTest::SetUp();
        ofSetTextureRectangleAllowed(GetParam());
    }
    void TearDown() override {
        ofSetTextureRectangleAllowed(true);
        GlTest::TearDown();
    }
    bool rectangle() const { return GetParam(); }

    void expectUprightQuadrants(int left, int top, int w, int h) {
        EXPECT_EQ(pixelAt(left, top), red) << "top-left corner";
        EXPECT_EQ(pixelAt(left + w - 1, top), green) << "top-right corner";
        EXPECT_EQ(pixelAt(left, top + h - 1), blue) << "bottom-left corner";
        EXPECT_EQ(pixelAt(left + w - 1, top + h - 1), white) << "bottom-right corner";
        PixelBox box = drawnBounds();
        EXPECT_EQ(box.left, left);
        EXPECT_EQ(box.top, top);
        EXPECT_EQ(box.right, left + w - 1);
        EXPECT_EQ(box.bottom, top + h - 1);
    }
};

TEST_P(ofTextureTest, AllocateChoosesStorageAndCoordinates) {
    ofTexture texture;
    texture.allocate(320, 240, GL_RGB);
    std::vector<unsigned char> picture = quadrants(320, 240);
    texture.loadData(picture.data(), 320, 240, GL_RGB);
    if (rectangle()) {
        EXPECT_EQ(texture.target, static_cast<GLenum>(GL_TEXTURE_RECTANGLE_ARB));
        EXPECT_EQ(texture.allocWidth, 320);
        EXPECT_EQ(texture.allocHeight, 240);
        EXPECT_FLOAT_EQ(texture.texCoordMaxX, 320);
        EXPECT_FLOAT_EQ(texture.texCoordMaxY, 240);
    } else {
        EXPECT_EQ(texture.target, static_cast<GLenum>(GL_TEXTURE_2D));
        EXPECT_EQ(texture.allocWidth, 512);
        EXPECT_EQ(texture.allocHeight, 256);
        EXPECT_FLOAT_EQ(texture.texCoordMaxX, 0.625f);
        EXPECT_FLOAT_EQ(texture.texCoordMaxY, 0.9375f);
    }
    EXPECT_NE(texture.textureId, 0u);

    ofTexture square;
    square.allocate(256, 256, GL_LUMINANCE);
    EXPECT_EQ(square.allocWidth, 256) << "a power of two is not raised";
    EXPECT_EQ(square.allocHeight, 256);
}

TEST_P(ofTextureTest, DrawsUprightAtTheExactPlaceAndSize) {
    // 37 by 21: rows of 111 bytes, not a multiple of four, and storage that
    // needs padding on the power-of-two path.
    ofTexture texture;
    texture.allocate(37, 21, GL_RGB);
    std::vector<unsigned char> picture = quadrants(37, 21);
    texture.loadData(picture.data(), 37, 21, GL_RGB);
    texture.draw(50, 60);
    expectUprightQuadrants(50, 60, 37, 21);

    clearFrame();
    texture.draw(200, 100, 74, 42);
    expectUprightQuadrants(200, 100, 74, 42);

    clearFrame();
    texture.draw(300, 300, 10.7f, 5.2f);
    expectUprightQuadrants(300, 300, 10, 5);
}

TEST_P(ofTextureTest, CentreModeDrawsAroundThePointWithWholeHalves) {
    ofTexture texture;
    texture.allocate(37, 21, GL_RGB);
    std::vector<unsigned char> picture = quadrants(37, 21);
    texture.loadData(picture.data(), 37, 21, GL_RGB);
    ofSetRectMode(OF_RECTMODE_CENTER);
    texture.draw(100, 100);
    // Halves truncate toward zero: -18..18 and -10..10.
    expectUprightQuadrants(100 - 18, 100 - 10, 36, 20);
}

TEST_P(ofTextureTest, CurrentColourTintsTheTexture) {
    ofTexture texture;
    texture.allocate(16, 16, GL_RGB);
    std::vector<unsigned char> whitePicture(16 * 16 * 3, 255);
    texture.loadData(whitePicture.data(), 16, 16, GL_RGB);
    ofSetColor(255, 0, 0);
    texture.draw(10, 10);
    EXPECT_EQ(pixelAt(17, 17), red);
}

TEST_P(ofTextureTest, UploadLargerThanStorageIsRefusedAndChangesNothing) {
    ofTexture texture;
    texture.allocate(37, 21, GL_RGB);
    std::vector<unsigned char> picture = quadrants(37, 21);
    texture.loadData(picture.data(), 37, 21, GL_RGB);
    float maxX = texture.texCoordMaxX;
    float maxY = texture.texCoordMaxY;

    int tooWide = texture.allocWidth + 1;
    std::vector<unsigned char> bigger(tooWide * 21 * 3, 0);
    testing::internal::CaptureStdout();
    texture.loadData(bigger.data(), tooWide, 21, GL_RGB);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "image data too big for allocated texture. not uploading... \n");
    EXPECT_EQ(texture.width, 37);
    EXPECT_EQ(texture.height, 21);
    EXPECT_FLOAT_EQ(texture.texCoordMaxX, maxX);
    EXPECT_FLOAT_EQ(texture.texCoordMaxY, maxY);
    texture.draw(50, 60);
    expectUprightQuadrants(50, 60, 37, 21);
}

TEST_P(ofTextureTest, ScreenCopyIsDrawnUpright) {
    ofSetColor(255, 0, 0);
    ofRect(10, 10, 32, 11);
    ofSetColor(0, 0, 255);
    ofRect(10, 21, 32, 11);

    ofTexture texture;
    texture.allocate(32, 22, GL_RGB);
    texture.loadScreenData(10, 10, 32, 22);
    EXPECT_TRUE(texture.flipped);
    clearFrame();
    ofSetColor(255, 255, 255);
    texture.draw(300, 200);
    EXPECT_EQ(pixelAt(300, 200), red);
    EXPECT_EQ(pixelAt(331, 200), red);
    EXPECT_EQ(pixelAt(300, 221), blue);
    PixelBox box = drawnBounds();
    EXPECT_EQ(box.left, 300);
    EXPECT_EQ(box.top, 200);
    EXPECT_EQ(box.right, 331);
    EXPECT_EQ(box.bottom, 221);

    // Too large: refused, but the copy is still marked bottom-up.
    texture.loadData(std::vector<unsigned char>(32 * 22 * 3).data(), 32, 22, GL_RGB);
    EXPECT_FALSE(texture.flipped);
    testing::internal::CaptureStdout();
    texture.loadScreenData(0, 0, 640, 480);
    EXPECT_FALSE(testing::internal::GetCapturedStdout().empty());
    EXPECT_TRUE(texture.flipped);
    EXPECT_EQ(texture.width, 32);
}

TEST_P(ofTextureTest, ClearReleasesOnceAndCopiesShareNothing) {
    ofTexture texture;
    texture.allocate(16, 16, GL_RGB);
    GLuint name = texture.textureId;
    ASSERT_TRUE(glIsTexture(name));

    ofTexture copy(texture);
    EXPECT_EQ(copy.textureId, 0u);
    EXPECT_FALSE(copy.flipped);
    ofTexture assigned;
    assigned = texture;
    EXPECT_EQ(assigned.textureId, 0u);

    texture.clear();
    EXPECT_EQ(texture.textureId, 0u);
    EXPECT_EQ(texture.width, 0);
    EXPECT_FALSE(glIsTexture(name));
    EXPECT_EQ(texture.allocWidth, 16) << "storage sizes keep their values";

    // A new texture may reuse the freed name; a second clear must not delete it.
    ofTexture other;
    other.allocate(8, 8, GL_RGB);
    texture.clear();
    EXPECT_TRUE(glIsTexture(other.textureId));
}

INSTANTIATE_TEST_SUITE_P(BothPaths, ofTextureTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Rectangle" : "PowerOfTwo";
                         });
