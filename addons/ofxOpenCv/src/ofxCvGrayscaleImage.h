#pragma once

#include "ofxCvImage.h"

// An 8-bit, 1-channel buffer: planes, masks and the contour finder's input.
class ofxCvGrayscaleImage : public ofxCvImage {
public:
    ofxCvGrayscaleImage();
    ofxCvGrayscaleImage(const ofxCvGrayscaleImage& other);  // a buffer of the other's size and picture
    ~ofxCvGrayscaleImage() override;

    // Storage
    void allocate(int w, int h) override;           // pixels of w * h bytes, texture GL_LUMINANCE
    void scaleIntoMe(const ofxCvGrayscaleImage& source, int interpolation);
                                                    // as the colour kind
    // Pixel access (1 byte a pixel, rows top-down, packed)
    void setFromPixels(const unsigned char* px, int w, int h);  // w, h must be the buffer's size;
                                                    // otherwise one line and nothing
    void operator=(const unsigned char* px);        // setFromPixels at the buffer's size
    unsigned char* getPixels();                     // copy of the image; owned here until clear

    void set(int value) override;

    // Copying from a buffer of the same size ("error in =, ..." otherwise)
    ofxCvGrayscaleImage& operator=(const ofxCvGrayscaleImage& other) override;
    ofxCvGrayscaleImage& operator=(const ofxCvColorImage& other) override;  // channel 0 as red
    ofxCvGrayscaleImage& operator=(const ofxCvFloatImage& other) override;  // value / 255, rounded

    // Arithmetic with a buffer of the same size (saturated)
    using ofxCvImage::operator-=;
    using ofxCvImage::operator+=;
    void operator-=(const ofxCvGrayscaleImage& other);
    void operator+=(const ofxCvGrayscaleImage& other);
    void operator*=(const ofxCvGrayscaleImage& other);  // product / 255
    void operator&=(const ofxCvGrayscaleImage& other);  // bitwise and
    void absDiff(const ofxCvGrayscaleImage& other);
    void absDiff(const ofxCvGrayscaleImage& a, const ofxCvGrayscaleImage& b);  // |a - b| into this

    // Tone
    void threshold(int value, bool invert);         // above value -> 255, else 0 (inverted: reverse)
    void invert();                                  // 255 - value
    void contrastStretch();                         // darkest -> 0, brightest -> 255; uniform stays

    // Painting
    void drawBlobIntoMe(const ofxCvBlob& blob, int color);  // fills the blob's outline with color

    // Drawing, through the texture (or, without one, as raw pixels)
    void draw(float x, float y) override;
    void draw(float x, float y, float w, float h) override;
};
