#include "glTestWindow.h"

#include "ofGraphics.h"
#include "ofTexture.h"

#include <array>

using Box = std::array<int, 4>;     // left, top, right, bottom

static const std::string tooBig = "image data too big for allocated texture. not uploading... \n";

// A 37 by 21 picture (odd rows of 111 bytes) in four flat quadrants, red, green / blue, white: red
// lit where right and bottom agree, green on the right, blue at the bottom.
class ofTextureTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        for (int i = 0; i < 37 * 21; i++) {
            bool right = i % 37 >= 18, bottom = i / 37 >= 10;
            for (bool lit : {right == bottom, right, bottom}) {
                picture.push_back(lit ? 255 : 0);
            }
        }
        texture.allocate(37, 21, GL_RGB);
        texture.loadData(picture.data(), 37, 21, GL_RGB);
    }

    // Fills the box, red at top left and white at bottom right: not turned or mirrored.
    void expectUpright(Box expected) {
        PixelBox drawn = drawnBounds();
        EXPECT_EQ((Box{drawn.left, drawn.top, drawn.right, drawn.bottom}), expected);
        EXPECT_EQ(pixelAt(drawn.left, drawn.top), (Rgb{255, 0, 0}));
        EXPECT_EQ(pixelAt(drawn.right, drawn.bottom), (Rgb{255, 255, 255}));
    }

    std::vector<unsigned char> picture;
    ofTexture texture;
};

// An upload too big either way, from memory or the screen, prints one line and changes nothing.
// Colour tints what is drawn.
TEST_F(ofTextureTest, UploadsAndDrawingsLandUprightAtAnySizeAndOversizedUploadsChangeNothing) {
    std::vector<unsigned char> bigger(65 * 33 * 3);
    ofTexture shot;
    shot.allocate(37, 21, GL_RGB);
    testing::internal::CaptureStdout();
    texture.loadData(bigger.data(), texture.allocWidth + 1, 21, GL_RGB);
    texture.loadData(bigger.data(), 37, texture.allocHeight + 1, GL_RGB);
    shot.loadScreenData(0, 0, 640, 480);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), tooBig + tooBig + tooBig);
    texture.draw(10, 10);
    expectUpright({10, 10, 46, 30});
    shot.loadScreenData(10, 10, 37, 21);
    clearFrame();
    shot.draw(300, 200);
    expectUpright({300, 200, 336, 220});

    clearFrame();
    // Centred, each half is truncated toward zero: -37..37 and -21..21.
    ofSetRectMode(OF_RECTMODE_CENTER);
    texture.draw(100, 100, 75, 43);
    expectUpright({63, 79, 136, 120});
    ofSetColor(0, 255, 0);
    texture.draw(100, 100, 75, 43);
    EXPECT_EQ(pixelAt(136, 120), (Rgb{0, 255, 0})) << "white tinted green";
}
