#include "ofMath.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(ofMath, NextPow2) {
    EXPECT_EQ(ofNextPow2(0), 1);
    EXPECT_EQ(ofNextPow2(512), 512);
    EXPECT_EQ(ofNextPow2(640), 1024);
    EXPECT_EQ(ofNextPow2((1 << 30) + 1), 1 << 30) << "no int power of two is larger";
}

TEST(ofMath, RandomFillsItsHalfOpenRangeAndRepeatsForTheSameSeed) {
    ofSeedRandom(7);
    static float drawn[3][200000];  // each generator scaled onto [0, 10), the first with its bounds reversed
    for (int i = 0; i < 200000; i++) {
        drawn[0][i] = ofRandom(10, 0);
        drawn[1][i] = (ofRandomf() + 1) * 5;
        drawn[2][i] = ofRandomuf() * 10;
        ASSERT_LT(ofRandom(1000, 1000.0625f), 1000.0625f) << "rounding must not reach the upper bound";
    }
    for (const auto& values : drawn) {
        auto [lowest, highest] = std::minmax_element(values, values + 200000);
        EXPECT_TRUE(*lowest >= 0 && *lowest < 0.01f && *highest < 10 && *highest > 9.99f) << *lowest << " " << *highest;
    }
    ofSeedRandom(7);
    EXPECT_EQ(ofRandom(5, 5), 5.0f);
    EXPECT_EQ(ofRandom(10, 0), drawn[0][0]) << "the same seed repeats the sequence; equal bounds draw no raw value";
}
