#include "ofxCvColorImage.h"

#include "ofxCvFloatImage.h"
#include "ofxCvGrayscaleImage.h"
#include "ofxCvImageHelpers.h"

#include <cstdio>

// ---- File-level state ----------------------------------------------------------

static const int channels = 3;

// ---- Helpers ----------------------------------------------------------------------

static bool planesFit(const ofxCvColorImage& colour, const ofxCvImage& a, const ofxCvImage& b,
                      const ofxCvImage& c) {
    for (const ofxCvImage* plane : {&a, &b, &c}) {
        if (plane->width != colour.width || plane->height != colour.height) {
            std::printf("error in planar images, images are different sizes\n");
            return false;
        }
    }
    return colour.width > 0 && colour.height > 0;
}

// ---- ofxCvColorImage ----------------------------------------------------------------

ofxCvColorImage::ofxCvColorImage() {
}

ofxCvColorImage::ofxCvColorImage(const ofxCvColorImage& other) : ofxCvImage() {
    copyImageOf(other);
}

ofxCvColorImage::~ofxCvColorImage() {
}

void ofxCvColorImage::allocate(int w, int h) {
    allocateStorage(w, h, CV_8UC3, GL_RGB, channels, "ofxCvColorImage");
}

void ofxCvColorImage::scaleIntoMe(const ofxCvColorImage& source, int interpolation) {
    scaleImageInto(source.image, *this, interpolation);
}

void ofxCvColorImage::setFromPixels(const unsigned char* px, int w, int h) {
    if (fitsPixels(*this, px, w, h)) {
        copyRowsIn(px, width * channels);
    }
}

void ofxCvColorImage::operator=(const unsigned char* px) {
    setFromPixels(px, width, height);
}

unsigned char* ofxCvColorImage::getPixels() {
    if (holdsImage()) {
        copyRowsOut(image, pixels, width * channels);
    }
    return pixels;
}

void ofxCvColorImage::set(int value) {
    set(value, value, value);
}

void ofxCvColorImage::set(int r, int g, int b) {
    if (holdsImage()) {
        image.setTo(cv::Scalar(r, g, b));
    }
}

void ofxCvColorImage::convertRgbToHsv() {
    if (holdsImage()) {
        cv::cvtColor(image, tempImage, cv::COLOR_RGB2HSV);
        swapTemp();
    }
}

void ofxCvColorImage::convertHsvToRgb() {
    if (holdsImage()) {
        cv::cvtColor(image, tempImage, cv::COLOR_HSV2RGB);
        swapTemp();
    }
}

// The headers share the planes' data and already have the right size and type,
// so the split writes straight into the planes and allocates nothing.
void ofxCvColorImage::convertToGrayscalePlanarImages(ofxCvGrayscaleImage& a,
                                                     ofxCvGrayscaleImage& b,
                                                     ofxCvGrayscaleImage& c) {
    if (!planesFit(*this, a, b, c)) {
        return;
    }
    cv::Mat planes[channels] = {a.getCvImage(), b.getCvImage(), c.getCvImage()};
    cv::split(image, planes);
}

void ofxCvColorImage::setFromGrayscalePlanarImages(const ofxCvGrayscaleImage& a,
                                                   const ofxCvGrayscaleImage& b,
                                                   const ofxCvGrayscaleImage& c) {
    if (!planesFit(*this, a, b, c)) {
        return;
    }
    cv::Mat planes[channels] = {a.getCvImage(), b.getCvImage(), c.getCvImage()};
    cv::merge(planes, channels, image);
}

ofxCvColorImage& ofxCvColorImage::operator=(const ofxCvGrayscaleImage& other) {
    if (sameSizeAs(other, "=")) {
        cv::cvtColor(other.getCvImage(), image, cv::COLOR_GRAY2RGB);
    }
    return *this;
}

ofxCvColorImage& ofxCvColorImage::operator=(const ofxCvColorImage& other) {
    if (this != &other && sameSizeAs(other, "=")) {
        other.image.copyTo(image);
    }
    return *this;
}

// Rare, so a temporary grey image is acceptable here.
ofxCvColorImage& ofxCvColorImage::operator=(const ofxCvFloatImage& other) {
    if (sameSizeAs(other, "=")) {
        cv::Mat grey;
        other.getCvImage().convertTo(grey, CV_8U);
        cv::cvtColor(grey, image, cv::COLOR_GRAY2RGB);
    }
    return *this;
}

void ofxCvColorImage::operator-=(const ofxCvColorImage& other) {
    subtractImage(other);
}

void ofxCvColorImage::operator+=(const ofxCvColorImage& other) {
    addImage(other);
}

void ofxCvColorImage::operator*=(const ofxCvColorImage& other) {
    multiplyImage(other, byteProductScale);
}

void ofxCvColorImage::draw(float x, float y) {
    draw(x, y, static_cast<float>(width), static_cast<float>(height));
}

void ofxCvColorImage::draw(float x, float y, float w, float h) {
    if (!holdsImage()) {
        return;
    }
    if (useTexture) {
        getPixels();
        drawThroughTexture(GL_RGB, x, y, w, h);
    } else {
        drawPixelsAt(image, GL_RGB, x, y, w, h);
    }
}
