#include "glTestWindow.h"

#include "ofGraphics.h"
#include "ofTrueTypeFont.h"

#include <GL/glew.h>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

static const Rgb black{0, 0, 0};

// The game's font, found from this file's place in the repository so that the
// tests run from any working directory.
static std::string repoFile(const std::string& relative) {
    std::string self = __FILE__;
    std::string tail = "tests/frame/graphics/ofTrueTypeFont_test.cpp";
    if (self.size() < tail.size() || self.compare(self.size() - tail.size(), tail.size(), tail) != 0) {
        return relative;
    }
    return self.substr(0, self.size() - tail.size()) + relative;
}

static const std::string gameFont = repoFile("data/vag.ttf");

static int slotOf(char c) {
    return static_cast<unsigned char>(c) - 33;
}

// A copy of the game's font with its glyph outlines ("glyf" table) overwritten
// with junk: the face opens, the glyphs fail to load.
static std::string damagedFontFile() {
    std::ifstream in(gameFont, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto word = [&](size_t at, int n) {
        size_t value = 0;
        for (int i = 0; i < n; i++) value = value << 8 | bytes.at(at + i);
        return value;
    };
    for (size_t record = 12; record < 12 + 16 * word(4, 2); record += 16) {
        if (std::string(bytes.begin() + record, bytes.begin() + record + 4) == "glyf") {
            std::fill_n(bytes.begin() + word(record + 8, 4), word(record + 12, 4), 0xff);
        }
    }
    std::string path = testing::TempDir() + "damaged_font.ttf";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<char*>(bytes.data()), bytes.size());
    return path;
}

class ofTrueTypeFontTest : public GlTest {
protected:
    std::vector<Rgb> drawn(ofTrueTypeFont& font, const std::string& text) {
        clearFrame();
        font.drawString(text, 50, 100);
        return readFrame();
    }
};

static void expectSameBox(const ofRectangle& actual, const ofRectangle& expected) {
    EXPECT_FLOAT_EQ(actual.x, expected.x);
    EXPECT_FLOAT_EQ(actual.y, expected.y);
    EXPECT_FLOAT_EQ(actual.width, expected.width);
    EXPECT_FLOAT_EQ(actual.height, expected.height);
}

TEST_F(ofTrueTypeFontTest, LineHeightFollowsTheSizeAndNewlinesMoveDownWholePixels) {
    ofTrueTypeFont big, small;
    big.loadFont(gameFont, 48);
    small.loadFont(gameFont, 12);
    ASSERT_TRUE(big.loaded && small.loaded);
    EXPECT_FLOAT_EQ(big.getLineHeight(), 68.64f);
    EXPECT_FLOAT_EQ(small.getLineHeight(), 17.16f);
    EXPECT_EQ(small.stringHeight("H\nH") - small.stringHeight("H"), 17);

    big.drawString("H", 100, 100);
    PixelBox one = drawnBounds();
    clearFrame();
    big.drawString("H\nH", 100, 100);
    PixelBox two = drawnBounds();
    EXPECT_EQ(two.bottom - one.bottom, 68);
    EXPECT_EQ(two.top, one.top);
    EXPECT_EQ(two.left, one.left);
    EXPECT_EQ(two.right, one.right);

    small.setLineHeight(20.9f);
    EXPECT_EQ(small.stringHeight("H\n\nH") - small.stringHeight("H"), 40);
}

TEST_F(ofTrueTypeFontTest, SpaceAdvancesByTheBitmapWidthOfP) {
    ofTrueTypeFont font;
    font.loadFont(gameFont, 32);
    ASSERT_TRUE(font.loaded);
    int pWidth = font.glyphs[slotOf('p')].bitmapWidth;
    EXPECT_EQ(font.stringWidth("H H") - font.stringWidth("HH"), pWidth);
    EXPECT_EQ(font.stringWidth("H   H") - font.stringWidth("HH"), 3 * pWidth);

    // Leading spaces move the box and the ink but do not widen the box.
    ofRectangle plain = font.getStringBoundingBox("H", 0, 0);
    ofRectangle led = font.getStringBoundingBox("  H", 0, 0);
    EXPECT_FLOAT_EQ(led.x, plain.x + 2 * pWidth);
    EXPECT_FLOAT_EQ(led.width, plain.width);
    font.drawString("H", 100, 100);
    PixelBox inkPlain = drawnBounds();
    clearFrame();
    font.drawString(" H", 100, 100);
    EXPECT_EQ(drawnBounds().left, inkPlain.left + pWidth);

    expectSameBox(font.getStringBoundingBox("\n   ", 5, 5), ofRectangle(-1, -1, 0, 0));
}

TEST_F(ofTrueTypeFontTest, BoxesAreTheGlyphQuadsWithTheirMargins) {
    ofTrueTypeFont font, unloaded;
    font.loadFont(gameFont, 48);
    ASSERT_TRUE(font.loaded);
    for (char c : std::string("HiWgj.")) {
        const GlyphProps& glyph = font.glyphs[slotOf(c)];
        ofRectangle box = font.getStringBoundingBox(std::string(1, c), 10, 200);
        EXPECT_EQ(font.stringWidth(std::string(1, c)), glyph.bitmapWidth + 4) << c;
        EXPECT_EQ(font.stringHeight(std::string(1, c)), glyph.bitmapRows + 4) << c;
        EXPECT_FLOAT_EQ(box.x, 10 + glyph.bitmapLeft - 2) << c;
        EXPECT_FLOAT_EQ(box.y, 200 - glyph.bitmapTop - 2) << c;
    }
    expectSameBox(font.getStringBoundingBox("", 3, 4), ofRectangle(0, 0, 0, 0));
    expectSameBox(unloaded.getStringBoundingBox("H", 3, 4), ofRectangle(0, 0, 0, 0));
}

TEST_F(ofTrueTypeFontTest, SkippedBytesNeitherDrawNorMove) {
    ofTrueTypeFont ascii, full;
    ascii.loadFont(gameFont, 32);
    full.loadFont(gameFont, 32, true, true);
    ASSERT_TRUE(ascii.loaded && full.loaded);
    EXPECT_EQ(ascii.numCharacters, 95);
    EXPECT_EQ(full.numCharacters, 256);

    // Bytes 128 to 255 need the full set; tabs and other control bytes are never drawn.
    const std::string skipped = std::string("A\xe9\x80\xff\t\r\x01") + '\0' + "B\x1f";
    expectSameBox(ascii.getStringBoundingBox(skipped, 7, 50), ascii.getStringBoundingBox("AB", 7, 50));
    EXPECT_EQ(drawn(ascii, skipped), drawn(ascii, "AB"));
    EXPECT_EQ(drawn(ascii, "\xe9\xff\t"), drawn(ascii, ""));

    EXPECT_GT(full.stringWidth("A\xe9" "B"), full.stringWidth("AB"));
    EXPECT_NE(drawn(full, "\xe9"), drawn(full, "")) << "e acute is drawn from the full set";
}

TEST_F(ofTrueTypeFontTest, InkSitsOnTheBaselineAtThePenInTheCurrentColour) {
    ofTrueTypeFont font;
    font.loadFont(gameFont, 48);
    ASSERT_TRUE(font.loaded);
    const GlyphProps& h = font.glyphs[slotOf('H')];
    ASSERT_EQ(h.bitmapRows, h.bitmapTop) << "H stands on the baseline";

    ofSetColor(40, 200, 120);
    font.drawString("H", 100, 200);
    PixelBox ink = drawnBounds();
    EXPECT_EQ(ink.bottom, 199) << "the last inked row is the one above the baseline";
    EXPECT_EQ(ink.top, 200 - h.bitmapTop);
    EXPECT_EQ(ink.left, 100 + h.bitmapLeft);
    EXPECT_EQ(ink.right, 100 + h.bitmapLeft + h.bitmapWidth - 1);
    EXPECT_GT(countPixels(Rgb{40, 200, 120}), 200) << "fully covered pixels take the colour";
    for (const Rgb& pixel : readFrame()) {
        EXPECT_NEAR(pixel.g * 40 / 200.0, pixel.r, 1.5) << "edges are the colour scaled down";
        EXPECT_NEAR(pixel.g * 120 / 200.0, pixel.b, 1.5);
    }
    EXPECT_FALSE(glIsEnabled(GL_BLEND)) << "blending and texturing come back as they were";
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

    // A caller's own blending is put back, not merely switched off.
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    font.drawString("H", 300, 200);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    GLint source = 0;
    glGetIntegerv(GL_BLEND_SRC_RGB, &source);
    EXPECT_EQ(source, GL_ONE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_BLEND);
}

TEST_F(ofTrueTypeFontTest, OneBitGlyphsAreSharpAndSitWhereGreyOnesDo) {
    ofTrueTypeFont grey, mono;
    grey.loadFont(gameFont, 48, true, false);
    mono.loadFont(gameFont, 48, false, false);
    ASSERT_TRUE(grey.loaded && mono.loaded);

    grey.drawString("Hx", 100, 200);
    PixelBox greyInk = drawnBounds();
    clearFrame();
    mono.drawString("Hx", 100, 200);
    PixelBox monoInk = drawnBounds();
    EXPECT_NEAR(monoInk.left, greyInk.left, 1);
    EXPECT_NEAR(monoInk.top, greyInk.top, 1);
    EXPECT_NEAR(monoInk.right, greyInk.right, 1);
    EXPECT_NEAR(monoInk.bottom, greyInk.bottom, 1);
    int white = countPixels(Rgb{255, 255, 255});
    EXPECT_GT(white, 200);
    EXPECT_EQ(white + countPixels(black), 640 * 480) << "no grey levels in one-bit glyphs";
}

TEST_F(ofTrueTypeFontTest, FailuresLeaveTheFontUnloadedAndDrawingReportsIt) {
    ofTrueTypeFont font;
    testing::internal::CaptureStdout();
    font.loadFont("no-such-font.ttf", 32);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "an unreadable file is silent";
    EXPECT_FALSE(font.loaded);
    font.loadFont(gameFont, 0);
    EXPECT_FALSE(font.loaded) << "a size below one point";

    testing::internal::CaptureStdout();
    font.drawString("Hello", 100, 100);
    font.drawChar(slotOf('H'), 0, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error : font not allocated -- line 429 in frame/graphics/ofTrueTypeFont.cpp\n"
              "Error : font not allocated -- line 281 in frame/graphics/ofTrueTypeFont.cpp\n");
    EXPECT_EQ(drawnBounds().left, -1) << "nothing drawn";
}

TEST_F(ofTrueTypeFontTest, GlyphsThatFailToLoadAreReportedAndLoadingGoesOn) {
    ofTrueTypeFont font;
    testing::internal::CaptureStdout();
    std::string damaged = damagedFontFile();
    font.loadFont(damaged, 32);
    std::string output = testing::internal::GetCapturedStdout();
    std::remove(damaged.c_str());
    ASSERT_TRUE(font.loaded);
    EXPECT_NE(output.find("error with FT_Load_Glyph 0 \n"), std::string::npos) << output;
    EXPECT_NE(output.find("error with FT_Load_Glyph 94 \n"), std::string::npos) << output;
    font.drawString("Hello", 100, 100);
    EXPECT_EQ(drawnBounds().left, -1) << "failed glyphs draw nothing";
}

// A copy would delete the same GL names twice; fonts move instead.
static_assert(!std::is_copy_constructible_v<ofTrueTypeFont> && !std::is_copy_assignable_v<ofTrueTypeFont>);

TEST_F(ofTrueTypeFontTest, GlyphTexturesHaveOneOwner) {
    auto allAlive = [](const std::vector<GLuint>& names, bool alive) {
        return std::all_of(names.begin(), names.end(),
                           [&](GLuint name) { return (glIsTexture(name) == GL_TRUE) == alive; });
    };
    ofTrueTypeFont first;
    first.loadFont(gameFont, 12);
    std::vector<GLuint> names = first.glyphTextures;
    EXPECT_EQ(names.size(), 95u);
    EXPECT_TRUE(allAlive(names, true));
    first.loadFont("no-such-font.ttf", 12);
    EXPECT_TRUE(allAlive(names, false)) << "released by a failed reload";

    first.loadFont(gameFont, 32);
    names = first.glyphTextures;
    ofTrueTypeFont second(std::move(first));
    EXPECT_FALSE(first.loaded);
    {
        ofTrueTypeFont third;
        third = std::move(second);
        EXPECT_FALSE(second.loaded);
        third.drawString("H", 100, 100);
        EXPECT_GE(drawnBounds().left, 0) << "the new owner draws";
    }
    EXPECT_TRUE(allAlive(names, false)) << "released once, by the last owner's destructor";
}
