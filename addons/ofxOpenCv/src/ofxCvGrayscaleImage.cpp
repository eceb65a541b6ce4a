#include "ofxCvGrayscaleImage.h"

#include "ofxCvBlob.h"
#include "ofxCvColorImage.h"
#include "ofxCvFloatImage.h"
#include "ofxCvImageHelpers.h"

#include <vector>

// ---- ofxCvGrayscaleImage ------------------------------------------------------------

ofxCvGrayscaleImage::ofxCvGrayscaleImage() {
}

ofxCvGrayscaleImage::ofxCvGrayscaleImage(const ofxCvGrayscaleImage& other) : ofxCvImage() {
    copyImageOf(other);
}

ofxCvGrayscaleImage::~ofxCvGrayscaleImage() {
}

void ofxCvGrayscaleImage::allocate(int w, int h) {
    allocateStorage(w, h, CV_8UC1, GL_LUMINANCE, 1, "ofxCvGrayscaleImage");
}

void ofxCvGrayscaleImage::scaleIntoMe(const ofxCvGrayscaleImage& source, int interpolation) {
    scaleImageInto(source.image, *this, interpolation);
}

void ofxCvGrayscaleImage::setFromPixels(const unsigned char* px, int w, int h) {
    if (fitsPixels(*this, px, w, h)) {
        copyRowsIn(px, width);
    }
}

void ofxCvGrayscaleImage::operator=(const unsigned char* px) {
    setFromPixels(px, width, height);
}

unsigned char* ofxCvGrayscaleImage::getPixels() {
    if (holdsImage()) {
        copyRowsOut(image, pixels, width);
    }
    return pixels;
}

void ofxCvGrayscaleImage::set(int value) {
    ofxCvImage::set(value);
}

ofxCvGrayscaleImage& ofxCvGrayscaleImage::operator=(const ofxCvGrayscaleImage& other) {
    if (this != &other && sameSizeAs(other, "=")) {
        other.image.copyTo(image);
    }
    return *this;
}

ofxCvGrayscaleImage& ofxCvGrayscaleImage::operator=(const ofxCvColorImage& other) {
    if (sameSizeAs(other, "=")) {
        cv::cvtColor(other.getCvImage(), image, cv::COLOR_RGB2GRAY);
    }
    return *this;
}

// Float buffers are read as holding 0..1 here, as the other kinds' products do.
ofxCvGrayscaleImage& ofxCvGrayscaleImage::operator=(const ofxCvFloatImage& other) {
    if (sameSizeAs(other, "=")) {
        other.getCvImage().convertTo(image, CV_8U, static_cast<double>(byteProductScale));
    }
    return *this;
}

void ofxCvGrayscaleImage::operator-=(const ofxCvGrayscaleImage& other) {
    subtractImage(other);
}

void ofxCvGrayscaleImage::operator+=(const ofxCvGrayscaleImage& other) {
    addImage(other);
}

void ofxCvGrayscaleImage::operator*=(const ofxCvGrayscaleImage& other) {
    multiplyImage(other, byteProductScale);
}

void ofxCvGrayscaleImage::operator&=(const ofxCvGrayscaleImage& other) {
    if (sameSizeAs(other, "&=")) {
        cv::bitwise_and(image, other.image, tempImage);
        swapTemp();
    }
}

void ofxCvGrayscaleImage::absDiff(const ofxCvGrayscaleImage& other) {
    if (sameSizeAs(other, "absDiff")) {
        cv::absdiff(image, other.image, tempImage);
        swapTemp();
    }
}

void ofxCvGrayscaleImage::absDiff(const ofxCvGrayscaleImage& a, const ofxCvGrayscaleImage& b) {
    if (sameSizeAs(a, "absDiff") && sameSizeAs(b, "absDiff")) {
        cv::absdiff(a.image, b.image, image);
    }
}

void ofxCvGrayscaleImage::threshold(int value, bool invert) {
    if (holdsImage()) {
        int type = invert ? cv::THRESH_BINARY_INV : cv::THRESH_BINARY;
        cv::threshold(image, tempImage, value, 255, type);
        swapTemp();
    }
}

void ofxCvGrayscaleImage::invert() {
    if (holdsImage()) {
        cv::bitwise_not(image, image);
    }
}

void ofxCvGrayscaleImage::contrastStretch() {
    if (!holdsImage()) {
        return;
    }
    double min = 0;
    double max = 0;
    cv::minMaxLoc(image, &min, &max);
    double scale = max - min == 0 ? 1 : 255 / (max - min);
    double shift = max - min == 0 ? 0 : -min * scale;
    image.convertTo(tempImage, -1, scale, shift);
    swapTemp();
}

void ofxCvGrayscaleImage::drawBlobIntoMe(const ofxCvBlob& blob, int color) {
    if (!holdsImage() || blob.points.empty()) {
        return;
    }
    std::vector<cv::Point> outline;
    outline.reserve(blob.points.size());
    for (const ofPoint& p : blob.points) {
        outline.emplace_back(static_cast<int>(p.x), static_cast<int>(p.y));
    }
    std::vector<std::vector<cv::Point>> polygons(1, outline);
    cv::fillPoly(image, polygons, cv::Scalar::all(color), cv::LINE_8, 0);
}

void ofxCvGrayscaleImage::draw(float x, float y) {
    draw(x, y, static_cast<float>(width), static_cast<float>(height));
}

void ofxCvGrayscaleImage::draw(float x, float y, float w, float h) {
    if (!holdsImage()) {
        return;
    }
    if (useTexture) {
        getPixels();
        drawThroughTexture(GL_LUMINANCE, x, y, w, h);
    } else {
        drawPixelsAt(image, GL_LUMINANCE, x, y, w, h);
    }
}
