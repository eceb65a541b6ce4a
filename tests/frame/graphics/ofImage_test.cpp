#include "commandOutput.h"
#include "glTestWindow.h"
#include "scratchFolder.h"

#include "ofImage.h"

#include <array>
#include <fstream>

using Bytes = std::string;          // raw pixel bytes
using Shape = std::array<int, 4>;   // type, bits per pixel, width, height
using ofImageTest = GlTest;

// 7 by 5 pixels, every byte unlike its neighbours, so a flip, a channel swap
// or a padded row shows.
static Bytes pattern(int channels) {
    Bytes bytes(7 * 5 * channels, '\0');
    for (size_t i = 0; i < bytes.size(); i++) {
        bytes[i] = static_cast<char>(40 + (i * 53) % 211);
    }
    return bytes;
}

static Bytes pixelsOf(ofImage& image) {
    const char* pixels = reinterpret_cast<const char*>(image.getPixels());
    return pixels ? Bytes(pixels, image.width * image.height * image.bpp / 8) : Bytes();
}

static Shape shapeOf(const ofImage& image) {
    return {image.imageType, image.bpp, image.width, image.height};
}

// A file as ImageMagick decodes it to raw bytes ("rgb", "gray", "rgba"), a
// reference independent of ours, reading JPEG with the same fast transform.
static Bytes decoded(const std::string& path, const std::string& rawFormat) {
    return commandOutput("/usr/bin/convert -define jpeg:dct-method=ifast " + path + " -depth 8 " + rawFormat +
                         ":- 2>/dev/null");
}

// Each case: file, raw format and channels of the pattern ImageMagick makes it from with these
// options (ending in a space, or in ':' to name the format), the raw format it decodes to and the
// shape. Each load goes into the image that held the one before; a picture saved as PNG comes out
// upright, and its bitmap in memory stays so.
TEST_F(ofImageTest, LoadsEachKindOfFileTopRowFirstInRgbOrderAndSavesItUpright) {
    using Case = std::tuple<std::string, std::string, int, std::string, std::string, Shape>;
    const Case cases[] = {
        {"colour.jpg", "rgb", 3, "-quality 95 -sampling-factor 1x1 ", "rgb", {IMAGE_TYPE_COLOR, 24, 7, 5}},
        {"palette.png", "rgb", 3, "-define png:color-type=3 ", "rgb", {IMAGE_TYPE_COLOR, 24, 7, 5}},
        {"grey.png", "gray", 1, "-define png:color-type=0 ", "gray", {IMAGE_TYPE_GRAYSCALE, 8, 7, 5}},
        {"alpha.png", "rgba", 4, "PNG32:", "rgba", {IMAGE_TYPE_COLOR_ALPHA, 32, 7, 5}},
        {"grey16.png", "gray", 1, "-depth 16 -define png:bit-depth=16 ", "rgb", {IMAGE_TYPE_COLOR, 24, 7, 5}},
        {"mono.wbmp", "gray", 1, "", "rgb", {IMAGE_TYPE_COLOR, 24, 7, 5}},      // 1 bit, known by its name
        {"named.jpg", "rgb", 3, "PNG24:", "rgb", {IMAGE_TYPE_COLOR, 24, 7, 5}},  // the content wins
        {"text.png", "rgb", 3, "INFO:", "rgb", {IMAGE_TYPE_COLOR, 0, 0, 0}},    // a line of text
    };
    ScratchFolder folder;
    ofImage image;
    testing::internal::CaptureStdout();
    for (const auto& [name, rawFormat, channels, options, reference, shape] : cases) {
        std::string path = folder.file(name);
        std::ofstream(folder.file("raw")) << pattern(channels);
        commandOutput("/usr/bin/convert -size 7x5 -depth 8 " + rawFormat + ":" + folder.file("raw ") +
                      options + path + " 2>/dev/null");
        image.loadImage(path);
        Bytes loaded = pixelsOf(image);
        EXPECT_EQ(shapeOf(image), shape) << name;
        EXPECT_EQ(loaded, decoded(path, reference)) << name;
        EXPECT_EQ(image.saveImage(path + ".png"), shape[1] > 0) << name;
        EXPECT_FALSE(image.saveImage(path + ".nothing")) << name;
        EXPECT_EQ(decoded(path + ".png", reference), loaded) << name;
        image.update();
        EXPECT_EQ(pixelsOf(image), loaded) << name;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "failed loads are silent";
}

// Per type: a picture from pixels in R, G, B order (or B, G, R), copied, drawn at its own size and
// another, grabbed into an image of that type and another size (resized first), converted, cleared.
TEST_F(ofImageTest, PicturesFromPixelsDrawUprightGrabBackAndConvertInEveryType) {
    for (const auto& [type, channels] : {std::pair{IMAGE_TYPE_GRAYSCALE, 1}, {IMAGE_TYPE_COLOR, 3},
                                         {IMAGE_TYPE_COLOR_ALPHA, 4}}) {
        Bytes given = pattern(channels), before = given;
        ofImage image, grab;
        image.setFromPixels(reinterpret_cast<const unsigned char*>(given.data()), 7, 5, type, true);
        EXPECT_EQ(given, before) << "the caller's buffer is left as it was";
        ofImage copy(image);
        copy = copy;
        image.getPixels()[0] ^= 0xFF;
        image.setImageType(type);
        EXPECT_EQ(pixelsOf(image), given) << "the same type rebuilds the pixels too";
        clearFrame();
        image.draw(100, 50);
        image.draw(300, 50, 14, 10);
        grab.allocate(3, 3, type);
        grab.grabScreen(100, 50, 7, 5);
        EXPECT_EQ(pixelsOf(grab), given);
        EXPECT_EQ(drawnBounds().right, 313) << "drawn at its size too";
        image.setImageType(IMAGE_TYPE_COLOR_ALPHA);
        image.resize(6, 4);
        EXPECT_EQ(shapeOf(image), (Shape{IMAGE_TYPE_COLOR_ALPHA, 32, 6, 4}));
        EXPECT_EQ(pixelsOf(copy), given) << "a copy keeps its own picture";
        image.clear();
        EXPECT_EQ(shapeOf(image), (Shape{IMAGE_TYPE_UNDEFINED, 0, 0, 0}));
        EXPECT_EQ(image.texture.textureId, 0u);
        image.setFromPixels(reinterpret_cast<const unsigned char*>(given.data()), 7, 5, type, false);
        EXPECT_EQ(pixelsOf(image)[0], given[channels == 1 ? 0 : 2]) << "B, G, R order";
    }
}
