#include "fingerTracking.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// ---- File-level state -------------------------------------------------------------

// Colour one is keyed more loosely than colour two.
static const float hueReachOne = 12;
static const float satBelowOne = 24;
static const float hueReachTwo = 6;
static const float satBelowTwo = 12;
static const float satAbove = 200;

static const int minBlobArea = 10;              // pixels
static const int blobsKept = 1;

// ---- Helpers -----------------------------------------------------------------------

// A byte b satisfies low <= b <= high (floats) exactly when it lies within
// ceil(low) .. floor(high) cut to 0..255; the loop then compares bytes only,
// which the compiler can vectorise.
static bool wholeBand(float low, float high, unsigned char& first, unsigned char& span) {
    float from = std::max(0.0f, std::ceil(low));
    float to = std::min(255.0f, std::floor(high));
    if (!(from <= to)) {
        return false;
    }
    first = static_cast<unsigned char>(from);
    span = static_cast<unsigned char>(to - from);
    return true;
}

// The plane's own rows when they are packed, which spares a copy per frame.
static const unsigned char* packedPixels(ofxCvGrayscaleImage& plane) {
    const cv::Mat& image = plane.getCvImage();
    return image.isContinuous() ? image.ptr<unsigned char>() : plane.getPixels();
}

// ---- Keying ------------------------------------------------------------------------

__attribute__((optimize("tree-vectorize")))
void keyColourBand(const unsigned char* hue, const unsigned char* sat, unsigned char* mask, int n,
                   float hueCentre, float satCentre, float hueReach, float satBelow, float satAbove) {
    unsigned char hueFirst, hueSpan, satFirst, satSpan;
    if (!wholeBand(hueCentre - hueReach, hueCentre + hueReach, hueFirst, hueSpan) ||
        !wholeBand(satCentre - satBelow, satCentre + satAbove, satFirst, satSpan)) {
        std::memset(mask, 0, static_cast<size_t>(n));
        return;
    }
    for (int i = 0; i < n; i++) {
        bool inHue = static_cast<unsigned char>(hue[i] - hueFirst) <= hueSpan;
        bool inSat = static_cast<unsigned char>(sat[i] - satFirst) <= satSpan;
        mask[i] = static_cast<unsigned char>(-static_cast<int>(inHue & inSat));
    }
}

void FingerTracking::doCameraKeying() {
    unsigned char* camera = grabber.getPixels();
    if (camera == nullptr) {
        // No camera: nothing to key, and no shoe may be found in stale planes.
        huePlane.set(0);
        satPlane.set(0);
        std::fill(maskOne.begin(), maskOne.end(), 0);
        std::fill(maskTwo.begin(), maskTwo.end(), 0);
        maskOneImage.set(0);
        maskTwoImage.set(0);
        trackerOne.reset();
        trackerTwo.reset();
        return;
    }
    cameraImage.setFromPixels(camera, width, height);
    hsvImage = cameraImage;
    hsvImage.convertRgbToHsv();
    hsvImage.convertToGrayscalePlanarImages(huePlane, satPlane, valPlane);
    keyShoe(shoeOne, hueReachOne, satBelowOne, maskOne, maskOneImage, trackerOne);
    keyShoe(shoeTwo, hueReachTwo, satBelowTwo, maskTwo, maskTwoImage, trackerTwo);
}

// ---- Colour measurement ------------------------------------------------------------

void FingerTracking::getColor(color& c, int x, int y) {
    int column = std::max(0, std::min(x, huePlane.width - 1));
    int row = std::max(0, std::min(y, huePlane.height - 1));
    c.hue = huePlane.getCvImage().at<unsigned char>(row, column);
    c.sat = satPlane.getCvImage().at<unsigned char>(row, column);
}

void FingerTracking::measureColors() {
    getColor(shoeOne, static_cast<int>(blockOne.x), static_cast<int>(blockOne.y));
    getColor(shoeTwo, static_cast<int>(blockTwo.x), static_cast<int>(blockTwo.y));
    blockDistance = d(blockOne.x, blockOne.y, blockTwo.x, blockTwo.y);
    raceLength = blockDistance * raceLengthPerBlockPixel;
    if (!settingsLoaded) {
        saveSettings();
    }
}

// ---- Private -----------------------------------------------------------------------

void FingerTracking::keyShoe(const color& shoe, float hueReach, float satBelow, std::vector<unsigned char>& mask,
                             ofxCvGrayscaleImage& maskImage, ofxCvContourFinder& tracker) {
    keyColourBand(packedPixels(huePlane), packedPixels(satPlane), mask.data(), width * height, shoe.hue,
                  shoe.sat, hueReach, satBelow, satAbove);
    maskImage.setFromPixels(mask.data(), width, height);
    tracker.findContours(maskImage, minBlobArea, width * height / 3, blobsKept, false, true);
}
