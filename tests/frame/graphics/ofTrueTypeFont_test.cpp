#include "glTestWindow.h"

#include "ofGraphics.h"
#include "ofTrueTypeFont.h"

#include <array>

using Edges = std::array<float, 4>;     // left, top, right, bottom
using ofTrueTypeFontTest = GlTest;

static Edges edgesOf(ofTrueTypeFont& font, const std::string& text, float x = 0, float y = 0) {
    ofRectangle measured = font.getStringBoundingBox(text, x, y);
    return {measured.x, measured.y, measured.x + measured.width, measured.y + measured.height};
}

static const GlyphProps& glyph(const ofTrueTypeFont& font, char c) {
    return font.glyphs[static_cast<unsigned char>(c) - 33];
}

// A glyph's quad runs from its bitmap's corner over the bitmap and both margins (2 px each); its ink,
// one-bit or grey, lies a margin inside, in the current colour, leaving the caller's GL state as it
// was. A space is as wide as the bitmap of "p", a newline moves down by 1.43 times the size in whole
// pixels, and bytes with no glyph in the set neither draw nor move.
TEST_F(ofTrueTypeFontTest, BoxesAreTheUnionOfTheGlyphQuadsWithTheInkAMarginInside) {
    ofTrueTypeFont font;
    font.loadFont(GAME_FONT, 48);
    const GlyphProps& h = glyph(font, 'H');
    int p = glyph(font, 'p').bitmapWidth;
    float left = 10.0f + 2 * p + h.bitmapLeft, top = 200.0f - h.bitmapTop;
    EXPECT_EQ(edgesOf(font, "  H\n\n  HH", 10, 200),
              (Edges{left, top, left + h.advance + h.bitmapWidth + 4, top + h.bitmapRows + 4 + 136}));
    EXPECT_EQ(edgesOf(font, std::string("A\xe9\x80\xff\t\r\x01") + '\0' + "B\x1f"), edgesOf(font, "AB"));
    EXPECT_EQ(edgesOf(font, "\n   ", 5, 5), (Edges{-1, -1, -1, -1})) << "nothing to draw";
    for (bool antialiased : {true, false}) {
        font.loadFont(GAME_FONT, 48, antialiased, false);
        clearFrame();
        ofSetColor(40, 200, 120);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
        font.drawString(" H\n H", 100, 200);
        PixelBox ink = drawnBounds();
        EXPECT_EQ(edgesOf(font, " H\n H", 100, 200),
                  (Edges{ink.left - 2.0f, ink.top - 2.0f, ink.right + 3.0f, ink.bottom + 3.0f}));
        EXPECT_EQ(countPixels(Rgb{40, 200, 120}) + countPixels(Rgb{0, 0, 0}) == 640 * 480, !antialiased);
        GLint source = 0;
        glGetIntegerv(GL_BLEND_SRC_RGB, &source);
        EXPECT_TRUE(glIsEnabled(GL_BLEND) && source == GL_ONE && !glIsEnabled(GL_TEXTURE_2D));
    }
}
