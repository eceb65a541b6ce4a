#include "commandOutput.h"
#include "glTestWindow.h"
#include "scratchFolder.h"

#include "ofImage.h"

#include <array>
#include <fstream>

using Bytes = std::vector<unsigned char>;
using Shape = std::array<int, 4>;   // type, bits per pixel, width, height

// 7 by 5 pixels, every byte unlike its neighbours, so a flip, a channel swap
// or a padded row shows.
static Bytes pattern(int channels) {
    Bytes bytes(7 * 5 * channels);
    for (size_t i = 0; i < bytes.size(); i++) {
        bytes[i] = static_cast<unsigned char>(40 + (i * 53) % 211);
    }
    return bytes;
}

static Bytes pixelsOf(ofImage& image) {
    unsigned char* pixels = image.getPixels();
    return pixels ? Bytes(pixels, pixels + image.width * image.height * image.bpp / 8) : Bytes();
}

static Shape shapeOf(const ofImage& image) {
    return {image.imageType, image.bpp, image.width, image.height};
}

// A file as ImageMagick decodes it to raw bytes ("rgb", "gray", "rgba"): a
// reference independent of the decoder under test, reading JPEG with the same
// fast integer transform.
static Bytes decoded(const std::string& path, const std::string& rawFormat) {
    std::string bytes = commandOutput("/usr/bin/convert -define jpeg:dct-method=ifast " + path + " -depth 8 " +
                                      rawFormat + ":- 2>/dev/null");
    return Bytes(bytes.begin(), bytes.end());
}

using ofImageTest = GlTest;

// Each case: file, raw format and channels of the pattern ImageMagick makes it
// from with these options (ending in a space, or in ':' to name the format;
// files in a missing folder are never made), the raw format it decodes to and
// the shape. Each load goes into the image that held the one before; a picture
// saved as PNG comes out upright, and stays so in memory.
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
        {"none/missing.png", "rgb", 3, "", "rgb", {IMAGE_TYPE_COLOR, 0, 0, 0}},
        {"none/missing.nothing", "rgb", 3, "", "rgb", {IMAGE_TYPE_COLOR, 0, 0, 0}},
    };
    ScratchFolder folder;
    ofImage image;
    testing::internal::CaptureStdout();
    for (const auto& [name, rawFormat, channels, options, reference, shape] : cases) {
        std::string path = folder.file(name);
        Bytes raw = pattern(channels);
        std::ofstream(folder.file("raw")) << std::string(raw.begin(), raw.end());
        commandOutput("/usr/bin/convert -size 7x5 -depth 8 " + rawFormat + ":" + folder.file("raw ") + options + path +
                      " 2>/dev/null");
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

// Each kind is drawn and grabbed again, into an image of that kind and of
// another size, which the grab resizes first.
TEST_F(ofImageTest, PicturesFromPixelsDrawUprightAndGrabBackInEveryType) {
    for (const auto& [type, channels] : {std::pair{IMAGE_TYPE_GRAYSCALE, 1}, {IMAGE_TYPE_COLOR, 3},
                                         {IMAGE_TYPE_COLOR_ALPHA, 4}}) {
        Bytes given = pattern(channels), before = given;
        ofImage image, grab;
        image.setFromPixels(given.data(), 7, 5, type, true);
        EXPECT_EQ(given, before) << "the caller's buffer is left as it was";
        image.getPixels()[0] ^= 0xFF;
        image.setImageType(type);
        EXPECT_EQ(pixelsOf(image), given) << "the same type rebuilds the pixels too";
        clearFrame();
        image.draw(100, 50);
        grab.allocate(3, 3, type);
        grab.grabScreen(100, 50, 7, 5);
        EXPECT_EQ(pixelsOf(grab), given);
        image.setFromPixels(given.data(), 7, 5, type, false);
        EXPECT_EQ(pixelsOf(image)[0], given[channels == 1 ? 0 : 2]) << "B, G, R order";
    }
}

TEST_F(ofImageTest, ConvertsCopiesDeeplyResizesClearsAllocatesAndDrawsAtSize) {
    Bytes rgb = pattern(3);
    ofImage original, assigned;
    original.setFromPixels(rgb.data(), 7, 5, IMAGE_TYPE_COLOR, true);
    ofImage copy(original);
    assigned = original;
    assigned = assigned;
    original.draw(200, 50, 14, 10);
    original.setImageType(IMAGE_TYPE_COLOR_ALPHA);
    EXPECT_EQ(Bytes(original.getPixels(), original.getPixels() + 4), Bytes({rgb[0], rgb[1], rgb[2], 255}));
    original.grabScreen(200, 50, 14, 10);
    EXPECT_EQ(shapeOf(original), (Shape{IMAGE_TYPE_COLOR_ALPHA, 32, 14, 10}));
    EXPECT_EQ(pixelsOf(original)[14 * 10 * 4 - 2], rgb.back()) << "drawn at its size, corner to corner";
    original.setImageType(IMAGE_TYPE_GRAYSCALE);
    original.resize(6, 4);
    EXPECT_EQ(shapeOf(original), (Shape{IMAGE_TYPE_GRAYSCALE, 8, 6, 4}));
    EXPECT_EQ(pixelsOf(copy), rgb) << "copies keep their own pictures";
    EXPECT_EQ(pixelsOf(assigned), rgb);
    original.clear();
    EXPECT_EQ(shapeOf(original), (Shape{IMAGE_TYPE_UNDEFINED, 0, 0, 0}));
    EXPECT_EQ(original.texture.textureId, 0u);
    original.allocate(5, 4, IMAGE_TYPE_COLOR_ALPHA);
    EXPECT_EQ(shapeOf(original), (Shape{IMAGE_TYPE_COLOR_ALPHA, 32, 5, 4}));
    EXPECT_EQ(pixelsOf(original), Bytes(5 * 4 * 4, 0));
}
