#pragma once

#include "ofTexture.h"

#include <string>

struct FIBITMAP;    // the image library's bitmap handle

// Image types: what the pixel buffer and the texture hold
#define IMAGE_TYPE_GRAYSCALE 0      // 8 bits a pixel, GL_LUMINANCE
#define IMAGE_TYPE_COLOR 1          // 24 bits, R G B, GL_RGB
#define IMAGE_TYPE_COLOR_ALPHA 2    // 32 bits, R G B A, GL_RGBA
#define IMAGE_TYPE_UNDEFINED 3      // a new or cleared image

// One picture held three ways: the image library's bitmap (the master copy,
// first scanline = the picture's top row), a packed 8-bit pixel buffer in
// R, G, B(, A) order with row 0 at the top, and a texture to draw it with.
// Every change of the bitmap ends in update(), which rebuilds the other two.
class ofImage {
public:
    ofImage();                                      // initialises the image library on first use
    ofImage(const ofImage& other);                  // deep copy
    ofImage& operator=(const ofImage& other);       // deep copy; self-assignment changes nothing
    ~ofImage();

    // Files (names resolved with ofToDataPath)
    void loadImage(std::string fileName);           // by content, else by extension; on failure no
                                                    // bitmap, size 0, nothing printed
    bool saveImage(std::string fileName);           // upright file; format of the file already there,
                                                    // else by extension; false if not written

    // Building a picture
    void setFromPixels(const unsigned char* data, int w, int h, int imageType, bool rgbOrder);
                                                    // rows top first, packed; rgbOrder false means
                                                    // B, G, R(, A); the caller's buffer is not written
    void allocate(int w, int h, int imageType);     // a blank (black) picture of that size and type
    void grabScreen(int x, int y, int w, int h);    // window area, top-left origin; keeps the current
                                                    // type, resizing the bitmap first if needed
    void clone(const ofImage& other);               // deep copy of other's bitmap

    // Changing the picture
    void setImageType(int imageType);               // converts when needed; always rebuilds
    void resize(int w, int h);                      // bicubic
    void clear();                                   // back to the empty state, texture released
    void update();                                  // pixels, fields and texture from the bitmap
    void swapChannels(bool alpha);                  // bytes 0 and 2 of each pixel of the buffer

    // Pixel access
    unsigned char* getPixels();                     // null when there is no picture; owned here,
                                                    // replaced by every update
    bool isValid() const;                           // a bitmap is held
    void swap(FIBITMAP* newBitmap);                 // takes ownership; null is ignored

    // Drawing, through the texture (under the current rect mode and colour)
    void setUseTexture(bool use);                   // false: no texture is made, draw does nothing
    void draw(float x, float y, float w, float h);
    void draw(float x, float y);                    // at width by height

    int imageType;          // IMAGE_TYPE_*
    int width;              // pixels
    int height;             // pixels
    int bpp;                // bits per pixel of the bitmap: 8, 24 or 32 once holding a picture
    ofTexture texture;      // drawing copy
    bool useTexture;        // true: update re-creates and fills the texture
    bool ownsPixels;        // pixels was allocated here and is freed here
    FIBITMAP* bmp;          // master copy; null when there is no picture
    unsigned char* pixels;  // width * height * bpp/8 bytes, rows top-down, no padding
};

// Image library lifetime: initialised by the first image constructed, shut
// down once at exit by the frame runner's teardown.
void ofCloseFreeImage();
