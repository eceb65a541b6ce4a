#include "ofMath.h"

#include <gtest/gtest.h>

TEST(ofMath, NextPow2) {
    EXPECT_EQ(ofNextPow2(-4), 1);
    EXPECT_EQ(ofNextPow2(0), 1);
    EXPECT_EQ(ofNextPow2(1), 1);
    EXPECT_EQ(ofNextPow2(2), 2);
    EXPECT_EQ(ofNextPow2(3), 4);
    EXPECT_EQ(ofNextPow2(240), 256);
    EXPECT_EQ(ofNextPow2(512), 512);
    EXPECT_EQ(ofNextPow2(640), 1024);
    EXPECT_EQ(ofNextPow2(1 << 30), 1 << 30);
    EXPECT_EQ(ofNextPow2((1 << 30) + 1), 1 << 30) << "no int power of two is larger";
}

TEST(ofMath, RandomStaysWithinItsBoundsWhicheverOrder) {
    ofSeedRandom(7);
    float lowest = 10, highest = 0;
    for (int i = 0; i < 20000; i++) {
        float value = ofRandom(10, 0);
        ASSERT_GE(value, 0.0f);
        ASSERT_LT(value, 10.0f);
        lowest = std::min(lowest, value);
        highest = std::max(highest, value);
    }
    EXPECT_LT(lowest, 0.01f) << "the whole range is reached";
    EXPECT_GT(highest, 9.99f);

    for (int i = 0; i < 20000; i++) {
        float signedValue = ofRandomf();
        ASSERT_GE(signedValue, -1.0f);
        ASSERT_LT(signedValue, 1.0f);
        float unitValue = ofRandomuf();
        ASSERT_GE(unitValue, 0.0f);
        ASSERT_LT(unitValue, 1.0f);
    }
}

TEST(ofMath, WideRangesNeverReachTheUpperBound) {
    ofSeedRandom(3);
    for (int i = 0; i < 20000; i++) {
        ASSERT_LT(ofRandom(0, 1e9f), 1e9f);
    }
}

TEST(ofMath, EqualBoundsDrawNoRawValue) {
    ofSeedRandom(42);
    float first = ofRandomuf();
    float second = ofRandomuf();

    ofSeedRandom(42);
    EXPECT_EQ(ofRandom(5, 5), 5.0f);
    EXPECT_EQ(ofRandomuf(), first) << "ofRandom(5, 5) must not consume a value";
    EXPECT_EQ(ofRandomuf(), second);
}

TEST(ofMath, SameSeedRepeatsTheSequence) {
    ofSeedRandom(1234);
    float a = ofRandom(-3, 3);
    float b = ofRandomf();
    ofSeedRandom(1234);
    EXPECT_EQ(ofRandom(-3, 3), a);
    EXPECT_EQ(ofRandomf(), b);
}
