#include "ofMath.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(ofMath, NextPow2) {
    EXPECT_EQ(ofNextPow2(0), 1);
    EXPECT_EQ(ofNextPow2(512), 512);
    EXPECT_EQ(ofNextPow2(640), 1024);
    EXPECT_EQ(ofNextPow2((1 << 30) + 1), 1 << 30) << "no int power of two is larger";
}

// Every generator scaled onto [0, 10), the first with its bounds reversed: near both ends, never 10.
TEST(ofMath, RandomFillsItsHalfOpenRange) {
    ofSeedRandom(7);
    EXPECT_EQ(ofRandom(5, 5), 5.0f);
    float lowest = 10;
    float highest = 0;
    for (int i = 0; i < 200000; i++) {
        for (float value : {ofRandom(10, 0), (ofRandomf() + 1) * 5, ofRandomuf() * 10}) {
            lowest = std::min(lowest, value);
            highest = std::max(highest, value);
        }
        ASSERT_LT(ofRandom(1000, 1000.0625f), 1000.0625f) << "rounding must not reach the upper bound";
    }
    EXPECT_TRUE(lowest >= 0 && lowest < 0.01f && highest < 10 && highest > 9.99f) << lowest << " " << highest;
}
