#pragma once

#include "ofxCvConstants.h"
#include "ofPoint.h"
#include "ofTexture.h"

// An image buffer: a working image and a scratch image of the same size and
// type, a packed byte copy of the pixels (rows top-down, no row padding) for the
// rest of the program, and a texture to draw through. An operation that makes a
// new picture writes it into the scratch image and exchanges the two, so nothing
// is allocated per operation and the result is always in the working image.
// Misuse never throws: an operation on a buffer that holds no image does nothing,
// and mismatched sizes are refused with one console line.
class ofxCvImage {
public:
    ofxCvImage();
    virtual ~ofxCvImage();

    // Storage
    virtual void convertToRange(float min, float max);  // min -> 0, max -> 255, linear;
                                                    // nothing when min == max
    virtual void allocate(int w, int h) = 0;        // warns once per re-allocation; contents undefined;
                                                    // w or h below 1: one line and nothing
    virtual void clear();                           // releases the images and pixels; allocated stays
                                                    // true, so the next allocate warns
    virtual void setUseTexture(bool use);           // call before allocate
    void resize(int w, int h);                      // bilinear; reallocates as the same kind (and warns);
                                                    // w or h below 1: one line and nothing

    // Filling and scalar arithmetic (saturated for 8-bit kinds; all channels)
    virtual void set(int value);
    virtual void operator-=(float value);
    virtual void operator+=(float value);

    // Copying from another buffer of the same size ("error in =, ..." otherwise)
    virtual ofxCvImage& operator=(const ofxCvGrayscaleImage& other) = 0;
    virtual ofxCvImage& operator=(const ofxCvColorImage& other) = 0;
    virtual ofxCvImage& operator=(const ofxCvFloatImage& other) = 0;

    // The working image, for calling the vision library directly; keep its size and type
    virtual const cv::Mat& getCvImage() const;
    virtual cv::Mat& getCvImage();

    // Drawing, through the texture
    virtual void draw(float x, float y) = 0;        // at width by height
    virtual void draw(float x, float y, float w, float h) = 0;

    // Filters
    virtual void erode();                           // 3 by 3, once
    virtual void dilate();                          // 3 by 3, once
    virtual void blur(int size);                    // box of size by size; nothing below 1
    virtual void blurGaussian(int size);            // odd size; otherwise one line and nothing

    // Geometry (bilinear; pixels from outside the picture are 0)
    virtual void mirror(bool flipVertical, bool flipHorizontal);
    virtual void translate(float x, float y);
    virtual void rotate(float angle, float centreX, float centreY);    // degrees
    virtual void scale(float sx, float sy);         // about the origin
    virtual void transform(float angle, float centreX, float centreY, float sx, float sy,
                           float moveX, float moveY);
    virtual void undistort(float r1, float r2, float t1, float t2, float fx, float fy, float cx,
                           float cy);               // radial r1 r2, tangential t1 t2, camera matrix
    virtual void remap(const cv::Mat& mapX, const cv::Mat& mapY);  // float maps of this size;
                                                    // other maps: one line and nothing
    virtual void warpPerspective(const ofPoint& a, const ofPoint& b, const ofPoint& c,
                                 const ofPoint& d); // the corners, clockwise from top-left, go to a..d
    virtual void warpIntoMe(const ofxCvGrayscaleImage& source, ofPoint* from, ofPoint* to);
                                                    // 4 points each; into the working image, own size

    // Measuring
    virtual int countNonZeroInRegion(int x, int y, int w, int h) const;    // region clipped to the picture

    virtual void swapTemp();                        // exchanges image and tempImage

    int width;              // pixels; 0 when no image is held
    int height;             // pixels
    bool allocated;         // allocate has run (stays true through clear)
    cv::Mat image;          // the working image; every result ends up here
    cv::Mat tempImage;      // scratch image of the same size and type
    unsigned char* pixels;  // width * height * channels bytes, owned here
    ofTexture texture;      // drawing copy, uploaded at every draw
    bool useTexture;        // draw through texture (default true)

protected:
    ofxCvImage(const ofxCvImage&) = delete;         // the kinds copy themselves
    ofxCvImage& operator=(const ofxCvImage&) = delete;

    bool holdsImage() const;                        // width and height above 0
    bool sameSizeAs(const ofxCvImage& other, const char* operation) const;
                                                    // false and "error in <operation>, images are
                                                    // different sizes" when not
    bool allocateStorage(int w, int h, int cvType, int glType, int bytesPerPixel,
                         const char* kindName);     // the shared steps of allocate; false when
                                                    // the size was refused
    void copyRowsIn(const unsigned char* source, int bytesPerRow);    // packed rows into image
    void copyRowsOut(const cv::Mat& from, unsigned char* target, int bytesPerRow) const;
    void drawThroughTexture(int glFormat, float x, float y, float w, float h);
    void copyImageOf(const ofxCvImage& other);      // for copy constructors: allocate at its size

    // Arithmetic with a buffer of the same kind and size, through the scratch image
    void subtractImage(const ofxCvImage& other);
    void addImage(const ofxCvImage& other);
    void multiplyImage(const ofxCvImage& other, double scale);   // products times scale
};
