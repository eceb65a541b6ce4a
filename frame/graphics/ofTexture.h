#pragma once

#include <GL/glew.h>

// One GL texture holding an 8-bit picture of up to its allocated size, drawn as
// a screen-aligned quad. Uses rectangle textures of exactly the requested size
// where the driver offers them, power-of-two 2D textures otherwise.
class ofTexture {
public:
    ofTexture();
    ofTexture(const ofTexture& other);              // an empty texture; nothing is shared
    ofTexture& operator=(const ofTexture& other);   // does nothing: owners upload again
    ~ofTexture();

    // Storage
    void allocate(int w, int h, int internalGlDataType);   // GL_LUMINANCE, GL_RGB or GL_RGBA
    void clear();                                   // releases the GL name; safe to repeat

    // Uploading (refused with one console line when larger than the storage)
    void loadData(unsigned char* data, int w, int h, int glDataType);   // rows top-down, packed
    void loadScreenData(int x, int y, int w, int h);                    // window coords, top-left origin

    // Drawing, at (x, y) under the current rect mode, tinted by the current colour
    void draw(float x, float y, float w, float h);
    void draw(float x, float y);                    // at the uploaded size

    GLenum target;          // GL_TEXTURE_RECTANGLE_ARB or GL_TEXTURE_2D
    float texCoordMaxX;     // right edge of the used area (texels, or 0..1 for 2D)
    float texCoordMaxY;     // bottom edge of the used area
    int allocWidth;         // storage size in texels
    int allocHeight;
    int width;              // size of the picture last uploaded (or allocated)
    int height;
    GLuint textureId;       // 0 when no GL texture is held
    bool flipped;           // rows bottom-up (copied from the frame buffer)
};

// Rectangle textures are used when the driver has them and this is true (the
// default). Tests turn it off to exercise the power-of-two path on any machine.
void ofSetTextureRectangleAllowed(bool allowed);
