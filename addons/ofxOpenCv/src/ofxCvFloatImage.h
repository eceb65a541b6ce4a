#pragma once

#include "ofxCvImage.h"

// A 32-bit float, 1-channel buffer. Its byte pixels and its drawing show the
// values scaled from a range (0..255 unless given) to 0..255.
class ofxCvFloatImage : public ofxCvImage {
public:
    ofxCvFloatImage();
    ofxCvFloatImage(const ofxCvFloatImage& other);  // a buffer of the other's size and picture
    ~ofxCvFloatImage() override;

    // Storage
    void allocate(int w, int h) override;           // also displayImage and floatPixels
    void clear() override;                          // releases displayImage and floatPixels too
    void scaleIntoMe(const ofxCvFloatImage& source, int interpolation);    // as the colour kind

    // Pixel access (rows top-down, packed)
    void setFromPixels(const float* px, int w, int h);  // w, h must be the buffer's size
    unsigned char* getPixels(float min, float max); // min -> 0, max -> 255, rounded, saturated;
                                                    // min == max gives 0 everywhere
    float* getPixelsAsFloats();                     // copy of the image; owned here until clear

    // Copying from a buffer of the same size ("error in =, ..." otherwise)
    ofxCvFloatImage& operator=(const ofxCvGrayscaleImage& other) override; // values stay 0..255
    ofxCvFloatImage& operator=(const ofxCvColorImage& other) override;     // grey of channel 0 as red
    ofxCvFloatImage& operator=(const ofxCvFloatImage& other) override;

    // Arithmetic
    using ofxCvImage::operator-=;
    using ofxCvImage::operator+=;
    void operator-=(const ofxCvFloatImage& other);
    void operator+=(const ofxCvFloatImage& other);
    void operator*=(const ofxCvFloatImage& other);  // plain product
    void operator*=(float value);                   // results below 0.00001 become 0
    void operator/=(float value);                   // the same; nothing when value is 0
    void addWeighted(const ofxCvGrayscaleImage& other, float f);  // other * f + this * (1 - f)

    // Drawing, through the texture only (nothing without one)
    void drawWithScale(float x, float y, float min, float max);
    void drawWithScale(float x, float y, float w, float h, float min, float max);
    void draw(float x, float y) override;           // range 0..255
    void draw(float x, float y, float w, float h) override;

    float* floatPixels;     // width * height floats, owned here
    cv::Mat displayImage;   // 8-bit scaled copy for getPixels and drawing

private:
    void multiplyClamped(float factor);
};
