#pragma once

#include "ofxCvImage.h"

// An 8-bit, 3-channel buffer. It records no channel order: the channels hold
// what was copied in (the camera gives red, green, blue; after convertRgbToHsv
// they hold hue 0..180, saturation and value).
class ofxCvColorImage : public ofxCvImage {
public:
    ofxCvColorImage();
    ofxCvColorImage(const ofxCvColorImage& other);  // a buffer of the other's size and picture
    ~ofxCvColorImage() override;

    // Storage
    void allocate(int w, int h) override;           // pixels of w * h * 3 bytes, texture GL_RGB
    void scaleIntoMe(const ofxCvColorImage& source, int interpolation);
                                                    // CV_INTER_NN..CV_INTER_AREA; another code prints
                                                    // one line and uses CV_INTER_NN; keeps own size

    // Pixel access (3 bytes a pixel, rows top-down, packed)
    void setFromPixels(const unsigned char* px, int w, int h);  // w, h must be the buffer's size;
                                                    // otherwise one line and nothing
    void operator=(const unsigned char* px);        // setFromPixels at the buffer's size
    unsigned char* getPixels();                     // copy of the image; owned here until clear

    // Filling
    void set(int value) override;                   // all three channels
    void set(int r, int g, int b);

    // Colour conversion and planes (planes must be allocated at this size)
    void convertRgbToHsv();                         // channel 0 read as red
    void convertHsvToRgb();
    void convertToGrayscalePlanarImages(ofxCvGrayscaleImage& a, ofxCvGrayscaleImage& b,
                                        ofxCvGrayscaleImage& c);    // channel 0 into a, 1 b, 2 c
    void setFromGrayscalePlanarImages(const ofxCvGrayscaleImage& a, const ofxCvGrayscaleImage& b,
                                      const ofxCvGrayscaleImage& c);

    // Copying from a buffer of the same size ("error in =, ..." otherwise)
    ofxCvColorImage& operator=(const ofxCvGrayscaleImage& other) override;  // grey in every channel
    ofxCvColorImage& operator=(const ofxCvColorImage& other) override;
    ofxCvColorImage& operator=(const ofxCvFloatImage& other) override;      // rounded, saturated,
                                                                            // in every channel
    // Arithmetic with a buffer of the same size (saturated)
    using ofxCvImage::operator-=;
    using ofxCvImage::operator+=;
    void operator-=(const ofxCvColorImage& other);
    void operator+=(const ofxCvColorImage& other);
    void operator*=(const ofxCvColorImage& other);  // product / 255

    // Drawing, through the texture (or, without one, as raw pixels in RGB order)
    void draw(float x, float y) override;
    void draw(float x, float y, float w, float h) override;
};
