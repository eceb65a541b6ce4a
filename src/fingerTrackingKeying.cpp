#include "fingerTracking.h"

#include <algorithm>
#include <cmath>

// ---- File-level state -------------------------------------------------------------

// Colour one is keyed more loosely than colour two.
static const float hueReachOne = 12;
static const float satBelowOne = 24;
static const float hueReachTwo = 6;
static const float satBelowTwo = 12;
static const float satAbove = 200;

static const float hueTurn = 180;               // a whole turn of hue in the 8-bit scale
static const int minBlobArea = 10;              // pixels
static const int blobsKept = 1;

// ---- Helpers -----------------------------------------------------------------------

// The bytes b with low <= b <= high (compared as floats): exactly those within
// ceil(low) .. floor(high) cut to 0..255. As a first byte and a span, so that
// the keying loop compares bytes only, which the compiler can vectorise; a band
// with no byte in it keeps nothing.
struct ByteBand {
    unsigned char first = 0;
    unsigned char span = 0;
    unsigned char keeps = 0;            // 1 when the band holds any byte, else 0
};

static ByteBand byteBand(float low, float high) {
    ByteBand band;
    float from = std::max(0.0f, std::ceil(low));
    float to = std::min(255.0f, std::floor(high));
    if (from <= to) {
        band = {static_cast<unsigned char>(from), static_cast<unsigned char>(to - from), 1};
    }
    return band;
}

static unsigned char inBand(unsigned char value, const ByteBand& band) {
    return static_cast<unsigned char>(static_cast<unsigned char>(value - band.first) <= band.span) & band.keeps;
}

// The plane's own rows when they are packed, which spares a copy per frame.
static const unsigned char* packedPixels(ofxCvGrayscaleImage& plane) {
    const cv::Mat& image = plane.getCvImage();
    return image.isContinuous() ? image.ptr<unsigned char>() : plane.getPixels();
}

// ---- Keying ------------------------------------------------------------------------

// Hue is an angle halved, 0 to 180: red lies at both ends, so a band that reaches
// below 0 goes on below 180 and one that reaches above 180 goes on from 0.
__attribute__((optimize("tree-vectorize")))
void keyColourBand(const unsigned char* hue, const unsigned char* sat, unsigned char* mask, int n,
                   float hueCentre, float satCentre, float hueReach, float satBelow, float satAbove) {
    const float low = hueCentre - hueReach, high = hueCentre + hueReach;
    const ByteBand hues = byteBand(low, high);
    const ByteBand wrappedDown = byteBand(low - hueTurn, high - hueTurn);
    const ByteBand wrappedUp = byteBand(low + hueTurn, high + hueTurn);
    const ByteBand sats = byteBand(satCentre - satBelow, satCentre + satAbove);
    for (int i = 0; i < n; i++) {
        unsigned char inHue = inBand(hue[i], hues) | inBand(hue[i], wrappedDown) | inBand(hue[i], wrappedUp);
        mask[i] = static_cast<unsigned char>(-static_cast<int>(inHue & inBand(sat[i], sats)));
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
