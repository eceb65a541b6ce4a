#include "glTestWindow.h"
#include "scratchFolder.h"

#include "ofGraphics.h"
#include "ofTrueTypeFont.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <fstream>
#include <type_traits>

using Box = std::array<float, 4>;   // x, y, width, height
using ofTrueTypeFontTest = GlTest;

static Box box(ofTrueTypeFont& font, const std::string& text, float x = 0, float y = 0) {
    ofRectangle measured = font.getStringBoundingBox(text, x, y);
    return {measured.x, measured.y, measured.width, measured.height};
}

static const GlyphProps& glyph(const ofTrueTypeFont& font, char c) {
    return font.glyphs[static_cast<unsigned char>(c) - 33];
}

static long alive(const std::vector<GLuint>& names) {
    return std::count_if(names.begin(), names.end(), glIsTexture);
}

// A glyph's quad runs from its bitmap's corner over the bitmap and both
// margins (2 px each). A space is as wide as the bitmap of "p", a newline
// moves down by 1.43 times the size in whole pixels, and bytes with no glyph
// in the set (95 glyphs unless the full 256) neither draw nor move.
TEST_F(ofTrueTypeFontTest, BoxesAreTheUnionOfTheGlyphQuads) {
    ofTrueTypeFont font;
    font.loadFont(GAME_FONT, 48);
    for (char c : std::string("HiWgj.")) {
        const GlyphProps& g = glyph(font, c);
        EXPECT_EQ(box(font, std::string(1, c), 10, 200),
                  (Box{10.0f + g.bitmapLeft, 200.0f - g.bitmapTop, g.bitmapWidth + 4.0f, g.bitmapRows + 4.0f}));
    }
    int p = glyph(font, 'p').bitmapWidth;
    Box h = box(font, "H");
    EXPECT_EQ(box(font, "  H\n\n  H"), (Box{h[0] + 2 * p, h[1], h[2], h[3] + 136}));
    EXPECT_EQ(font.stringWidth("H H") - font.stringWidth("HH"), p);
    EXPECT_EQ(box(font, std::string("A\xe9\x80\xff\t\r\x01") + '\0' + "B\x1f"), box(font, "AB"));
    EXPECT_EQ(box(font, "\n   ", 5, 5), (Box{-1, -1, 0, 0}));
    EXPECT_EQ(box(font, "", 3, 4), (Box{0, 0, 0, 0}));
    EXPECT_FLOAT_EQ(font.getLineHeight(), 68.64f);
    font.loadFont(GAME_FONT, 12, true, true);
    font.drawString("\xe9", 50, 100);
    EXPECT_GE(drawnBounds().left, 0) << "the full set draws e acute";
}

// The ink lies a margin inside the quad: a margin right of and below the
// bitmap's corner, for one-bit glyphs as for grey ones.
TEST_F(ofTrueTypeFontTest, InkLandsAMarginInsideTheQuadInTheCurrentColourLeavingGlStateAsItWas) {
    ofTrueTypeFont font;
    for (bool antialiased : {true, false}) {
        font.loadFont(GAME_FONT, 48, antialiased, false);
        const GlyphProps& h = glyph(font, 'H');
        int left = 100 + glyph(font, 'p').bitmapWidth + h.bitmapLeft + 2;
        int top = 200 - h.bitmapTop + 2;
        clearFrame();
        ofSetColor(40, 200, 120);
        font.drawString(" H\n H", 100, 200);
        PixelBox ink = drawnBounds();
        EXPECT_EQ((std::array<int, 4>{ink.left, ink.top, ink.right, ink.bottom}),
                  (std::array<int, 4>{left, top, left + h.bitmapWidth - 1, top + h.bitmapRows - 1 + 68}));
        EXPECT_EQ(countPixels(Rgb{40, 200, 120}) + countPixels(Rgb{0, 0, 0}) == 640 * 480, !antialiased);
        EXPECT_FALSE(glIsEnabled(GL_BLEND) || glIsEnabled(GL_TEXTURE_2D));
    }
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    font.drawString("H", 300, 200);
    GLint source = 0;
    glGetIntegerv(GL_BLEND_SRC_RGB, &source);
    EXPECT_TRUE(glIsEnabled(GL_BLEND) && source == GL_ONE) << "a caller's own blending comes back";
    ofEnableAlphaBlending();
}

// The damaged font has its glyph outlines (the "glyf" table, found by its
// record in the table directory) overwritten: it opens, its glyphs do not load.
TEST_F(ofTrueTypeFontTest, FailuresLeaveTheFontUnloadedAndAreReportedAsTheyHappen) {
    ofTrueTypeFont font;
    font.loadFont(GAME_FONT, 12);
    std::vector<GLuint> names = font.glyphTextures;
    font.loadFont(GAME_FONT, 0);
    EXPECT_FALSE(font.loaded);
    testing::internal::CaptureStdout();
    font.loadFont("no-such-font.ttf", 32);
    EXPECT_EQ(alive(names), 0) << "a reload releases the old glyphs";
    font.drawString("Hello", 100, 100);
    font.drawChar(0, 0, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error : font not allocated -- line 429 in frame/graphics/ofTrueTypeFont.cpp\n"
              "Error : font not allocated -- line 281 in frame/graphics/ofTrueTypeFont.cpp\n");
    EXPECT_EQ(box(font, "H", 3, 4), (Box{0, 0, 0, 0}));

    std::ifstream in(GAME_FONT, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    uint32_t offsetAndLength[2];
    std::memcpy(offsetAndLength, &bytes[bytes.find("glyf") + 8], sizeof(offsetAndLength));
    bytes.replace(ntohl(offsetAndLength[0]), ntohl(offsetAndLength[1]), ntohl(offsetAndLength[1]), '\xff');
    ScratchFolder folder;
    std::ofstream(folder.file("damaged.ttf"), std::ios::binary) << bytes;
    testing::internal::CaptureStdout();
    font.loadFont(folder.file("damaged.ttf"), 32);
    std::string output = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(font.loaded) << "damaged glyphs do not stop the loading";
    EXPECT_NE(output.find("error with FT_Load_Glyph 0 \n"), std::string::npos) << output;
    EXPECT_NE(output.find("error with FT_Load_Glyph 94 \n"), std::string::npos) << output;
    font.drawString("Hello", 100, 100);
    EXPECT_EQ(drawnBounds().left, -1) << "neither the unloaded font nor failed glyphs draw";
}

// A copy would delete the same GL names twice; fonts move instead.
static_assert(!std::is_copy_constructible_v<ofTrueTypeFont> && !std::is_copy_assignable_v<ofTrueTypeFont>);

TEST_F(ofTrueTypeFontTest, GlyphTexturesHaveOneOwnerThroughMoves) {
    ofTrueTypeFont font;
    font.loadFont(GAME_FONT, 12);
    std::vector<GLuint> names = font.glyphTextures;
    {
        ofTrueTypeFont last;
        {
            ofTrueTypeFont moved(std::move(font));
            last = std::move(moved);
        }
        EXPECT_FALSE(font.loaded);
        last.drawString("H", 100, 100);
        EXPECT_GE(drawnBounds().left, 0) << "the last owner draws";
    }
    EXPECT_EQ(alive(names), 0) << "released once, by the last owner";
}
