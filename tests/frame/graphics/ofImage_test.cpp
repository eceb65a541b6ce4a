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
// options (ending in a space, or in ':' to name the format), and the shape it loads as. Each load
// goes into the image that held the one before.
TEST_F(ofImageTest, LoadsEachKindOfFileTopRowFirstInRgbOrder) {
    using Case = std::tuple<std::string, std::string, int, std::string, Shape>;
    const Case cases[] = {
        {"colour.jpg", "rgb", 3, "-quality 95 -sampling-factor 1x1 ", {IMAGE_TYPE_COLOR, 24, 7, 5}},
        {"text.png", "rgb", 3, "INFO:", {IMAGE_TYPE_COLOR, 0, 0, 0}},    // a line of text
        {"palette.png", "rgb", 3, "-define png:color-type=3 ", {IMAGE_TYPE_COLOR, 24, 7, 5}},
        {"grey.png", "gray", 1, "-define png:color-type=0 ", {IMAGE_TYPE_GRAYSCALE, 8, 7, 5}},
        {"alpha.png", "rgba", 4, "PNG32:", {IMAGE_TYPE_COLOR_ALPHA, 32, 7, 5}},
    };
    ScratchFolder folder;
    ofImage image;
    for (const auto& [name, rawFormat, channels, options, shape] : cases) {
        std::string path = folder.file(name);
        std::ofstream(folder.file("raw")) << pattern(channels);
        commandOutput("/usr/bin/convert -size 7x5 -depth 8 " + rawFormat + ":" + folder.file("raw ") +
                      options + path + " 2>/dev/null");
        image.loadImage(path);
        EXPECT_EQ(shapeOf(image), shape) << name;
        EXPECT_EQ(pixelsOf(image), decoded(path, rawFormat)) << name;
        EXPECT_EQ(image.isValid(), shape[1] > 0) << name << ": a failed load keeps no older picture";
    }
}

// Per type: a picture from pixels in R, G, B order (or B, G, R), copied, drawn, grabbed back into an
// image of that type and another size, converted.
TEST_F(ofImageTest, PicturesFromPixelsDrawUprightGrabBackAndConvertInEveryType) {
    for (const auto& [type, channels] : {std::pair{IMAGE_TYPE_GRAYSCALE, 1}, {IMAGE_TYPE_COLOR, 3},
                                         {IMAGE_TYPE_COLOR_ALPHA, 4}}) {
        Bytes given = pattern(channels), before = given;
        ofImage image, grab;
        image.setFromPixels(reinterpret_cast<const unsigned char*>(given.data()), 7, 5, type, true);
        EXPECT_EQ(given, before) << "the caller's buffer is left as it was";
        ofImage copy(image);
        clearFrame();
        image.draw(100, 50);
        grab.allocate(3, 3, type);
        grab.grabScreen(100, 50, 7, 5);
        EXPECT_EQ(pixelsOf(grab), given);
        image.setImageType(IMAGE_TYPE_COLOR_ALPHA);
        EXPECT_EQ(shapeOf(image), (Shape{IMAGE_TYPE_COLOR_ALPHA, 32, 7, 5}));
        EXPECT_EQ(pixelsOf(copy), given) << "a copy keeps its own picture";
        image.setFromPixels(reinterpret_cast<const unsigned char*>(given.data()), 7, 5, type, false);
        EXPECT_EQ(pixelsOf(image)[0], given[channels == 1 ? 0 : 2]) << "B, G, R order";
    }
}
