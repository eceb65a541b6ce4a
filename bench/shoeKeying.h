#pragma once

// Synthetic camera frames of two shoes on a floor, and the running game's
// per-frame vision work written with the image buffers and the contour finder
// as the game uses them, keyed by the game's own band keying.
#include "fingerTracking.h"
#include "ofxOpenCv.h"

#include <random>
#include <vector>

// A shoe's colour band: hue within +-hueReach, saturation from sat - satBelow to sat + 200.
struct ShoeBand {
    float hue, sat, hueReach, satBelow;
};

static const ShoeBand shoeOneBand = {5, 220, 12, 24};
static const ShoeBand shoeTwoBand = {110, 215, 6, 12};

// Camera frames (R, G, B, rows top-down) of a textured floor with two shoes,
// an orange-red and a blue one, moving a little from frame to frame.
inline std::vector<std::vector<unsigned char>> shoeFrames(int w, int h, int count) {
    std::mt19937 random(7);
    std::vector<std::vector<unsigned char>> frames;
    for (int f = 0; f < count; f++) {
        cv::Mat rgb(h, w, CV_8UC3);
        for (int y = 0; y < h; y++) {
            for (int x = 0; x < w; x++) {
                int grain = static_cast<int>(random() % 40);
                int stripe = ((x / 16 + y / 12) % 2) * 25;
                rgb.at<cv::Vec3b>(y, x) = cv::Vec3b(110 + grain + stripe, 100 + grain + stripe, 90 + grain);
            }
        }
        for (int speck = 0; speck < 40; speck++) {   // small flecks of both colours in the floor
            cv::Point at(random() % w, random() % h);
            cv::Scalar colour = speck % 2 ? cv::Scalar(220, 60, 30) : cv::Scalar(30, 80, 200);
            cv::circle(rgb, at, 1, colour, cv::FILLED);
        }
        int dx = (f * 3) % 20;
        cv::ellipse(rgb, cv::Point(w * 3 / 10 + dx, h * 7 / 10), cv::Size(w / 14, h / 20), 10, 0, 360,
                    cv::Scalar(220, 60, 30), cv::FILLED);
        cv::ellipse(rgb, cv::Point(w * 7 / 10 - dx, h * 7 / 10), cv::Size(w / 14, h / 20), -10, 0, 360,
                    cv::Scalar(30, 80, 200), cv::FILLED);
        frames.emplace_back(rgb.data, rgb.data + rgb.total() * 3);
    }
    return frames;
}

struct ShoeKeyingPath {
    int w, h;
    ofxCvColorImage cameraImage, hsvImage;
    ofxCvGrayscaleImage huePlane, satPlane, valPlane, maskOneImage, maskTwoImage;
    std::vector<unsigned char> maskOne, maskTwo;
    ofxCvContourFinder trackerOne, trackerTwo;

    ShoeKeyingPath(int w, int h, bool useTexture) : w(w), h(h), maskOne(w * h), maskTwo(w * h) {
        for (ofxCvImage* image : std::vector<ofxCvImage*>{&cameraImage, &hsvImage, &huePlane, &satPlane,
                                                          &valPlane, &maskOneImage, &maskTwoImage}) {
            image->setUseTexture(useTexture);
            image->allocate(w, h);
        }
    }

    // Everything up to the contour search.
    void makeMasks(const unsigned char* cameraPixels) {
        cameraImage.setFromPixels(cameraPixels, w, h);
        hsvImage = cameraImage;
        hsvImage.convertRgbToHsv();
        hsvImage.convertToGrayscalePlanarImages(huePlane, satPlane, valPlane);
        unsigned char* hue = huePlane.getPixels();
        unsigned char* sat = satPlane.getPixels();
        keyColourBand(hue, sat, maskOne.data(), w * h, shoeOneBand.hue, shoeOneBand.sat, shoeOneBand.hueReach,
                      shoeOneBand.satBelow, 200);
        keyColourBand(hue, sat, maskTwo.data(), w * h, shoeTwoBand.hue, shoeTwoBand.sat, shoeTwoBand.hueReach,
                      shoeTwoBand.satBelow, 200);
        maskOneImage.setFromPixels(maskOne.data(), w, h);
        maskTwoImage.setFromPixels(maskTwo.data(), w, h);
    }

    void findShoes() {
        trackerOne.findContours(maskOneImage, 10, w * h / 3, 1, false, true);
        trackerTwo.findContours(maskTwoImage, 10, w * h / 3, 1, false, true);
    }
};
