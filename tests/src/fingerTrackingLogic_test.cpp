// The running game's pieces that need no window: the frame timer, the step
// rule and its geometry, the shoe keying on bytes, and the display's texts.
#include "fingerTracking.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

int fakeNow = 0;
int fakeClock() {
    return fakeNow;
}

// The keying as stated: four float comparisons per pixel, bounds included.
unsigned char floatKey(int h, int s, float hue, float sat, float hueReach, float satBelow) {
    float fh = static_cast<float>(h), fs = static_cast<float>(s);
    bool inside = fh >= hue - hueReach && fh <= hue + hueReach && fs >= sat - satBelow && fs <= sat + 200;
    return inside ? 255 : 0;
}

}  // namespace

TEST(DeltaTime, MeasuresEveryOtherCallAndKeepsTheLastInterval) {
    deltaTime timer;
    timer.clockMillis = fakeClock;
    const int calls[] = {0, 16, 33, 50, 66};
    const float expected[] = {0, 0, 17, 17, 16};
    for (int i = 0; i < 5; i++) {
        fakeNow = calls[i];
        timer.doStuff();
        EXPECT_EQ(timer.delta, expected[i]) << "call at " << calls[i];
    }
}

TEST(StepRule, CountsWholePixelsOfRightwardMovesNearTheLine) {
    const ofxVec2f from(0, 100), to(300, 100);
    const ofxVec2f start(50, 100);
    EXPECT_EQ(FingerTracking::stepFor(start, ofxVec2f(52.0f, 100), from, to), 0);
    EXPECT_EQ(FingerTracking::stepFor(start, ofxVec2f(52.5f, 100), from, to), 2);
    EXPECT_EQ(FingerTracking::stepFor(start, ofxVec2f(60.9f, 100), from, to), 10);
    EXPECT_EQ(FingerTracking::stepFor(start, ofxVec2f(53.7f, 100), from, to), 3);
    // Leftward and vertical moves count nothing.
    EXPECT_EQ(FingerTracking::stepFor(start, ofxVec2f(20, 100), from, to), 0);
    EXPECT_EQ(FingerTracking::stepFor(start, ofxVec2f(50, 60), from, to), 0);
    // Exactly 10 from the line is too far; just inside counts.
    EXPECT_EQ(FingerTracking::stepFor(start, ofxVec2f(55, 110), from, to), 0);
    EXPECT_EQ(FingerTracking::stepFor(start, ofxVec2f(55, 90), from, to), 0);
    EXPECT_EQ(FingerTracking::stepFor(start, ofxVec2f(55, 109.5f), from, to), 5);
}

TEST(StepRule, TheLineReachesBeyondTheBlocksAndNeedsTwoPoints) {
    // Far right of the segment, on the line's continuation.
    EXPECT_FLOAT_EQ(FingerTracking::distToLine(500, 3, 0, 0, 10, 0), 3);
    // A slanted line: (0, 10) is 10 / sqrt(2) from y = x.
    EXPECT_NEAR(FingerTracking::distToLine(0, 10, 0, 0, 1, 1), 7.0710678f, 1e-5);
    EXPECT_FLOAT_EQ(FingerTracking::d(0, 0, 30, 40), 50);
    // Both blocks on one point: no step counts, however close.
    const ofxVec2f block(100, 100);
    EXPECT_EQ(FingerTracking::stepFor(ofxVec2f(100, 100), ofxVec2f(108, 100), block, block), 0);
}

TEST(ShoeKeying, BytesMatchTheFloatBandsEverywhere) {
    std::vector<unsigned char> hue, sat;
    for (int h = 0; h < 256; h++) {
        for (int s = 0; s < 256; s++) {
            hue.push_back(static_cast<unsigned char>(h));
            sat.push_back(static_cast<unsigned char>(s));
        }
    }
    const int n = static_cast<int>(hue.size());
    struct Band {
        float hue, sat, hueReach, satBelow;
    };
    // Both shoes' widths; low hues (no wrap), fractional centres, out-of-range
    // centres and a saturation whose upper bound passes 255.
    const Band bands[] = {{3, 55, 12, 24},   {3, 55, 6, 12},      {0, 0, 12, 24},  {178, 250, 6, 12},
                          {90.5f, 100.4f, 12, 24}, {-20, -30, 6, 12}, {300, 400, 12, 24}, {120, 12, 6, 12}};
    std::vector<unsigned char> mask(n, 7);
    for (const Band& band : bands) {
        keyColourBand(hue.data(), sat.data(), mask.data(), n, band.hue, band.sat, band.hueReach, band.satBelow, 200);
        int wrong = 0;
        for (int i = 0; i < n; i++) {
            wrong += mask[i] != floatKey(hue[i], sat[i], band.hue, band.sat, band.hueReach, band.satBelow);
        }
        EXPECT_EQ(wrong, 0) << "band around hue " << band.hue << ", sat " << band.sat;
    }
    // Hue 3 with the wide band: 0 to 15 marked, nothing near 180.
    keyColourBand(hue.data(), sat.data(), mask.data(), n, 3, 100, 12, 24, 200);
    EXPECT_EQ(mask[15 * 256 + 100], 255);
    EXPECT_EQ(mask[16 * 256 + 100], 0);
    EXPECT_EQ(mask[179 * 256 + 100], 0);
}

TEST(RaceDisplay, CountdownNumbersByClock) {
    EXPECT_EQ(FingerTracking::countdownText(-5000), "[6]");
    EXPECT_EQ(FingerTracking::countdownText(-4999.5f), "[5]");
    EXPECT_EQ(FingerTracking::countdownText(-1000), "[2]");
    EXPECT_EQ(FingerTracking::countdownText(-999), "[1]");
    EXPECT_EQ(FingerTracking::countdownText(-0.5f), "[1]");
}

TEST(RaceDisplay, DistanceTimeAndRunnerFromTheRaceState) {
    EXPECT_EQ(FingerTracking::distanceText(3000, 6000), "50.0 dm");
    EXPECT_EQ(FingerTracking::distanceText(6000, 6000), "100.0 dm");
    // Both blocks on one point: no race length, the runner waits at the start.
    EXPECT_EQ(FingerTracking::distanceText(0, 0), "0.0 dm");
    EXPECT_FLOAT_EQ(FingerTracking::runnerLeft(0, 0), -24);
    EXPECT_FLOAT_EQ(FingerTracking::runnerLeft(0, 6000), -24);
    EXPECT_FLOAT_EQ(FingerTracking::runnerLeft(3000, 6000), 176);
    EXPECT_FLOAT_EQ(FingerTracking::runnerLeft(6000, 6000), 376);

    EXPECT_EQ(FingerTracking::timeText(-3000), "0.000 ");
    EXPECT_EQ(FingerTracking::timeText(12345.6f), "12.346 ");
    EXPECT_EQ(FingerTracking::finishText(60000), "Finished in \n 60.000 seconds");
    EXPECT_EQ(FingerTracking::finishText(12345), "Finished in \n 12.345 seconds");
}
