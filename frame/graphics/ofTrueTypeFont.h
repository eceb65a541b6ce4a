#pragma once

#include "ofRectangle.h"

#include <GL/glew.h>
#include <string>
#include <vector>

// A TrueType font rasterised once, at load time, into one small GL_TEXTURE_2D
// per glyph (grey-level or one-bit coverage in the alpha channel), drawn as
// textured quads tinted by the current colour. Slot i holds the character code
// (i + 33) mod 256; a byte c of a string uses slot c - 33.

// Metrics of one rendered glyph, in whole pixels, and the part of its texture
// that is drawn (the bitmap with its margin), as fractions of the texture size.
struct GlyphProps {
    int index;          // slot number
    int bitmapTop;      // rows of the bitmap above the baseline
    int bitmapWidth;
    int advance;        // pen movement after the glyph
    int bitmapRows;
    int bitmapLeft;     // from the pen to the bitmap's left column
    float texSpanX;     // (bitmapWidth + 2 margins) / texture width
    float texSpanY;     // (bitmapRows + 2 margins) / texture height
    float texOffsetX;   // (inset - margin) / texture width
    float texOffsetY;   // (inset - margin) / texture height
};

class ofTrueTypeFont {
public:
    ofTrueTypeFont();                                   // unloaded
    ~ofTrueTypeFont();                                  // deletes the glyph textures
    ofTrueTypeFont(const ofTrueTypeFont&) = delete;     // GL names have exactly one owner
    ofTrueTypeFont& operator=(const ofTrueTypeFont&) = delete;
    ofTrueTypeFont(ofTrueTypeFont&& other) noexcept;    // takes the glyphs; other is left unloaded
    ofTrueTypeFont& operator=(ofTrueTypeFont&& other) noexcept;

    // Loading (needs a current GL context; success shows in `loaded`, a failed
    // load or reload leaves the font unloaded)
    void loadFont(const std::string& filename, int fontsize);    // grey-level, 95 glyphs
    void loadFont(const std::string& filename, int fontsize, bool bAntiAliased,
                  bool bFullCharacterSet);                        // size in points at 96 dpi

    // Drawing, in the current colour; unloaded: one console line, nothing drawn
    void drawString(const std::string& text, float x, float y);  // (x, y): pen on the first baseline
    void drawChar(int slot, float x, float y);   // at the modelview origin (x, y unused); expects
                                                 // texturing and blending set up as drawString does

    // Measuring, in pixels; boxes are the union of the glyph quads, margins included
    ofRectangle getStringBoundingBox(const std::string& text, float x, float y);  // unloaded or
                                                 // empty: all 0; nothing drawable: x = y = -1
    float stringWidth(const std::string& text);
    float stringHeight(const std::string& text);

    // Line spacing: a newline moves down by the line height truncated to whole pixels
    void setLineHeight(float height);
    float getLineHeight();

    bool loaded;                        // false until a load completed
    bool antialiased;                   // grey-level (true) or one-bit glyphs
    bool fullCharacterSet;              // 256 glyphs (true) or 95
    int numCharacters;                  // 95 or 256
    float lineHeight;                   // pixels; size x 1.43 after loadFont
    std::vector<GlyphProps> glyphs;     // numCharacters records when loaded
    std::vector<GLuint> glyphTextures;  // numCharacters GL names, owned
    int fontSize;                       // points
    int glyphInset;                     // 3: empty texels around each bitmap in its texture
    int glyphMargin;                    // 2: texels of that border drawn on every side
};
