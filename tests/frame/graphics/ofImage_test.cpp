#include "glTestWindow.h"
#include "scratchFolder.h"

#include "ofGraphics.h"
#include "ofImage.h"

#include <GL/glew.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

using Bytes = std::vector<unsigned char>;

// The files one test makes, named by dir("name").
struct ScratchDir : ScratchFolder {
    ScratchDir() : ScratchFolder("ofImageTest") {}
    std::string operator()(const std::string& name) const { return file(name); }
};

// ImageMagick writes the test pictures from raw bytes and decodes them again
// for reference: a decoder independent of the one under test. Options ending
// in ':' name the output format ("PNG32:").
static void makeFile(const Bytes& raw, const std::string& rawFormat, int w, int h,
                     const std::string& options, const std::string& path) {
    std::ofstream(path + ".raw", std::ios::binary).write(reinterpret_cast<const char*>(raw.data()), raw.size());
    std::string size = std::to_string(w) + "x" + std::to_string(h);
    std::string out = !options.empty() && options.back() == ':' ? options + path : options + " " + path;
    std::string command = "/usr/bin/convert -size " + size + " -depth 8 " + rawFormat + ":" + path + ".raw " + out;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

static Bytes decode(const std::string& file, const std::string& rawFormat) {
    Bytes out;
    FILE* pipe = popen(("/usr/bin/convert " + file + " -depth 8 " + rawFormat + ":-").c_str(), "r");
    for (int c; pipe && (c = std::fgetc(pipe)) != EOF;) out.push_back(static_cast<unsigned char>(c));
    if (pipe) pclose(pipe);
    return out;
}

// Bit depth and colour type (0 grey, 3 palette, 6 RGBA) of a PNG: the file is
// the kind the test means.
static std::pair<int, int> pngKind(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    in.seekg(24);
    int depth = in.get();
    return {depth, in.get()};
}

// Every byte unlike its neighbours, so a flip, a channel swap or a wrongly
// padded row shows; the odd width gives FreeImage padded rows.
static Bytes pattern(int channels, int w = 7, int h = 5) {
    Bytes bytes(w * h * channels);
    for (size_t i = 0; i < bytes.size(); i++) bytes[i] = static_cast<unsigned char>(40 + (i * 53) % 211);
    return bytes;
}

// Flat blocks, red green / blue white, that survive JPEG and scaling.
static Bytes quadrants(int w, int h) {
    static const unsigned char colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    Bytes rgb;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const unsigned char* colour = colours[(y < h / 2 ? 0 : 2) + (x < w / 2 ? 0 : 1)];
            rgb.insert(rgb.end(), colour, colour + 3);
        }
    return rgb;
}

static Bytes pixelsOf(ofImage& image) {
    unsigned char* p = image.getPixels();
    return p ? Bytes(p, p + image.width * image.height * image.bpp / 8) : Bytes();
}

static Bytes pixelOf(ofImage& image, int x, int y) {
    int size = image.bpp / 8;
    unsigned char* p = image.getPixels() + (y * image.width + x) * size;
    return Bytes(p, p + size);
}

static int maxDifference(const Bytes& a, const Bytes& b) {
    int worst = a.size() == b.size() ? 0 : 256;
    for (size_t i = 0; i < a.size() && i < b.size(); i++) worst = std::max(worst, std::abs(a[i] - b[i]));
    return worst;
}

static void expectPicture(ofImage& image, int type, int bpp, int w, int h) {
    EXPECT_EQ(image.imageType, type);
    EXPECT_EQ(image.bpp, bpp);
    EXPECT_EQ(image.width, w);
    EXPECT_EQ(image.height, h);
}

// ---- Loading: no window needed -------------------------------------------------------

TEST(ofImage, LoadsEachKindOfFileTopRowFirstInRgbOrder) {
    ScratchDir dir;
    ofImage image;
    image.setUseTexture(false);
    makeFile(quadrants(32, 24), "rgb", 32, 24, "-quality 95", dir("colour.jpg"));
    image.loadImage(dir("colour.jpg"));
    expectPicture(image, IMAGE_TYPE_COLOR, 24, 32, 24);
    EXPECT_LE(maxDifference(pixelsOf(image), decode(dir("colour.jpg"), "rgb")), 8);

    // Loaded into the image that held the JPEG.
    makeFile(pattern(3), "rgb", 7, 5, "-define png:color-type=3 -define png:bit-depth=8", dir("palette.png"));
    ASSERT_EQ(pngKind(dir("palette.png")), std::make_pair(8, 3));
    image.loadImage(dir("palette.png"));
    expectPicture(image, IMAGE_TYPE_COLOR, 24, 7, 5);
    EXPECT_EQ(pixelsOf(image), decode(dir("palette.png"), "rgb"));

    makeFile(pattern(1), "gray", 7, 5, "-define png:color-type=0 -define png:bit-depth=8", dir("grey.png"));
    ASSERT_EQ(pngKind(dir("grey.png")), std::make_pair(8, 0));
    image.loadImage(dir("grey.png"));
    expectPicture(image, IMAGE_TYPE_GRAYSCALE, 8, 7, 5);
    EXPECT_EQ(pixelsOf(image), decode(dir("grey.png"), "gray"));

    makeFile(pattern(4), "rgba", 7, 5, "PNG32:", dir("alpha.png"));
    ASSERT_EQ(pngKind(dir("alpha.png")), std::make_pair(8, 6));
    image.loadImage(dir("alpha.png"));
    expectPicture(image, IMAGE_TYPE_COLOR_ALPHA, 32, 7, 5);
    EXPECT_EQ(pixelsOf(image), decode(dir("alpha.png"), "rgba"));
}

TEST(ofImage, ConvertsOddDepthsToColour) {
    ScratchDir dir;
    ofImage image;
    image.setUseTexture(false);
    Bytes grey = pattern(1), greyAsRgb;
    for (unsigned char value : grey) greyAsRgb.insert(greyAsRgb.end(), {value, value, value});
    makeFile(grey, "gray", 7, 5, "-depth 16 -define png:color-type=0 -define png:bit-depth=16", dir("grey16.png"));
    ASSERT_EQ(pngKind(dir("grey16.png")), std::make_pair(16, 0));
    image.loadImage(dir("grey16.png"));
    expectPicture(image, IMAGE_TYPE_COLOR, 24, 7, 5);
    EXPECT_EQ(pixelsOf(image), greyAsRgb);

    // 1 bit a pixel, white then black on the top row; its content names no
    // format, so it is found by its extension.
    std::ofstream(dir("mono.wbmp"), std::ios::binary).write("\x00\x00\x08\x02\xf0\x0f", 6);
    image.loadImage(dir("mono.wbmp"));
    expectPicture(image, IMAGE_TYPE_COLOR, 24, 8, 2);
    EXPECT_EQ(pixelOf(image, 0, 0), Bytes({255, 255, 255}));
    EXPECT_EQ(pixelOf(image, 0, 1), Bytes({0, 0, 0}));
}

TEST(ofImage, FailedLoadsAreSilentAndLeaveNoPicture) {
    ScratchDir dir;
    ofImage image;
    image.setUseTexture(false);
    makeFile(pattern(3), "rgb", 7, 5, "PNG24:", dir("named.jpg"));
    image.loadImage(dir("named.jpg"));              // the content wins over the name
    EXPECT_EQ(pixelsOf(image), pattern(3));

    std::ofstream(dir("text.png")) << "not a picture";
    for (std::string name : {"missing.png", "text.png", "missing.nothing"}) {
        testing::internal::CaptureStdout();
        image.loadImage(dir(name));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << name;
        EXPECT_FALSE(image.isValid()) << name;
        EXPECT_EQ(image.getPixels(), nullptr) << name;
        EXPECT_EQ(image.width + image.height + image.bpp, 0) << name;
        image.loadImage(dir("named.jpg"));
    }
}

// ---- Pictures with textures ----------------------------------------------------------

class ofImageTest : public GlTest {
protected:
    GLint textureFormat(ofImage& image) {
        GLint format = 0;
        glBindTexture(image.texture.target, image.texture.textureId);
        glGetTexLevelParameteriv(image.texture.target, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
        glBindTexture(image.texture.target, 0);
        return format;
    }
};

TEST_F(ofImageTest, SetFromPixelsKeepsTheCallersBufferAndSavesUpright) {
    ScratchDir dir;
    ofImage image;
    for (int channels : {3, 4}) {
        Bytes given = pattern(channels), before = given;
        int type = channels == 3 ? IMAGE_TYPE_COLOR : IMAGE_TYPE_COLOR_ALPHA;
        image.setFromPixels(given.data(), 7, 5, type, true);
        EXPECT_EQ(given, before);
        EXPECT_EQ(pixelsOf(image), given);
        EXPECT_EQ(textureFormat(image), channels == 3 ? GL_RGB : GL_RGBA);
        image.setFromPixels(given.data(), 7, 5, type, false);   // B, G, R order
        EXPECT_EQ(pixelOf(image, 0, 0)[0], given[2]);
        EXPECT_EQ(pixelOf(image, 0, 0)[2], given[0]);
    }

    Bytes grey = pattern(1);
    image.setFromPixels(grey.data(), 7, 5, IMAGE_TYPE_GRAYSCALE, true);
    expectPicture(image, IMAGE_TYPE_GRAYSCALE, 8, 7, 5);
    EXPECT_EQ(textureFormat(image), GL_LUMINANCE);
    ASSERT_TRUE(image.saveImage(dir("grey.png")));
    EXPECT_EQ(decode(dir("grey.png"), "gray"), grey);
    image.update();                                 // the bitmap in memory is upright still
    EXPECT_EQ(pixelsOf(image), grey);

    EXPECT_FALSE(image.saveImage(dir("grey.nothing")));
    image.setFromPixels(nullptr, 7, 5, IMAGE_TYPE_COLOR, true);
    EXPECT_FALSE(image.saveImage(dir("empty.png")));
}

TEST_F(ofImageTest, SetImageTypeConvertsAndAlwaysRebuilds) {
    Bytes rgb = pattern(3), rgba;
    for (size_t i = 0; i < rgb.size(); i += 3) rgba.insert(rgba.end(), {rgb[i], rgb[i + 1], rgb[i + 2], 255});
    ofImage image;
    image.setFromPixels(rgb.data(), 7, 5, IMAGE_TYPE_COLOR, true);
    image.getPixels()[0] ^= 0xFF;
    image.setImageType(IMAGE_TYPE_COLOR);           // same type: the pixels are rebuilt anyway
    EXPECT_EQ(pixelsOf(image), rgb);

    image.setImageType(IMAGE_TYPE_COLOR_ALPHA);
    expectPicture(image, IMAGE_TYPE_COLOR_ALPHA, 32, 7, 5);
    EXPECT_EQ(textureFormat(image), GL_RGBA);
    EXPECT_EQ(pixelsOf(image), rgba);
    image.setImageType(IMAGE_TYPE_GRAYSCALE);
    expectPicture(image, IMAGE_TYPE_GRAYSCALE, 8, 7, 5);
    EXPECT_EQ(textureFormat(image), GL_LUMINANCE);
}

TEST_F(ofImageTest, CopiesAreDeepResizeAndClear) {
    Bytes rgb = quadrants(8, 6);
    ofImage original;
    original.setFromPixels(rgb.data(), 8, 6, IMAGE_TYPE_COLOR, true);
    ofImage copy(original), assigned;
    assigned = original;
    assigned = assigned;
    original.resize(16, 12);                        // the copies keep their own bitmaps
    for (ofImage* image : {&copy, &assigned}) {
        EXPECT_EQ(pixelsOf(*image), rgb);
    }
    expectPicture(original, IMAGE_TYPE_COLOR, 24, 16, 12);
    EXPECT_EQ(pixelOf(original, 0, 0), Bytes({255, 0, 0}));
    EXPECT_EQ(pixelOf(original, 0, 11), Bytes({0, 0, 255}));

    original.clear();
    EXPECT_EQ(original.getPixels(), nullptr);
    expectPicture(original, IMAGE_TYPE_UNDEFINED, 0, 0, 0);
    EXPECT_EQ(original.texture.textureId, 0u);
    original.allocate(5, 4, IMAGE_TYPE_COLOR_ALPHA);
    expectPicture(original, IMAGE_TYPE_COLOR_ALPHA, 32, 5, 4);
    EXPECT_EQ(pixelsOf(original), Bytes(5 * 4 * 4, 0));
}

TEST_F(ofImageTest, DrawsUprightAtItsPlaceAndSize) {
    Bytes rgb = quadrants(40, 30);
    ofImage image;
    image.setFromPixels(rgb.data(), 40, 30, IMAGE_TYPE_COLOR, true);
    image.draw(100, 50);
    EXPECT_EQ(boundsOf(Rgb{255, 0, 0}).left, 100);
    EXPECT_EQ(boundsOf(Rgb{255, 0, 0}).top, 50);
    EXPECT_EQ(boundsOf(Rgb{255, 255, 255}).right, 139);
    EXPECT_EQ(boundsOf(Rgb{255, 255, 255}).bottom, 79);
    clearFrame();
    image.draw(200, 100, 80, 60);
    EXPECT_EQ(pixelAt(200, 159), (Rgb{0, 0, 255}));
    EXPECT_EQ(pixelAt(279, 100), (Rgb{0, 255, 0}));
    EXPECT_EQ(pixelAt(280, 160), (Rgb{0, 0, 0}));
}

TEST_F(ofImageTest, GrabScreenReadsUprightInEveryType) {
    ofSetColor(255, 0, 0);
    ofRect(10, 20, 30, 10);                         // red band above
    ofSetColor(100, 100, 100);
    ofRect(10, 30, 30, 10);                         // mid grey band below
    ofImage image;
    image.grabScreen(10, 20, 30, 20);
    expectPicture(image, IMAGE_TYPE_COLOR, 24, 30, 20);
    EXPECT_EQ(pixelOf(image, 0, 0), Bytes({255, 0, 0}));
    EXPECT_EQ(pixelOf(image, 29, 19), Bytes({100, 100, 100}));

    // A second grab of another size resizes the bitmap first and keeps its type.
    image.setImageType(IMAGE_TYPE_COLOR_ALPHA);
    image.grabScreen(10, 25, 5, 10);
    expectPicture(image, IMAGE_TYPE_COLOR_ALPHA, 32, 5, 10);
    EXPECT_EQ(pixelOf(image, 0, 0), Bytes({255, 0, 0, 255}));
    EXPECT_EQ(pixelOf(image, 4, 9), Bytes({100, 100, 100, 255}));

    image.setImageType(IMAGE_TYPE_GRAYSCALE);
    image.grabScreen(10, 30, 5, 10);
    expectPicture(image, IMAGE_TYPE_GRAYSCALE, 8, 5, 10);
    EXPECT_EQ(pixelsOf(image), Bytes(50, 100));
}
