#include "glTestWindow.h"

#include "ofGraphics.h"
#include "ofTexture.h"

#include <array>

using Box = std::array<int, 4>;     // left, top, right, bottom

static const std::string tooBig = "image data too big for allocated texture. not uploading... \n";

// Every test runs on both paths, rectangle textures and power-of-two storage,
// with a 37 by 21 picture (rows of 111 bytes, storage padded on one path) in
// four flat quadrants, red, green / blue, white: red is lit where right and
// bottom agree, green on the right, blue at the bottom.
class ofTextureTest : public GlTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        GlTest::SetUp();
        ofSetTextureRectangleAllowed(GetParam());
        for (int i = 0; i < 37 * 21; i++) {
            bool right = i % 37 >= 18, bottom = i / 37 >= 10;
            for (bool lit : {right == bottom, right, bottom}) {
                picture.push_back(lit ? 255 : 0);
            }
        }
        texture.allocate(37, 21, GL_RGB);
        texture.loadData(picture.data(), 37, 21, GL_RGB);
    }
    void TearDown() override {
        ofSetTextureRectangleAllowed(true);
        GlTest::TearDown();
    }

    // What is drawn fills the box, in the picture's corner colours at its corners.
    void expectUpright(Box expected) {
        PixelBox drawn = drawnBounds();
        EXPECT_EQ((Box{drawn.left, drawn.top, drawn.right, drawn.bottom}), expected);
        EXPECT_EQ((std::array<Rgb, 4>{pixelAt(drawn.left, drawn.top), pixelAt(drawn.right, drawn.top),
                                      pixelAt(drawn.left, drawn.bottom), pixelAt(drawn.right, drawn.bottom)}),
                  (std::array<Rgb, 4>{Rgb{255, 0, 0}, Rgb{0, 255, 0}, Rgb{0, 0, 255}, Rgb{255, 255, 255}}));
    }

    std::vector<unsigned char> picture;
    ofTexture texture;
};

TEST_P(ofTextureTest, StorageSuitsThePathAndOversizedUploadsChangeNothing) {
    std::vector<unsigned char> bigger(65 * 33 * 3);
    testing::internal::CaptureStdout();
    texture.loadData(bigger.data(), texture.allocWidth + 1, 21, GL_RGB);
    texture.loadData(bigger.data(), 37, texture.allocHeight + 1, GL_RGB);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), tooBig + tooBig);
    texture.draw(50, 60);
    expectUpright({50, 60, 86, 80});
    EXPECT_EQ((std::array<float, 4>{static_cast<float>(texture.allocWidth), static_cast<float>(texture.allocHeight),
                                    texture.texCoordMaxX, texture.texCoordMaxY}),
              (GetParam() ? std::array<float, 4>{37, 21, 37, 21}
                          : std::array<float, 4>{64, 32, 37 / 64.0f, 21 / 32.0f}));
    texture.allocate(256, 256, GL_LUMINANCE);
    EXPECT_EQ(texture.allocWidth, 256) << "a power of two is not raised";
}

// Centred, each half is truncated toward zero: -37..37 and -21..21. Drawn
// larger, power-of-two storage shows whether it is sampled beyond the picture.
TEST_P(ofTextureTest, DrawsUprightAtAnySizeAndCentredTintedByTheColour) {
    texture.draw(300, 300, 10.7f, 5.2f);
    expectUpright({300, 300, 309, 304});
    clearFrame();
    ofSetRectMode(OF_RECTMODE_CENTER);
    texture.draw(100, 100, 75, 43);
    expectUpright({63, 79, 136, 120});
    ofSetColor(0, 255, 0);
    texture.draw(100, 100, 75, 43);
    EXPECT_EQ(pixelAt(136, 120), (Rgb{0, 255, 0})) << "white tinted green";
    EXPECT_EQ(pixelAt(63, 120), (Rgb{0, 0, 0})) << "blue tinted green";
}

TEST_P(ofTextureTest, ScreenCopiesAreDrawnUprightAndMarkedSoEvenWhenRefused) {
    ofTexture copy;
    copy.allocate(37, 21, GL_RGB);
    texture.draw(10, 10);
    copy.loadScreenData(10, 10, 37, 21);
    clearFrame();
    copy.draw(300, 200);
    expectUpright({300, 200, 336, 220});
    testing::internal::CaptureStdout();
    texture.loadScreenData(0, 0, 640, 480);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), tooBig);
    EXPECT_TRUE(texture.flipped);
    copy.loadData(picture.data(), 37, 21, GL_RGB);
    EXPECT_FALSE(copy.flipped);
}

TEST_P(ofTextureTest, ClearReleasesOnceAndCopiesShareNothing) {
    GLuint name = texture.textureId;
    ofTexture copy(texture), assigned, other;
    assigned = texture;
    texture.clear();
    EXPECT_FALSE(glIsTexture(name));
    other.allocate(8, 8, GL_RGB);   // may reuse the freed name, which a second clear must leave alone
    texture.clear();
    EXPECT_TRUE(glIsTexture(other.textureId));
    EXPECT_EQ((std::array<GLuint, 4>{copy.textureId, assigned.textureId, texture.textureId,
                                     static_cast<GLuint>(texture.width)}),
              (std::array<GLuint, 4>{0, 0, 0, 0}));
}

INSTANTIATE_TEST_SUITE_P(BothPaths, ofTextureTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Rectangle" : "PowerOfTwo"; });
