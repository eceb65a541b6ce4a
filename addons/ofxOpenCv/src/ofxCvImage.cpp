#include "ofxCvImage.h"

#include "ofxCvGrayscaleImage.h"

#include <opencv2/calib3d.hpp>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

// ---- Helpers ----------------------------------------------------------------------

static cv::Point2f toCv(const ofPoint& p) {
    return cv::Point2f(p.x, p.y);
}

// The vision library throws on such sizes, so they are refused before anything
// is released: a buffer keeps its picture, an empty one stays empty.
static bool sizeAccepted(int w, int h, const char* operation) {
    if (w <= 0 || h <= 0) {
        std::printf("error in %s, width and height must be above 0\n", operation);
        return false;
    }
    return true;
}

// ---- ofxCvImage ---------------------------------------------------------------------

ofxCvImage::ofxCvImage()
    : width(0), height(0), allocated(false), pixels(nullptr), useTexture(true) {
}

ofxCvImage::~ofxCvImage() {
    clear();
}

// Both factors in single precision, so min lands on 0 and max on 255 exactly
// as the float kind's display scale does.
void ofxCvImage::convertToRange(float min, float max) {
    if (!holdsImage() || max == min) {
        return;
    }
    float scale = 255.0f / (max - min);
    float shift = -(min * scale);
    image.convertTo(tempImage, -1, scale, shift);
    swapTemp();
}

// What was released is forgotten, so the clear inside a later allocate (which
// warns, since allocated stays true) releases nothing twice.
void ofxCvImage::clear() {
    if (!allocated) {
        return;
    }
    if (width > 0 && height > 0) {
        image.release();
        tempImage.release();
    }
    delete[] pixels;
    pixels = nullptr;
    width = 0;
    height = 0;
    if (useTexture) {
        texture.clear();
    }
}

void ofxCvImage::setUseTexture(bool use) {
    useTexture = use;
}

void ofxCvImage::set(int value) {
    if (holdsImage()) {
        image.setTo(cv::Scalar::all(value));
    }
}

void ofxCvImage::operator-=(float value) {
    if (holdsImage()) {
        cv::subtract(image, cv::Scalar::all(value), tempImage);
        swapTemp();
    }
}

void ofxCvImage::operator+=(float value) {
    if (holdsImage()) {
        cv::add(image, cv::Scalar::all(value), tempImage);
        swapTemp();
    }
}

const cv::Mat& ofxCvImage::getCvImage() const {
    return image;
}

cv::Mat& ofxCvImage::getCvImage() {
    return image;
}

void ofxCvImage::erode() {
    if (holdsImage()) {
        cv::erode(image, tempImage, cv::Mat());
        swapTemp();
    }
}

void ofxCvImage::dilate() {
    if (holdsImage()) {
        cv::dilate(image, tempImage, cv::Mat());
        swapTemp();
    }
}

void ofxCvImage::blur(int size) {
    if (holdsImage() && size >= 1) {
        cv::blur(image, tempImage, cv::Size(size, size));
        swapTemp();
    }
}

void ofxCvImage::blurGaussian(int size) {
    if (!holdsImage()) {
        return;
    }
    if (size < 1 || size % 2 == 0) {
        std::printf("error in blurGaussian, size must be odd\n");
        return;
    }
    cv::GaussianBlur(image, tempImage, cv::Size(size, size), 0);
    swapTemp();
}

void ofxCvImage::mirror(bool flipVertical, bool flipHorizontal) {
    if (!holdsImage() || (!flipVertical && !flipHorizontal)) {
        return;
    }
    int code = flipVertical && flipHorizontal ? -1 : (flipVertical ? 0 : 1);
    cv::flip(image, tempImage, code);
    swapTemp();
}

void ofxCvImage::translate(float x, float y) {
    transform(0, 0, 0, 1, 1, x, y);
}

void ofxCvImage::rotate(float angle, float centreX, float centreY) {
    transform(angle, centreX, centreY, 1, 1, 0, 0);
}

void ofxCvImage::scale(float sx, float sy) {
    transform(0, 0, 0, sx, sy, 0, 0);
}

// Rotation about the centre, then scaling, then the move; the matrix maps a
// source pixel to where it lands. Arithmetic in single precision on purpose,
// so results do not depend on the compiler's choice of precision.
void ofxCvImage::transform(float angle, float centreX, float centreY, float sx, float sy,
                           float moveX, float moveY) {
    if (!holdsImage()) {
        return;
    }
    float radians = static_cast<float>(angle * 0.017453292519943295);
    float s = std::sin(radians);
    float c = std::cos(radians);
    cv::Matx23d m(sx * c, sy * s, -centreX * sx * c - centreY * sy * s + moveX + centreX,
                  -sx * s, sy * c, -centreY * sy * c + centreX * sx * s + moveY + centreY);
    cv::warpAffine(image, tempImage, m, image.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                   cv::Scalar::all(0));
    swapTemp();
}

void ofxCvImage::undistort(float r1, float r2, float t1, float t2, float fx, float fy, float cx,
                           float cy) {
    if (!holdsImage()) {
        return;
    }
    cv::Matx33d camera(fx, 0, cx, 0, fy, cy, 0, 0, 1);
    cv::Vec4d distortion(r1, r2, t1, t2);
    cv::undistort(image, tempImage, camera, distortion);
    swapTemp();
}

void ofxCvImage::remap(const cv::Mat& mapX, const cv::Mat& mapY) {
    if (!holdsImage()) {
        return;
    }
    bool fits = mapX.type() == CV_32FC1 && mapY.type() == CV_32FC1 &&
                mapX.size() == image.size() && mapY.size() == image.size();
    if (!fits) {
        std::printf("error in remap, maps must be float images of the same size\n");
        return;
    }
    cv::remap(image, tempImage, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_CONSTANT,
              cv::Scalar::all(0));
    swapTemp();
}

void ofxCvImage::warpPerspective(const ofPoint& a, const ofPoint& b, const ofPoint& c,
                                 const ofPoint& d) {
    if (!holdsImage()) {
        return;
    }
    float w = static_cast<float>(width);
    float h = static_cast<float>(height);
    cv::Point2f corners[4] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
    cv::Point2f targets[4] = {toCv(a), toCv(b), toCv(c), toCv(d)};
    cv::Mat m = cv::getPerspectiveTransform(corners, targets);
    cv::warpPerspective(image, tempImage, m, image.size(), cv::INTER_LINEAR,
                        cv::BORDER_CONSTANT, cv::Scalar::all(0));
    swapTemp();
}

// The warp would otherwise turn the working image into the source's type.
void ofxCvImage::warpIntoMe(const ofxCvGrayscaleImage& source, ofPoint* from, ofPoint* to) {
    if (!holdsImage() || !source.holdsImage() || from == nullptr || to == nullptr) {
        return;
    }
    if (source.getCvImage().type() != image.type()) {
        std::printf("error in warpIntoMe, images are different kinds\n");
        return;
    }
    cv::Point2f src[4];
    cv::Point2f dst[4];
    for (int i = 0; i < 4; i++) {
        src[i] = toCv(from[i]);
        dst[i] = toCv(to[i]);
    }
    cv::Mat m = cv::getPerspectiveTransform(src, dst);
    cv::warpPerspective(source.getCvImage(), image, m, image.size(), cv::INTER_LINEAR,
                        cv::BORDER_CONSTANT, cv::Scalar::all(0));
}

int ofxCvImage::countNonZeroInRegion(int x, int y, int w, int h) const {
    if (!holdsImage() || w <= 0 || h <= 0) {
        return 0;
    }
    cv::Rect region = cv::Rect(x, y, w, h) & cv::Rect(0, 0, width, height);
    if (region.empty()) {
        return 0;
    }
    return cv::countNonZero(image(region));
}

void ofxCvImage::swapTemp() {
    std::swap(image, tempImage);
}

// ---- Shared steps of the kinds ------------------------------------------------------

bool ofxCvImage::holdsImage() const {
    return width > 0 && height > 0;
}

bool ofxCvImage::sameSizeAs(const ofxCvImage& other, const char* operation) const {
    if (other.width != width || other.height != height) {
        std::printf("error in %s, images are different sizes\n", operation);
        return false;
    }
    return holdsImage();
}

bool ofxCvImage::allocateStorage(int w, int h, int cvType, int glType, int bytesPerPixel,
                                 const char* kindName) {
    if (!sizeAccepted(w, h, "allocate")) {
        return false;
    }
    if (allocated) {
        std::printf("warning: reallocating cvImage in %s\n", kindName);
        clear();
    }
    image.create(h, w, cvType);
    tempImage.create(h, w, cvType);
    pixels = new unsigned char[static_cast<size_t>(w) * h * bytesPerPixel];
    width = w;
    height = h;
    allocated = true;
    if (useTexture) {
        texture.allocate(width, height, glType);
    }
    return true;
}

// The vision library may pad its rows, so copies go row by row.
void ofxCvImage::copyRowsIn(const unsigned char* source, int bytesPerRow) {
    for (int j = 0; j < height; j++) {
        std::memcpy(image.ptr(j), source + static_cast<size_t>(j) * bytesPerRow, bytesPerRow);
    }
}

void ofxCvImage::copyRowsOut(const cv::Mat& from, unsigned char* target, int bytesPerRow) const {
    for (int j = 0; j < height; j++) {
        std::memcpy(target + static_cast<size_t>(j) * bytesPerRow, from.ptr(j), bytesPerRow);
    }
}

void ofxCvImage::drawThroughTexture(int glFormat, float x, float y, float w, float h) {
    texture.loadData(pixels, width, height, glFormat);
    texture.draw(x, y, w, h);
}

void ofxCvImage::copyImageOf(const ofxCvImage& other) {
    useTexture = other.useTexture;
    if (other.holdsImage()) {
        allocate(other.width, other.height);
        other.image.copyTo(image);
    }
}

void ofxCvImage::subtractImage(const ofxCvImage& other) {
    if (sameSizeAs(other, "-=")) {
        cv::subtract(image, other.image, tempImage);
        swapTemp();
    }
}

void ofxCvImage::addImage(const ofxCvImage& other) {
    if (sameSizeAs(other, "+=")) {
        cv::add(image, other.image, tempImage);
        swapTemp();
    }
}

void ofxCvImage::multiplyImage(const ofxCvImage& other, double scale) {
    if (sameSizeAs(other, "*=")) {
        cv::multiply(image, other.image, tempImage, scale);
        swapTemp();
    }
}

void ofxCvImage::resize(int w, int h) {
    if (!sizeAccepted(w, h, "resize") || !holdsImage()) {
        return;
    }
    cv::Mat resized;
    cv::resize(image, resized, cv::Size(w, h), 0, 0, cv::INTER_LINEAR);
    clear();
    allocate(w, h);
    resized.copyTo(image);
}
