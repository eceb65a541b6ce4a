#include "ofTrueTypeFont.h"

#include "../utils/ofMath.h"
#include "../utils/ofUtils.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <utility>

// ---- File-level state ----------------------------------------------------------

// The not-allocated line names this module and a fixed line for each caller.
static const char* const fontModuleName = "frame/graphics/ofTrueTypeFont.cpp";
static const int drawCharLine = 281;
static const int drawStringLine = 429;

static const int firstCode = 33;                    // the character code of slot 0
static const int spaceWidthSlot = 'p' - firstCode;  // a space is as wide as this bitmap
static const float lineHeightPerPoint = 1.43f;
static const int dotsPerInch = 96;
static const int defaultInset = 3;
static const int defaultMargin = 2;

// ---- Helpers ----------------------------------------------------------------------

static void printNotAllocated(int line) {
    std::printf("Error : font not allocated -- line %d in %s\n", line, fontModuleName);
}

static void releaseGlyphs(ofTrueTypeFont& font) {
    if (!font.glyphTextures.empty()) {
        glDeleteTextures(static_cast<GLsizei>(font.glyphTextures.size()), font.glyphTextures.data());
    }
    font.glyphTextures.clear();
    font.glyphs.clear();
    font.loaded = false;
}

// The rectangle a glyph's quad covers, relative to the pen on the baseline. The
// quad starts at the bitmap's own corner and grows by both margins to the right
// and downward, so the inked pixels land `margin` pixels right of and below the
// place the font's metrics give them; drawing and measuring share this box.
struct GlyphQuad {
    int left, top, right, bottom;
};

static GlyphQuad quadOf(const GlyphProps& glyph, int margin) {
    return GlyphQuad{glyph.bitmapLeft, -glyph.bitmapTop,
                     glyph.bitmapLeft + glyph.bitmapWidth + 2 * margin,
                     glyph.bitmapRows - glyph.bitmapTop + 2 * margin};
}

// Row y of a bitmap counted from the top, whichever way its rows are stored.
static const unsigned char* bitmapRow(const FT_Bitmap& bitmap, int y) {
    int pitch = bitmap.pitch;
    if (pitch < 0) {
        return bitmap.buffer + (static_cast<int>(bitmap.rows) - 1 - y) * -pitch;
    }
    return bitmap.buffer + y * pitch;
}

// Coverage 0..255 of pixel x in a row of a grey-level or one-bit bitmap; other
// pixel formats count as empty.
static unsigned char coverageAt(const FT_Bitmap& bitmap, const unsigned char* row, int x) {
    if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
        return row[x];
    }
    if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
        return ((row[x >> 3] >> (7 - (x & 7))) & 1) ? 255 : 0;
    }
    return 0;
}

// Luminance-alpha texels of a whole glyph texture: luminance 255 everywhere, the
// coverage in the alpha, the bitmap `inset` texels in from the top-left corner
// whether it is grey-level or one-bit.
static std::vector<unsigned char> glyphTexels(const FT_Bitmap& bitmap, int texWidth, int texHeight,
                                              int inset) {
    std::vector<unsigned char> texels(static_cast<size_t>(texWidth) * texHeight * 2, 0);
    for (size_t i = 0; i < texels.size(); i += 2) {
        texels[i] = 255;
    }
    if (bitmap.buffer == nullptr) {
        return texels;
    }
    for (int y = 0; y < static_cast<int>(bitmap.rows); y++) {
        const unsigned char* row = bitmapRow(bitmap, y);
        for (int x = 0; x < static_cast<int>(bitmap.width); x++) {
            size_t texel = static_cast<size_t>(y + inset) * texWidth + (x + inset);
            texels[texel * 2 + 1] = coverageAt(bitmap, row, x);
        }
    }
    return texels;
}

static GlyphProps describeGlyph(const FT_GlyphSlot slot, int index, int texWidth, int texHeight,
                                int inset, int margin) {
    GlyphProps glyph;
    glyph.index = index;
    glyph.bitmapTop = slot->bitmap_top;
    glyph.bitmapWidth = static_cast<int>(slot->bitmap.width);
    glyph.advance = static_cast<int>(slot->advance.x >> 6);
    glyph.bitmapRows = static_cast<int>(slot->bitmap.rows);
    glyph.bitmapLeft = slot->bitmap_left;
    glyph.texSpanX = static_cast<float>(glyph.bitmapWidth + 2 * margin) / texWidth;
    glyph.texSpanY = static_cast<float>(glyph.bitmapRows + 2 * margin) / texHeight;
    glyph.texOffsetX = static_cast<float>(inset - margin) / texWidth;
    glyph.texOffsetY = static_cast<float>(inset - margin) / texHeight;
    return glyph;
}

static void uploadGlyph(GLuint name, int texWidth, int texHeight,
                        const std::vector<unsigned char>& texels, bool smooth) {
    GLint filter = smooth ? GL_LINEAR : GL_NEAREST;
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE_ALPHA, texWidth, texHeight, 0, GL_LUMINANCE_ALPHA,
                 GL_UNSIGNED_BYTE, texels.data());
}

// Renders the glyph of one slot and stores its metrics and texture. A glyph that
// fails to load is reported and kept with whatever the glyph slot then holds
// (an empty bitmap, as the slot is cleared before loading).
static void rasteriseGlyph(ofTrueTypeFont& font, FT_Face face, int slot) {
    FT_UInt index = FT_Get_Char_Index(face, (slot + firstCode) % 256);
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) != 0) {
        std::printf("error with FT_Load_Glyph %i \n", slot);
    }
    FT_Render_Glyph(face->glyph, font.antialiased ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO);

    const FT_Bitmap& bitmap = face->glyph->bitmap;
    int inset = font.glyphInset;
    int texWidth = std::max(2, ofNextPow2(static_cast<int>(bitmap.width) + 2 * inset));
    int texHeight = std::max(2, ofNextPow2(static_cast<int>(bitmap.rows) + 2 * inset));

    font.glyphs[slot] = describeGlyph(face->glyph, slot, texWidth, texHeight, inset, font.glyphMargin);
    uploadGlyph(font.glyphTextures[slot], texWidth, texHeight,
                glyphTexels(bitmap, texWidth, texHeight, inset), font.antialiased);
}

// Walks a text the way it is drawn and calls visit(slot, penX, penY) for every
// glyph that puts a quad down, the pen relative to the start of the first line.
template <typename Visit>
static void layOut(const ofTrueTypeFont& font, const std::string& text, Visit visit) {
    int spaceWidth = font.glyphs[spaceWidthSlot].bitmapWidth;
    int lineStep = static_cast<int>(font.lineHeight);
    int penX = 0;
    int penY = 0;
    for (unsigned char c : text) {
        int slot = c - firstCode;
        if (slot >= font.numCharacters) {
            continue;
        }
        if (c == '\n') {
            penX = 0;
            penY += lineStep;
        } else if (c == ' ') {
            penX += spaceWidth;
        } else if (slot >= 0) {
            visit(slot, penX, penY);
            penX += font.glyphs[slot].advance;
        }
    }
}

// ---- ofTrueTypeFont ----------------------------------------------------------------

ofTrueTypeFont::ofTrueTypeFont()
    : loaded(false), antialiased(true), fullCharacterSet(false), numCharacters(0), lineHeight(0),
      fontSize(0), glyphInset(defaultInset), glyphMargin(defaultMargin) {
}

ofTrueTypeFont::~ofTrueTypeFont() {
    releaseGlyphs(*this);
}

ofTrueTypeFont::ofTrueTypeFont(ofTrueTypeFont&& other) noexcept : ofTrueTypeFont() {
    *this = std::move(other);
}

ofTrueTypeFont& ofTrueTypeFont::operator=(ofTrueTypeFont&& other) noexcept {
    if (this == &other) {
        return *this;
    }
    releaseGlyphs(*this);
    loaded = other.loaded;
    antialiased = other.antialiased;
    fullCharacterSet = other.fullCharacterSet;
    numCharacters = other.numCharacters;
    lineHeight = other.lineHeight;
    glyphs = std::move(other.glyphs);
    glyphTextures = std::move(other.glyphTextures);
    fontSize = other.fontSize;
    glyphInset = other.glyphInset;
    glyphMargin = other.glyphMargin;
    other.glyphs.clear();
    other.glyphTextures.clear();
    other.loaded = false;
    return *this;
}

void ofTrueTypeFont::loadFont(const std::string& filename, int fontsize) {
    loadFont(filename, fontsize, true, false);
}

void ofTrueTypeFont::loadFont(const std::string& filename, int fontsize, bool bAntiAliased,
                              bool bFullCharacterSet) {
    releaseGlyphs(*this);
    std::string path = ofToDataPath(filename);
    antialiased = bAntiAliased;
    fullCharacterSet = bFullCharacterSet;
    fontSize = fontsize;
    if (fontsize < 1) {
        return;
    }

    FT_Library library;
    if (FT_Init_FreeType(&library) != 0) {
        std::printf("PROBLEM WITH FT lib \n");
        return;
    }
    FT_Face face;
    if (FT_New_Face(library, path.c_str(), 0, &face) != 0) {
        FT_Done_FreeType(library);
        return;
    }
    FT_F26Dot6 size26Dot6 = static_cast<FT_F26Dot6>(fontsize) * 64;
    if (FT_Set_Char_Size(face, size26Dot6, size26Dot6, dotsPerInch, dotsPerInch) != 0) {
        FT_Done_Face(face);
        FT_Done_FreeType(library);
        return;
    }

    lineHeight = fontsize * lineHeightPerPoint;
    numCharacters = fullCharacterSet ? 256 : 95;
    glyphInset = defaultInset;
    glyphMargin = defaultMargin;
    glyphs.assign(numCharacters, GlyphProps{});
    glyphTextures.assign(numCharacters, 0);
    glGenTextures(numCharacters, glyphTextures.data());

    // Uploading binds each glyph texture; the caller's binding comes back after.
    glPushAttrib(GL_TEXTURE_BIT);
    for (int slot = 0; slot < numCharacters; slot++) {
        rasteriseGlyph(*this, face, slot);
    }
    glPopAttrib();

    FT_Done_Face(face);
    FT_Done_FreeType(library);
    loaded = true;
}

void ofTrueTypeFont::drawString(const std::string& text, float x, float y) {
    if (!loaded) {
        printNotAllocated(drawStringLine);
        return;
    }

    // Blending, texturing and the texture environment all return to the
    // caller's settings afterwards.
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_TEXTURE_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glPushMatrix();
    glTranslated(x, y, 0);

    layOut(*this, text, [this](int slot, int penX, int penY) {
        glPushMatrix();
        glTranslated(penX, penY, 0);
        drawChar(slot, 0, 0);
        glPopMatrix();
    });

    glPopMatrix();
    glPopAttrib();
}

void ofTrueTypeFont::drawChar(int slot, float, float) {
    if (!loaded) {
        printNotAllocated(drawCharLine);
        return;
    }
    if (slot < 0 || slot >= numCharacters || !glIsTexture(glyphTextures[slot])) {
        return;
    }

    const GlyphProps& glyph = glyphs[slot];
    GlyphQuad quad = quadOf(glyph, glyphMargin);
    double s0 = glyph.texOffsetX, s1 = glyph.texOffsetX + glyph.texSpanX;
    double t0 = glyph.texOffsetY, t1 = glyph.texOffsetY + glyph.texSpanY;

    glBindTexture(GL_TEXTURE_2D, glyphTextures[slot]);
    glNormal3f(0, 0, 1);
    glBegin(GL_QUADS);
    glTexCoord2d(s1, t1);
    glVertex2i(quad.right, quad.bottom);
    glTexCoord2d(s1, t0);
    glVertex2i(quad.right, quad.top);
    glTexCoord2d(s0, t0);
    glVertex2i(quad.left, quad.top);
    glTexCoord2d(s0, t1);
    glVertex2i(quad.left, quad.bottom);
    glEnd();
}

ofRectangle ofTrueTypeFont::getStringBoundingBox(const std::string& text, float x, float y) {
    if (!loaded || text.empty()) {
        return ofRectangle(0, 0, 0, 0);
    }

    bool bFound = false;
    float minX = 0, minY = 0, maxX = 0, maxY = 0;
    layOut(*this, text, [&](int slot, int penX, int penY) {
        GlyphQuad quad = quadOf(glyphs[slot], glyphMargin);
        float left = x + penX + quad.left, right = x + penX + quad.right;
        float top = y + penY + quad.top, bottom = y + penY + quad.bottom;
        minX = bFound ? std::min(minX, left) : left;
        minY = bFound ? std::min(minY, top) : top;
        maxX = bFound ? std::max(maxX, right) : right;
        maxY = bFound ? std::max(maxY, bottom) : bottom;
        bFound = true;
    });

    if (!bFound) {
        return ofRectangle(-1, -1, 0, 0);
    }
    return ofRectangle(minX, minY, maxX - minX, maxY - minY);
}

float ofTrueTypeFont::stringWidth(const std::string& text) {
    return getStringBoundingBox(text, 0, 0).width;
}

float ofTrueTypeFont::stringHeight(const std::string& text) {
    return getStringBoundingBox(text, 0, 0).height;
}

void ofTrueTypeFont::setLineHeight(float height) {
    lineHeight = height;
}

float ofTrueTypeFont::getLineHeight() {
    return lineHeight;
}
