#include "glTestWindow.h"

#include "ofxOpenCv.h"
#include "ofGraphics.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

static std::string captured(const std::function<void()>& action) {
    testing::internal::CaptureStdout();
    action();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

static Bytes bytesOf(unsigned char* px, int count) {
    return Bytes(px, px + count);
}

// Pixel values that differ from their neighbours, so a copy that shifts, drops
// or mixes rows or channels shows.
static Bytes pattern(int count, int seed) {
    Bytes out(count);
    for (int i = 0; i < count; i++) {
        out[i] = static_cast<unsigned char>((i * 37 + seed * 11 + i / 7) % 251);
    }
    return out;
}

using ofxCvImageTest = GlTest;

TEST_F(ofxCvImageTest, CameraColoursConvertToTheHsvValuesTheGameKeysOn) {
    ofxCvColorImage colour;
    colour.allocate(5, 1);
    Bytes rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255};
    colour.setFromPixels(rgb.data(), 5, 1);
    colour.convertRgbToHsv();
    Bytes expected = {0, 255, 255, 60, 255, 255, 120, 255, 255, 0, 0, 0, 0, 0, 255};
    EXPECT_EQ(bytesOf(colour.getPixels(), 15), expected);

    colour.convertHsvToRgb();
    EXPECT_EQ(bytesOf(colour.getPixels(), 15), rgb);
}

TEST_F(ofxCvImageTest, PlanesHoldTheChannelBytesAndMergeBack) {
    const int w = 37, h = 23;
    ofxCvColorImage colour;
    ofxCvGrayscaleImage a, b, c;
    colour.allocate(w, h);
    a.allocate(w, h);
    b.allocate(w, h);
    c.allocate(w, h);
    Bytes rgb = pattern(w * h * 3, 1);
    colour.setFromPixels(rgb.data(), w, h);
    colour.convertToGrayscalePlanarImages(a, b, c);
    unsigned char* planes[3] = {a.getPixels(), b.getPixels(), c.getPixels()};
    for (int i = 0; i < w * h; i++) {
        for (int k = 0; k < 3; k++) {
            ASSERT_EQ(planes[k][i], rgb[i * 3 + k]) << "pixel " << i << " channel " << k;
        }
    }

    ofxCvColorImage merged;
    merged.allocate(w, h);
    merged.setFromGrayscalePlanarImages(a, b, c);
    EXPECT_EQ(bytesOf(merged.getPixels(), w * h * 3), rgb);
}

TEST_F(ofxCvImageTest, PixelsRoundTripAndAWrongSizeIsRefused) {
    ofxCvGrayscaleImage grey;
    grey.allocate(13, 7);
    Bytes in = pattern(13 * 7, 2);
    grey = in.data();
    EXPECT_EQ(bytesOf(grey.getPixels(), 13 * 7), in);

    Bytes other(12 * 7, 9);
    EXPECT_EQ(captured([&] { grey.setFromPixels(other.data(), 12, 7); }),
              "error in setFromPixels, images are different sizes\n");
    EXPECT_EQ(bytesOf(grey.getPixels(), 13 * 7), in);
}

TEST_F(ofxCvImageTest, ThresholdSplitsAt128BothWays) {
    ofxCvGrayscaleImage grey;
    grey.allocate(4, 1);
    Bytes in = {0, 128, 129, 255};
    grey.setFromPixels(in.data(), 4, 1);
    grey.threshold(128, false);
    EXPECT_EQ(bytesOf(grey.getPixels(), 4), (Bytes{0, 0, 255, 255}));

    grey.setFromPixels(in.data(), 4, 1);
    grey.threshold(128, true);
    EXPECT_EQ(bytesOf(grey.getPixels(), 4), (Bytes{255, 255, 0, 0}));
}

TEST_F(ofxCvImageTest, ContrastStretchSpreadsToFullRangeAndLeavesUniformAlone) {
    ofxCvGrayscaleImage grey;
    grey.allocate(3, 1);
    Bytes uniform = {77, 77, 77};
    grey.setFromPixels(uniform.data(), 3, 1);
    grey.contrastStretch();
    EXPECT_EQ(bytesOf(grey.getPixels(), 3), uniform);

    Bytes spread = {50, 90, 150};
    grey.setFromPixels(spread.data(), 3, 1);
    grey.contrastStretch();
    EXPECT_EQ(bytesOf(grey.getPixels(), 3), (Bytes{0, 102, 255}));
}

TEST_F(ofxCvImageTest, ConvertToRangeMapsMinToZeroAndMaxTo255) {
    ofxCvFloatImage f;
    f.allocate(3, 1);
    float in[3] = {-2, 0, 6};
    f.setFromPixels(in, 3, 1);
    f.convertToRange(-2, 6);
    float* out = f.getPixelsAsFloats();
    EXPECT_FLOAT_EQ(out[0], 0);
    EXPECT_NEAR(out[1], 63.75, 1e-3);
    EXPECT_FLOAT_EQ(out[2], 255);
}

// Each two-buffer operation on buffers of different sizes: its own line, and
// the target keeps its picture.
TEST_F(ofxCvImageTest, SizeMismatchesPrintTheirLineAndChangeNothing) {
    ofxCvGrayscaleImage grey, smallGrey;
    ofxCvColorImage colour, smallColour;
    ofxCvFloatImage f, smallF;
    grey.allocate(32, 24);
    colour.allocate(32, 24);
    f.allocate(32, 24);
    smallGrey.allocate(16, 12);
    smallColour.allocate(16, 12);
    smallF.allocate(16, 12);
    Bytes greyIn = pattern(16 * 12, 3), colourIn = pattern(16 * 12 * 3, 4);
    std::vector<float> floatIn(16 * 12, 42.5f);
    grey.set(9);
    colour.set(9);
    f.set(9);

    struct Case {
        std::string line;
        std::function<void()> op;
    };
    std::vector<Case> cases = {
        {"=", [&] { smallGrey = grey; }},       {"=", [&] { smallGrey = colour; }},
        {"=", [&] { smallGrey = f; }},          {"=", [&] { smallColour = grey; }},
        {"=", [&] { smallColour = colour; }},   {"=", [&] { smallColour = f; }},
        {"=", [&] { smallF = grey; }},          {"=", [&] { smallF = colour; }},
        {"=", [&] { smallF = f; }},             {"-=", [&] { smallGrey -= grey; }},
        {"+=", [&] { smallGrey += grey; }},     {"*=", [&] { smallGrey *= grey; }},
        {"&=", [&] { smallGrey &= grey; }},     {"absDiff", [&] { smallGrey.absDiff(grey); }},
        {"absDiff", [&] { smallGrey.absDiff(smallGrey, grey); }},
        {"-=", [&] { smallColour -= colour; }}, {"+=", [&] { smallColour += colour; }},
        {"*=", [&] { smallColour *= colour; }}, {"-=", [&] { smallF -= f; }},
        {"+=", [&] { smallF += f; }},           {"*=", [&] { smallF *= f; }},
        {"addWeighted", [&] { smallF.addWeighted(grey, 0.5f); }},
    };
    for (const Case& c : cases) {
        smallGrey.setFromPixels(greyIn.data(), 16, 12);
        smallColour.setFromPixels(colourIn.data(), 16, 12);
        smallF.setFromPixels(floatIn.data(), 16, 12);
        EXPECT_EQ(captured(c.op), "error in " + c.line + ", images are different sizes\n");
        EXPECT_EQ(bytesOf(smallGrey.getPixels(), 16 * 12), greyIn) << c.line;
        EXPECT_EQ(bytesOf(smallColour.getPixels(), 16 * 12 * 3), colourIn) << c.line;
        EXPECT_EQ(std::vector<float>(smallF.getPixelsAsFloats(), smallF.getPixelsAsFloats() + 16 * 12),
                  floatIn) << c.line;
    }
}

TEST_F(ofxCvImageTest, ReallocatingWarnsOnceAndGivesTheNewSize) {
    ofxCvGrayscaleImage grey;
    EXPECT_EQ(captured([&] { grey.allocate(20, 10); }), "");
    EXPECT_EQ(captured([&] { grey.allocate(8, 6); }),
              "warning: reallocating cvImage in ofxCvGrayscaleImage\n");
    EXPECT_EQ(grey.width, 8);
    EXPECT_EQ(grey.getCvImage().cols, 8);
    EXPECT_EQ(grey.getCvImage().rows, 6);
    grey.set(200);
    EXPECT_EQ(bytesOf(grey.getPixels(), 48), Bytes(48, 200));

    ofxCvColorImage colour;
    ofxCvFloatImage f;
    colour.allocate(4, 4);
    f.allocate(4, 4);
    EXPECT_EQ(captured([&] { colour.allocate(4, 4); }),
              "warning: reallocating cvImage in ofxCvColorImage\n");
    EXPECT_EQ(captured([&] { f.clear(); f.allocate(4, 4); }),
              "warning: reallocating cvImage in ofxCvFloatImage\n");
    EXPECT_EQ(f.floatPixels != nullptr && f.displayImage.cols == 4, true);
}

TEST_F(ofxCvImageTest, ClearReleasesEverythingIncludingTheFloatExtras) {
    ofxCvFloatImage f;
    f.allocate(6, 4);
    f.clear();
    EXPECT_EQ(f.width, 0);
    EXPECT_EQ(f.pixels, nullptr);
    EXPECT_EQ(f.floatPixels, nullptr);
    EXPECT_TRUE(f.displayImage.empty());
    EXPECT_TRUE(f.getCvImage().empty());
    f.clear();  // a second clear, then the destructor, must release nothing again
}

TEST_F(ofxCvImageTest, OperationsExchangeThePairInsteadOfAllocating) {
    ofxCvColorImage colour;
    colour.allocate(8, 8);
    colour.set(10, 20, 30);
    const unsigned char* working = colour.getCvImage().data;
    const unsigned char* scratch = colour.tempImage.data;
    colour.convertRgbToHsv();
    EXPECT_EQ(colour.getCvImage().data, scratch);
    EXPECT_EQ(colour.tempImage.data, working);

    colour.mirror(false, false);
    EXPECT_EQ(colour.getCvImage().data, scratch);
    EXPECT_EQ(colour.tempImage.data, working);
}

TEST_F(ofxCvImageTest, MirrorFlipsRowsColumnsOrBoth) {
    ofxCvGrayscaleImage grey;
    grey.allocate(3, 2);
    Bytes in = {1, 2, 3, 4, 5, 6};
    grey.setFromPixels(in.data(), 3, 2);
    grey.mirror(false, false);
    EXPECT_EQ(bytesOf(grey.getPixels(), 6), in);
    grey.mirror(true, false);
    EXPECT_EQ(bytesOf(grey.getPixels(), 6), (Bytes{4, 5, 6, 1, 2, 3}));
    grey.mirror(false, true);
    EXPECT_EQ(bytesOf(grey.getPixels(), 6), (Bytes{6, 5, 4, 3, 2, 1}));
    grey.mirror(true, true);
    EXPECT_EQ(bytesOf(grey.getPixels(), 6), in);
}

TEST_F(ofxCvImageTest, ScaleIntoMeChecksTheInterpolationCode) {
    ofxCvGrayscaleImage source, target;
    source.allocate(2, 1);
    target.allocate(4, 1);
    Bytes in = {0, 200};
    source.setFromPixels(in.data(), 2, 1);

    EXPECT_EQ(captured([&] { target.scaleIntoMe(source, CV_INTER_LINEAR); }), "");
    Bytes linear = bytesOf(target.getPixels(), 4);
    EXPECT_GT(linear[1], 0);
    EXPECT_LT(linear[2], 200);

    EXPECT_EQ(captured([&] { target.scaleIntoMe(source, 7); }),
              "error in scaleIntoMe / interpolationMethod, setting to CV_INTER_NN \n");
    EXPECT_EQ(bytesOf(target.getPixels(), 4), (Bytes{0, 0, 200, 200}));
    EXPECT_EQ(target.width, 4);
}

// A single bright pixel followed through the geometric transforms, with its
// destination worked out by hand.
static cv::Point brightestOf(const ofxCvGrayscaleImage& grey) {
    cv::Point at;
    cv::minMaxLoc(grey.getCvImage(), nullptr, nullptr, nullptr, &at);
    return at;
}

TEST_F(ofxCvImageTest, TransformsMoveAKnownPixelWhereExpected) {
    ofxCvGrayscaleImage grey;
    grey.allocate(64, 48);
    auto reset = [&] {
        grey.set(0);
        grey.getCvImage().at<unsigned char>(20, 40) = 255;  // x 40, y 20
    };
    reset();
    grey.translate(5, -3);
    EXPECT_EQ(brightestOf(grey), cv::Point(45, 17));

    // A quarter turn about (30, 20): a pixel 10 right of the centre ends up
    // 10 above it on screen.
    reset();
    grey.rotate(90, 30, 20);
    EXPECT_EQ(brightestOf(grey), cv::Point(30, 10));
    EXPECT_GE(grey.getCvImage().at<unsigned char>(10, 30), 250);

    reset();
    grey.scale(0.5f, 2);
    EXPECT_EQ(brightestOf(grey), cv::Point(20, 40));

    reset();
    grey.transform(180, 32, 24, 1, 1, 2, 1);
    EXPECT_EQ(brightestOf(grey), cv::Point(24 + 2, 28 + 1));
}

TEST_F(ofxCvImageTest, WarpsAndRegionCountsKeepTheBufferSize) {
    ofxCvGrayscaleImage grey, source;
    grey.allocate(40, 30);
    source.allocate(40, 30);
    grey.set(255);
    grey.warpPerspective(ofPoint(0, 0), ofPoint(20, 0), ofPoint(20, 15), ofPoint(0, 15));
    EXPECT_EQ(grey.width, 40);
    EXPECT_EQ(grey.countNonZeroInRegion(0, 0, 40, 30), grey.countNonZeroInRegion(0, 0, 21, 16));
    EXPECT_GE(grey.countNonZeroInRegion(0, 0, 20, 15), 19 * 14);
    EXPECT_EQ(grey.countNonZeroInRegion(25, 20, 10, 5), 0);
    EXPECT_EQ(grey.countNonZeroInRegion(0, 0, 0, 5), 0);
    EXPECT_EQ(grey.countNonZeroInRegion(-10, -10, 15, 15), 25);  // clipped to the picture

    source.set(0);
    source.getCvImage()(cv::Rect(0, 0, 10, 10)).setTo(255);
    ofPoint from[4] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    ofPoint to[4] = {{20, 10}, {30, 10}, {30, 20}, {20, 20}};
    grey.set(0);
    grey.warpIntoMe(source, from, to);
    EXPECT_EQ(grey.countNonZeroInRegion(21, 11, 8, 8), 64);
    EXPECT_EQ(grey.countNonZeroInRegion(0, 0, 15, 30), 0);
}

TEST_F(ofxCvImageTest, ResizeKeepsThePictureAtTheNewSize) {
    ofxCvColorImage colour;
    colour.allocate(10, 10);
    colour.set(40, 50, 60);
    EXPECT_EQ(captured([&] { colour.resize(20, 5); }),
              "warning: reallocating cvImage in ofxCvColorImage\n");
    EXPECT_EQ(colour.width, 20);
    EXPECT_EQ(colour.height, 5);
    Bytes out = bytesOf(colour.getPixels(), 20 * 5 * 3);
    for (int i = 0; i < 100; i++) {
        ASSERT_EQ(out[i * 3], 40);
        ASSERT_EQ(out[i * 3 + 2], 60);
    }
}

TEST_F(ofxCvImageTest, ScalarArithmeticChangesEveryChannelAndSaturates) {
    ofxCvColorImage colour;
    colour.allocate(1, 1);
    colour.set(10, 100, 250);
    colour += 10;
    EXPECT_EQ(bytesOf(colour.getPixels(), 3), (Bytes{20, 110, 255}));
    colour -= 30;
    EXPECT_EQ(bytesOf(colour.getPixels(), 3), (Bytes{0, 80, 225}));
}

TEST_F(ofxCvImageTest, BufferArithmeticAndKindConversions) {
    ofxCvGrayscaleImage a, b;
    a.allocate(2, 1);
    b.allocate(2, 1);
    Bytes av = {200, 10}, bv = {100, 30};
    a.setFromPixels(av.data(), 2, 1);
    b.setFromPixels(bv.data(), 2, 1);
    a *= b;
    EXPECT_EQ(bytesOf(a.getPixels(), 2), (Bytes{78, 1}));
    a.absDiff(a, b);
    EXPECT_EQ(bytesOf(a.getPixels(), 2), (Bytes{22, 29}));

    ofxCvFloatImage f;
    f.allocate(2, 1);
    f = b;
    EXPECT_FLOAT_EQ(f.getPixelsAsFloats()[0], 100);
    f *= -1.0f;
    EXPECT_FLOAT_EQ(f.getPixelsAsFloats()[0], 0);  // negative products become 0
    f = b;
    f /= 0;
    EXPECT_FLOAT_EQ(f.getPixelsAsFloats()[1], 30);
    f /= 4;
    EXPECT_FLOAT_EQ(f.getPixelsAsFloats()[1], 7.5f);
    EXPECT_EQ(bytesOf(f.getPixels(0, 100), 2), (Bytes{64, 19}));

    float unit[2] = {255, 100};
    f.setFromPixels(unit, 2, 1);
    a = f;  // float buffers are read as 0..1 when they become bytes
    EXPECT_EQ(bytesOf(a.getPixels(), 2), (Bytes{1, 0}));

    ofxCvColorImage colour;
    colour.allocate(2, 1);
    colour = b;
    EXPECT_EQ(bytesOf(colour.getPixels(), 6), (Bytes{100, 100, 100, 30, 30, 30}));
    f = colour;
    EXPECT_FLOAT_EQ(f.getPixelsAsFloats()[0], 100);
}

TEST_F(ofxCvImageTest, CopiesAreIndependentBuffersOfTheSourceSize) {
    ofxCvGrayscaleImage original;
    original.allocate(5, 3);
    original.set(33);
    ofxCvGrayscaleImage copy(original);
    EXPECT_EQ(copy.width, 5);
    EXPECT_EQ(copy.height, 3);
    original.set(44);
    EXPECT_EQ(bytesOf(copy.getPixels(), 15), Bytes(15, 33));
    EXPECT_NE(copy.getCvImage().data, original.getCvImage().data);
}

TEST_F(ofxCvImageTest, DrawBlobIntoMeFillsTheOutline) {
    ofxCvGrayscaleImage grey;
    grey.allocate(20, 20);
    grey.set(0);
    ofxCvBlob blob;
    blob.points = {{2, 3}, {11.9f, 3}, {11.9f, 8}, {2, 8}};
    blob.pointCount = 4;
    grey.drawBlobIntoMe(blob, 255);
    EXPECT_EQ(grey.countNonZeroInRegion(0, 0, 20, 20), 10 * 6);
    EXPECT_EQ(grey.countNonZeroInRegion(2, 3, 10, 6), 10 * 6);
    grey.drawBlobIntoMe(ofxCvBlob(), 255);  // no points: nothing
}

TEST_F(ofxCvImageTest, ColourDrawShowsChannelZeroAsRedWithAndWithoutTexture) {
    for (bool useTexture : {true, false}) {
        clearFrame();
        ofxCvColorImage colour;
        colour.setUseTexture(useTexture);
        colour.allocate(16, 8);
        colour.set(200, 40, 10);
        colour.getCvImage()(cv::Rect(0, 0, 8, 8)).setTo(cv::Scalar(0, 0, 250));
        colour.draw(100, 50);
        EXPECT_EQ(pixelAt(101, 51), (Rgb{0, 0, 250})) << useTexture;
        EXPECT_EQ(pixelAt(114, 56), (Rgb{200, 40, 10})) << useTexture;
        PixelBox box = boundsOf(Rgb{200, 40, 10});
        EXPECT_EQ(box.left, 108) << useTexture;
        EXPECT_EQ(box.right, 115) << useTexture;
        EXPECT_EQ(box.top, 50) << useTexture;
        EXPECT_EQ(box.bottom, 57) << useTexture;
    }
}

TEST_F(ofxCvImageTest, GreyAndFloatDrawThroughTheirTextures) {
    ofxCvGrayscaleImage grey;
    grey.allocate(4, 4);
    grey.set(90);
    grey.draw(10, 10);
    EXPECT_EQ(pixelAt(12, 12), (Rgb{90, 90, 90}));

    ofxCvFloatImage f;
    f.allocate(4, 4);
    f.set(5);
    f.drawWithScale(20, 10, 0, 10);
    EXPECT_EQ(pixelAt(22, 12), (Rgb{128, 128, 128}));
}
