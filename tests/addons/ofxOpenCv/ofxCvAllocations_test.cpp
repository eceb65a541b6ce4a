// Counts the heap allocations of the game's per-frame vision path by standing
// in for the C library's allocator in this binary (operator new and the vision
// library's aligned allocations all end up here).
#include "shoeKeyingPath.h"

#include <gtest/gtest.h>
#include <cstddef>
#include <cstdio>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
}

static bool bCounting = false;
static long allocationCount = 0;

static void countOne() {
    if (bCounting) allocationCount++;
}

extern "C" {
void* malloc(size_t size) {
    countOne();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    countOne();
    return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) {
    countOne();
    return __libc_realloc(block, size);
}
void* memalign(size_t alignment, size_t size) {
    countOne();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
    countOne();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
    countOne();
    *out = __libc_memalign(alignment, size);
    return *out ? 0 : 12;  // ENOMEM
}
}

template <typename Work>
static long allocationsOf(Work work) {
    allocationCount = 0;
    bCounting = true;
    work();
    bCounting = false;
    return allocationCount;
}

TEST(ofxCvAllocations, TheCounterSeesVisionLibraryAllocations) {
    long counted = allocationsOf([] { cv::Mat scratch(64, 64, CV_8UC3); });
    EXPECT_GE(counted, 1);
}

TEST(ofxCvAllocations, SteadyStateFramesAllocateOnlyInTheContourSearch) {
    const int w = 320, h = 240, frameCount = 8;
    std::vector<std::vector<unsigned char>> frames = shoeFrames(w, h, frameCount);
    ShoeKeyingPath path(w, h, false);
    for (int f = 0; f < frameCount; f++) {  // warm-up: thread pools, first-use tables
        path.makeMasks(frames[f].data());
        path.findShoes();
    }
    long keying = 0, search = 0;
    for (int f = 0; f < frameCount; f++) {
        keying += allocationsOf([&] { path.makeMasks(frames[f].data()); });
        search += allocationsOf([&] { path.findShoes(); });
    }
    ASSERT_EQ(path.trackerOne.blobCount, 1);
    ASSERT_EQ(path.trackerTwo.blobCount, 1);
    std::printf("allocations per frame: %.1f outside the contour search, %.1f in the two searches\n",
                static_cast<double>(keying) / frameCount, static_cast<double>(search) / frameCount);
    EXPECT_EQ(keying, 0);
}

// The benchmark's byte keying must mark exactly what the float comparison marks.
TEST(ofxCvAllocations, ByteKeyingMatchesTheFloatRule) {
    std::vector<unsigned char> hue(256 * 256), sat(256 * 256), mask(256 * 256);
    for (int i = 0; i < 256 * 256; i++) {
        hue[i] = static_cast<unsigned char>(i % 256);
        sat[i] = static_cast<unsigned char>(i / 256);
    }
    const ShoeBand bands[] = {shoeOneBand, shoeTwoBand, {3, 55, 12, 24}, {0, 0, 6, 12},
                              {178.5f, 30.25f, 12, 24}, {250, 254, 12, 24}};
    for (const ShoeBand& band : bands) {
        keyShoe(hue.data(), sat.data(), mask.data(), 256 * 256, band);
        for (int i = 0; i < 256 * 256; i++) {
            float h = hue[i], s = sat[i];
            bool inside = h >= band.hue - band.hueReach && h <= band.hue + band.hueReach &&
                          s >= band.sat - band.satBelow && s <= band.sat + 200;
            ASSERT_EQ(mask[i], inside ? 255 : 0) << "hue " << h << " sat " << s << " band " << band.hue;
        }
    }
}
