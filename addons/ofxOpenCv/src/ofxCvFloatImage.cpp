#include "ofxCvFloatImage.h"

#include "ofxCvColorImage.h"
#include "ofxCvGrayscaleImage.h"
#include "ofxCvImageHelpers.h"

// ---- File-level state ----------------------------------------------------------

static const double smallestKept = 0.00001;    // smaller products are noise and become 0

// ---- ofxCvFloatImage ----------------------------------------------------------------

ofxCvFloatImage::ofxCvFloatImage() : floatPixels(nullptr) {
}

ofxCvFloatImage::ofxCvFloatImage(const ofxCvFloatImage& other) : ofxCvImage(), floatPixels(nullptr) {
    copyImageOf(other);
}

// The base destructor's clear cannot reach the float members any more.
ofxCvFloatImage::~ofxCvFloatImage() {
    clear();
}

void ofxCvFloatImage::allocate(int w, int h) {
    if (!allocateStorage(w, h, CV_32FC1, GL_LUMINANCE, 1, "ofxCvFloatImage")) {
        return;
    }
    displayImage.create(h, w, CV_8UC1);
    floatPixels = new float[static_cast<size_t>(w) * h];
}

void ofxCvFloatImage::clear() {
    displayImage.release();
    delete[] floatPixels;
    floatPixels = nullptr;
    ofxCvImage::clear();
}

void ofxCvFloatImage::scaleIntoMe(const ofxCvFloatImage& source, int interpolation) {
    scaleImageInto(source.image, *this, interpolation);
}

void ofxCvFloatImage::setFromPixels(const float* px, int w, int h) {
    if (fitsPixels(*this, px, w, h)) {
        copyRowsIn(reinterpret_cast<const unsigned char*>(px), width * sizeof(float));
    }
}

// Both factors in single precision, so min lands on 0 and max on 255 exactly.
unsigned char* ofxCvFloatImage::getPixels(float min, float max) {
    if (!holdsImage()) {
        return pixels;
    }
    float scale = max == min ? 0.0f : 255.0f / (max - min);
    float shift = -(min * scale);
    image.convertTo(displayImage, CV_8U, scale, shift);
    copyRowsOut(displayImage, pixels, width);
    return pixels;
}

float* ofxCvFloatImage::getPixelsAsFloats() {
    if (holdsImage()) {
        copyRowsOut(image, reinterpret_cast<unsigned char*>(floatPixels), width * sizeof(float));
    }
    return floatPixels;
}

ofxCvFloatImage& ofxCvFloatImage::operator=(const ofxCvGrayscaleImage& other) {
    if (sameSizeAs(other, "=")) {
        other.getCvImage().convertTo(image, CV_32F);
    }
    return *this;
}

// Through the display image, which has the grey image's type, so nothing is allocated.
ofxCvFloatImage& ofxCvFloatImage::operator=(const ofxCvColorImage& other) {
    if (sameSizeAs(other, "=")) {
        cv::cvtColor(other.getCvImage(), displayImage, cv::COLOR_RGB2GRAY);
        displayImage.convertTo(image, CV_32F);
    }
    return *this;
}

ofxCvFloatImage& ofxCvFloatImage::operator=(const ofxCvFloatImage& other) {
    if (this != &other && sameSizeAs(other, "=")) {
        other.image.copyTo(image);
    }
    return *this;
}

void ofxCvFloatImage::operator-=(const ofxCvFloatImage& other) {
    subtractImage(other);
}

void ofxCvFloatImage::operator+=(const ofxCvFloatImage& other) {
    addImage(other);
}

void ofxCvFloatImage::operator*=(const ofxCvFloatImage& other) {
    multiplyImage(other, 1);
}

void ofxCvFloatImage::operator*=(float value) {
    multiplyClamped(value);
}

void ofxCvFloatImage::operator/=(float value) {
    if (value != 0) {
        multiplyClamped(static_cast<float>(1.0 / value));
    }
}

void ofxCvFloatImage::addWeighted(const ofxCvGrayscaleImage& other, float f) {
    if (sameSizeAs(other, "addWeighted")) {
        cv::Mat otherAsFloat;
        other.getCvImage().convertTo(otherAsFloat, CV_32F);
        cv::addWeighted(otherAsFloat, f, image, 1 - f, 0, tempImage);
        swapTemp();
    }
}

void ofxCvFloatImage::drawWithScale(float x, float y, float min, float max) {
    drawWithScale(x, y, static_cast<float>(width), static_cast<float>(height), min, max);
}

void ofxCvFloatImage::drawWithScale(float x, float y, float w, float h, float min, float max) {
    if (holdsImage() && useTexture) {
        getPixels(min, max);
        drawThroughTexture(GL_LUMINANCE, x, y, w, h);
    }
}

void ofxCvFloatImage::draw(float x, float y) {
    drawWithScale(x, y, 0, 255);
}

void ofxCvFloatImage::draw(float x, float y, float w, float h) {
    drawWithScale(x, y, w, h, 0, 255);
}

void ofxCvFloatImage::multiplyClamped(float factor) {
    if (!holdsImage()) {
        return;
    }
    for (int j = 0; j < height; j++) {
        float* row = image.ptr<float>(j);
        for (int i = 0; i < width; i++) {
            double product = static_cast<double>(row[i]) * factor;
            row[i] = product < smallestKept ? 0.0f : static_cast<float>(product);
        }
    }
}
