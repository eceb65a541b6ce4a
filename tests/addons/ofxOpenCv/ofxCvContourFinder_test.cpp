#include "glTestWindow.h"

#include "ofxOpenCv.h"

using Numbers = std::vector<float>;

using ofxCvContourFinderTest = GlTest;

// Masks are painted as rectangles of pixels, so no expected value comes from the vision library.
TEST_F(ofxCvContourFinderTest, SearchesMeasureAndDrawTheLargestRegionsStrictlyWithinTheBounds) {
    ofxCvGrayscaleImage mask;
    mask.allocate(320, 240);
    mask.set(0);
    auto paint = [&mask](cv::Rect region, int value) { mask.getCvImage()(region).setTo(value); };
    ofxCvContourFinder finder;
    // The areas of the blobs found, largest first.
    auto areas = [&](int minArea, int maxArea, int maxBlobs, bool findHoles) {
        finder.findContours(mask, minArea, maxArea, maxBlobs, findHoles, true);
        Numbers found;
        for (const ofxCvBlob& blob : finder.blobs) {
            found.push_back(blob.area);
        }
        return found;
    };

    // Areas through boundary pixel centres: a ring 1521 with its hole 439, a 26 by 21
    // rectangle 500, a 10 by 10 square 81, and 1,323 squares of 4.
    EXPECT_EQ(areas(0, 100000, 10, true), Numbers{});
    paint({10, 10, 40, 40}, 255);
    paint({20, 20, 20, 20}, 0);
    paint({80, 10, 26, 21}, 255);
    paint({100, 100, 10, 10}, 255);
    for (int i = 0; i < 63 * 21; i++) {
        paint({1 + i % 63 * 5, 131 + i / 63 * 5, 3, 3}, 255);
    }
    EXPECT_EQ(areas(10, 100000, 10, true), (Numbers{1521, 500, 439, 81}));
    EXPECT_TRUE(!finder.blobs[0].isHole && finder.blobs[2].isHole);
    ofxCvBlob copy = finder.blobs[1];
    EXPECT_EQ(areas(10, 100000, 10, false), (Numbers{1521, 500, 81}));
    EXPECT_EQ(areas(81, 1521, 10, false), (Numbers{500}));
    EXPECT_EQ(areas(80, 1522, 2, false), (Numbers{1521, 500}));
    EXPECT_EQ(areas(1, 10, 10000, false).size(), 500u);
    ASSERT_EQ(finder.findContours(mask, 80, 82, 1, false, false), 1);
    EXPECT_EQ(finder.blobs[0].pointCount, 36);
    finder.reset();
    EXPECT_TRUE(finder.blobCount == 0 && finder.blobs.empty());

    // The rectangle's copy outlived those searches; its centroid (92.5, 20) is cut
    // to (92, 20), as are its points when filled.
    const ofRectangle& box = copy.boundingBox;
    EXPECT_EQ((Numbers{copy.perimeter, box.x, box.y, box.width, box.height, float(copy.pointCount)}),
              (Numbers{90, 80, 10, 26, 21, 4}));
    EXPECT_EQ((Numbers{copy.centroid.x, copy.centroid.y}), (Numbers{92, 20}));
    copy.points[2].x += 0.9f;
    mask.set(0);
    mask.drawBlobIntoMe(ofxCvBlob(), 255);
    mask.drawBlobIntoMe(copy, 255);
    EXPECT_EQ(mask.countNonZeroInRegion(0, 0, 320, 240), 26 * 21);
    EXPECT_EQ(mask.countNonZeroInRegion(80, 10, 26, 21), 26 * 21);

    // The new 40 by 20 blob's box in DD00CC and open outline in 00FFFF (no top edge), shifted.
    paint({20, 30, 40, 20}, 255);
    ASSERT_EQ(areas(10, 1000, 1, false).size(), 1u);
    finder.draw(200, 100);
    PixelBox drawn = boundsOf(Rgb{221, 0, 204});
    EXPECT_EQ(std::vector<int>({drawn.left, drawn.top, drawn.right, drawn.bottom}),
              std::vector<int>({219, 130, 259, 150}));
    EXPECT_GT(countPixels(Rgb{0, 255, 255}), 60);
    EXPECT_EQ(countPixels(Rgb{0, 255, 255}, PixelBox{225, 125, 255, 135}), 0);

    // The search's own copy of its input is made again for another size only.
    mask.resize(320, 24);
    mask.set(255);
    testing::internal::CaptureStdout();
    areas(10, 10000, 1, false);
    EXPECT_EQ(areas(10, 10000, 1, false), Numbers{319 * 23});
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "warning: reallocating cvImage in ofxCvGrayscaleImage\n");
}
