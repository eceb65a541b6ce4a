#include "glTestWindow.h"

#include "ofxOpenCv.h"

#include <random>

using Numbers = std::vector<float>;

// Masks are painted as rectangles of pixels, so no expected value comes from the vision library.
class ofxCvContourFinderTest : public GlTest {
protected:
    ofxCvGrayscaleImage mask;
    ofxCvContourFinder finder;

    void SetUp() override {
        GlTest::SetUp();
        mask.allocate(320, 240);
        mask.set(0);
    }
    void paint(cv::Rect region, int value = 255) {
        mask.getCvImage()(region).setTo(value);
    }
    Numbers areas(int minArea, int maxArea, int maxBlobs, bool findHoles = false) {
        EXPECT_EQ(finder.findContours(mask, minArea, maxArea, maxBlobs, findHoles, true), finder.blobCount);
        Numbers found;
        for (const ofxCvBlob& blob : finder.blobs) {
            found.push_back(blob.area);
        }
        return found;
    }
};

TEST_F(ofxCvContourFinderTest, SearchesMeasureAndDrawTheLargestRegionsStrictlyWithinTheBounds) {
    // A bar and a random rectangle: the centroid, cut toward zero, lies up to a pixel below the pixels' centre of mass.
    std::mt19937 random(1234);
    for (int round = 0; round < 40; round++) {
        paint({100, 100, 20, 60});
        paint({110 - int(random() % 60), 110 - int(random() % 60), 61 + int(random() % 60), 61 + int(random() % 60)});
        cv::Moments pixels = cv::moments(mask.getCvImage(), true);
        ASSERT_EQ(areas(10, 320 * 240, 1).size(), 1u);
        EXPECT_NEAR(finder.blobs[0].centroid.x, pixels.m10 / pixels.m00 - 0.5, 0.6) << "round " << round;
        EXPECT_NEAR(finder.blobs[0].centroid.y, pixels.m01 / pixels.m00 - 0.5, 0.6) << "round " << round;
        mask.set(0);
    }

    // Areas through boundary pixel centres: ring 1521, its hole 439, 500, a 10 by 10 square 81, 1,323 squares of 4.
    EXPECT_EQ(areas(0, 100000, 10, true), Numbers{});
    paint({10, 10, 40, 40});
    paint({20, 20, 20, 20}, 0);
    paint({80, 10, 26, 21});
    paint({100, 100, 10, 10});
    for (int i = 0; i < 63 * 21; i++) {
        paint({1 + i % 63 * 5, 131 + i / 63 * 5, 3, 3});
    }
    EXPECT_EQ(areas(10, 100000, 10, true), (Numbers{1521, 500, 439, 81}));
    EXPECT_TRUE(!finder.blobs[0].isHole && finder.blobs[2].isHole);
    ofxCvBlob square = finder.blobs[3];
    EXPECT_EQ(areas(10, 100000, 10), (Numbers{1521, 500, 81}));
    EXPECT_EQ(areas(81, 1521, 10), (Numbers{500}));
    EXPECT_EQ(areas(80, 1522, 2), (Numbers{1521, 500}));
    EXPECT_EQ(areas(80, 1522, 0), Numbers{});
    EXPECT_EQ(areas(1, 10, 10000).size(), 500u);
    ASSERT_EQ(finder.findContours(mask, 80, 82, 1, false, false), 1);
    EXPECT_EQ(finder.blobs[0].pointCount, 36);
    finder.reset();
    EXPECT_TRUE(finder.blobCount == 0 && finder.blobs.empty());

    // The square's copy outlived those searches; its centroid 104.5 is cut to 104, as are its points when filled.
    EXPECT_EQ((Numbers{square.perimeter, square.boundingBox.x, square.boundingBox.y, square.boundingBox.width,
                       square.boundingBox.height, square.centroid.x, square.centroid.y, float(square.pointCount)}),
              (Numbers{36, 100, 100, 10, 10, 104, 104, 4}));
    square.points[2].x += 0.9f;
    mask.set(0);
    mask.drawBlobIntoMe(ofxCvBlob(), 255);
    mask.drawBlobIntoMe(square, 255);
    EXPECT_EQ(mask.countNonZeroInRegion(0, 0, 320, 240), 100);
    EXPECT_EQ(mask.countNonZeroInRegion(100, 100, 10, 10), 100);

    // Boxes in DD00CC, then open outlines in 00FFFF, shifted: down the left, along the bottom, up the right.
    paint({20, 30, 40, 20});
    ASSERT_EQ(areas(10, 1000, 1).size(), 1u);
    finder.draw(200, 100);
    PixelBox box = boundsOf(Rgb{221, 0, 204});
    EXPECT_EQ(std::vector<int>({box.left, box.top, box.right, box.bottom}), std::vector<int>({219, 130, 259, 150}));
    EXPECT_GT(countPixels(Rgb{0, 255, 255}), 60);
    EXPECT_EQ(countPixels(Rgb{0, 255, 255}, PixelBox{225, 125, 255, 135}), 0);

    ofxCvGrayscaleImage shorter;
    shorter.allocate(320, 24);
    shorter.set(255);
    testing::internal::CaptureStdout();
    EXPECT_EQ(finder.findContours(shorter, 10, 10000, 1, false, true), 1);
    EXPECT_EQ(finder.findContours(shorter, 10, 10000, 1, false, true), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "warning: reallocating cvImage in ofxCvGrayscaleImage\n");
}
