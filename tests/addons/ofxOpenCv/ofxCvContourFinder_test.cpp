#include "glTestWindow.h"

#include "ofxOpenCv.h"
#include "ofGraphics.h"

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

// Masks are painted by hand, pixel by pixel, so the expected geometry never
// comes from the library under the finder.
struct Mask {
    int w, h;
    std::vector<unsigned char> px;
    Mask(int w, int h) : w(w), h(h), px(static_cast<size_t>(w) * h, 0) {}
    void rect(int x, int y, int rw, int rh, unsigned char v = 255) {
        for (int j = y; j < y + rh; j++)
            for (int i = x; i < x + rw; i++) px[j * w + i] = v;
    }
    void disk(int cx, int cy, int r) {
        for (int j = cy - r; j <= cy + r; j++)
            for (int i = cx - r; i <= cx + r; i++)
                if ((i - cx) * (i - cx) + (j - cy) * (j - cy) <= r * r) px[j * w + i] = 255;
    }
};

class ofxCvContourFinderTest : public GlTest {
protected:
    ofxCvGrayscaleImage image;
    ofxCvContourFinder finder;

    int find(Mask& mask, int minArea, int maxArea, int maxBlobs, bool holes, bool approximate) {
        if (image.width != mask.w || image.height != mask.h) {
            image.allocate(mask.w, mask.h);
        }
        image.setFromPixels(mask.px.data(), mask.w, mask.h);
        return finder.findContours(image, minArea, maxArea, maxBlobs, holes, approximate);
    }
};

// The largest 8-connected region by pixel count and its centre of mass.
struct Region {
    int count = 0;
    double cx = 0, cy = 0;
};

static Region largestRegion(const Mask& mask) {
    std::vector<int> seen(mask.px.size(), 0);
    Region best;
    for (int start = 0; start < static_cast<int>(mask.px.size()); start++) {
        if (!mask.px[start] || seen[start]) continue;
        Region r;
        std::vector<int> stack = {start};
        seen[start] = 1;
        while (!stack.empty()) {
            int at = stack.back();
            stack.pop_back();
            int x = at % mask.w, y = at / mask.w;
            r.count++;
            r.cx += x;
            r.cy += y;
            for (int dy = -1; dy <= 1; dy++)
                for (int dx = -1; dx <= 1; dx++) {
                    int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= mask.w || ny >= mask.h) continue;
                    int n = ny * mask.w + nx;
                    if (mask.px[n] && !seen[n]) {
                        seen[n] = 1;
                        stack.push_back(n);
                    }
                }
        }
        if (r.count > best.count) best = r;
    }
    if (best.count > 0) {
        best.cx /= best.count;
        best.cy /= best.count;
    }
    return best;
}

TEST_F(ofxCvContourFinderTest, AllBlackGivesNoBlobs) {
    Mask mask(64, 48);
    EXPECT_EQ(find(mask, 0, 100000, 10, true, true), 0);
    EXPECT_TRUE(finder.blobs.empty());
}

TEST_F(ofxCvContourFinderTest, TenByTenSquareIsMeasuredThroughItsBoundaryPixelCentres) {
    Mask mask(200, 150);
    mask.rect(100, 100, 10, 10);
    ASSERT_EQ(find(mask, 10, 1000, 1, false, true), 1);
    const ofxCvBlob& blob = finder.blobs[0];
    EXPECT_FLOAT_EQ(blob.area, 81);
    EXPECT_FLOAT_EQ(blob.perimeter, 36);
    EXPECT_FLOAT_EQ(blob.boundingBox.x, 100);
    EXPECT_FLOAT_EQ(blob.boundingBox.y, 100);
    EXPECT_FLOAT_EQ(blob.boundingBox.width, 10);
    EXPECT_FLOAT_EQ(blob.boundingBox.height, 10);
    EXPECT_FLOAT_EQ(blob.centroid.x, 104);
    EXPECT_FLOAT_EQ(blob.centroid.y, 104);
    EXPECT_FALSE(blob.isHole);
    EXPECT_EQ(blob.pointCount, 4);
}

TEST_F(ofxCvContourFinderTest, RectangleOutlineHasCornersOrEveryBoundaryPixel) {
    Mask mask(80, 60);
    mask.rect(10, 20, 30, 12);
    ASSERT_EQ(find(mask, 10, 10000, 1, false, true), 1);
    const ofxCvBlob& simple = finder.blobs[0];
    ASSERT_EQ(simple.pointCount, 4);
    for (const ofPoint& p : simple.points) {
        EXPECT_TRUE(p.x == 10 || p.x == 39) << p.x;
        EXPECT_TRUE(p.y == 20 || p.y == 31) << p.y;
    }

    ASSERT_EQ(find(mask, 10, 10000, 1, false, false), 1);
    const ofxCvBlob& full = finder.blobs[0];
    EXPECT_EQ(full.pointCount, 2 * (29 + 11));
    EXPECT_EQ(static_cast<int>(full.points.size()), full.pointCount);
    for (const ofPoint& p : full.points) {
        bool onEdge = p.x == 10 || p.x == 39 || p.y == 20 || p.y == 31;
        EXPECT_TRUE(onEdge) << p.x << "," << p.y;
    }
}

TEST_F(ofxCvContourFinderTest, LargestRegionComesFirst) {
    Mask mask(120, 80);
    mask.rect(5, 5, 6, 11);      // outline area 5 * 10 = 50
    mask.rect(50, 30, 26, 21);   // outline area 25 * 20 = 500
    ASSERT_EQ(find(mask, 10, 10000, 1, false, true), 1);
    EXPECT_FLOAT_EQ(finder.blobs[0].area, 500);

    ASSERT_EQ(find(mask, 10, 10000, 5, false, true), 2);
    EXPECT_FLOAT_EQ(finder.blobs[0].area, 500);
    EXPECT_FLOAT_EQ(finder.blobs[1].area, 50);
    EXPECT_EQ(find(mask, 10, 10000, 0, false, true), 0);
}

TEST_F(ofxCvContourFinderTest, AreaBoundsAreStrict) {
    Mask mask(40, 40);
    mask.rect(10, 10, 10, 10);  // outline area 81
    EXPECT_EQ(find(mask, 81, 1000, 1, false, true), 0);
    EXPECT_EQ(find(mask, 80, 1000, 1, false, true), 1);
    EXPECT_EQ(find(mask, 10, 81, 1, false, true), 0);
    EXPECT_EQ(find(mask, 10, 82, 1, false, true), 1);
}

TEST_F(ofxCvContourFinderTest, RingGivesItsHoleOnlyWhenHolesAreSearched) {
    Mask mask(60, 60);
    mask.rect(10, 10, 40, 40);
    mask.rect(20, 20, 20, 20, 0);
    ASSERT_EQ(find(mask, 10, 10000, 5, true, true), 2);
    EXPECT_FALSE(finder.blobs[0].isHole);
    EXPECT_FLOAT_EQ(finder.blobs[0].area, 39 * 39);
    EXPECT_TRUE(finder.blobs[1].isHole);
    EXPECT_GE(finder.blobs[1].boundingBox.x, 19);
    EXPECT_LE(finder.blobs[1].boundingBox.x + finder.blobs[1].boundingBox.width, 41);

    ASSERT_EQ(find(mask, 10, 10000, 5, false, true), 1);
    EXPECT_FALSE(finder.blobs[0].isHole);
    EXPECT_FLOAT_EQ(finder.blobs[0].area, 39 * 39);
}

TEST_F(ofxCvContourFinderTest, AtMost500CandidatesAreKept) {
    Mask mask(320, 240);
    for (int y = 1; y + 4 < 240; y += 5)
        for (int x = 1; x + 4 < 320; x += 5) mask.rect(x, y, 3, 3);  // 3072 squares of area 4
    EXPECT_EQ(find(mask, 1, 100, 10000, false, true), 500);
    EXPECT_EQ(static_cast<int>(finder.blobs.size()), 500);
}

// Disks and boxes of clearly different sizes with scattered noise; the largest
// region's centre of mass from its pixels must match the blob's centroid.
TEST_F(ofxCvContourFinderTest, LargestCentroidMatchesPixelMomentsOnRandomMasks) {
    std::mt19937 random(1234);
    for (int round = 0; round < 40; round++) {
        Mask mask(320, 240);
        std::uniform_int_distribution<int> noise(0, 320 * 240 - 1);
        for (int i = 0; i < 300; i++) mask.px[noise(random)] = 255;
        int size = 6 + round % 5;
        for (int cell = 0; cell < 4; cell++) {
            int cx = 40 + cell * 80 + static_cast<int>(random() % 9) - 4;
            int cy = 120 + static_cast<int>(random() % 41) - 20;
            if (random() % 2) mask.disk(cx, cy, size + cell * 7);
            else mask.rect(cx - size - cell * 6, cy - size, 2 * (size + cell * 6) + 1, 2 * size + 1);
        }
        Region truth = largestRegion(mask);
        ASSERT_EQ(find(mask, 10, 320 * 240 / 3, 1, false, true), 1);
        EXPECT_NEAR(finder.blobs[0].centroid.x, truth.cx, 1.0) << "round " << round;
        EXPECT_NEAR(finder.blobs[0].centroid.y, truth.cy, 1.0) << "round " << round;
    }
}

TEST_F(ofxCvContourFinderTest, AnotherInputSizeReallocatesTheCopyOnce) {
    Mask large(64, 48), small(32, 24);
    large.rect(10, 10, 10, 10);
    small.rect(2, 2, 5, 5);
    find(large, 10, 1000, 1, false, true);

    ofxCvGrayscaleImage other;
    other.allocate(32, 24);
    other.setFromPixels(small.px.data(), 32, 24);
    testing::internal::CaptureStdout();
    int first = finder.findContours(other, 10, 1000, 1, false, true);
    int second = finder.findContours(other, 10, 1000, 1, false, true);
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "warning: reallocating cvImage in ofxCvGrayscaleImage\n");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
    EXPECT_FLOAT_EQ(finder.blobs[0].area, 16);
    EXPECT_FLOAT_EQ(finder.blobs[0].boundingBox.x, 2);
}

TEST_F(ofxCvContourFinderTest, BlobsCopyAsValues) {
    Mask mask(40, 40);
    mask.rect(5, 5, 10, 10);
    find(mask, 10, 1000, 1, false, false);
    ofxCvBlob copy = finder.blobs[0];
    finder.reset();
    EXPECT_EQ(finder.blobCount, 0);
    EXPECT_TRUE(finder.blobs.empty());
    EXPECT_EQ(copy.pointCount, 36);
    EXPECT_FLOAT_EQ(copy.points[0].x, 5);
}

// Boxes in DD00CC, outlines in 00FFFF, both shifted; the outline is left open,
// so its closing segment from the last point back to the first is missing.
TEST_F(ofxCvContourFinderTest, DrawShowsBoxesAndOpenOutlinesShifted) {
    Mask mask(100, 100);
    mask.rect(20, 30, 40, 20);
    ASSERT_EQ(find(mask, 10, 5000, 1, false, true), 1);
    finder.draw(200, 100);
    PixelBox box = boundsOf(Rgb{221, 0, 204});
    EXPECT_NEAR(box.left, 220, 1);
    EXPECT_NEAR(box.top, 130, 1);
    EXPECT_NEAR(box.right, 260, 1);
    EXPECT_NEAR(box.bottom, 150, 1);
    EXPECT_GT(countPixels(Rgb{0, 255, 255}), 60);

    std::vector<FeedbackPrimitive> sent = feedbackOf([&] { finder.draw(200, 100); });
    int outlineSegments = 0;
    for (const FeedbackPrimitive& p : sent) {
        if (p.token == GL_LINE_TOKEN || p.token == GL_LINE_RESET_TOKEN) outlineSegments++;
    }
    EXPECT_EQ(outlineSegments, 4 + 3);  // the box's four sides, the outline's three segments
}
