#include "glTestWindow.h"

#include "ofxOpenCv.h"

using Bytes = std::vector<unsigned char>;

// Every kind at 2 by 2 pixels holding 9, at 2 by 3 to mismatch them, and a 64 by 48 picture to transform.
class ofxCvImageTest : public GlTest {
protected:
    ofxCvGrayscaleImage grey, other, third, tallGrey, picture, source;
    ofxCvColorImage colour, tallColour;
    ofxCvFloatImage f, tallF;

    void SetUp() override {
        GlTest::SetUp();
        for (auto [buffer, size] : std::vector<std::pair<ofxCvImage*, cv::Size>>{{&grey, {2, 2}}, {&other, {2, 2}},
                 {&third, {2, 2}}, {&colour, {2, 2}}, {&f, {2, 2}}, {&tallGrey, {2, 3}}, {&tallColour, {2, 3}},
                 {&tallF, {2, 3}}, {&picture, {64, 48}}, {&source, {64, 48}}}) {
            buffer->allocate(size.width, size.height);
            buffer->set(9);
        }
    }
};

static std::string printed(const std::function<void()>& action) {
    testing::internal::CaptureStdout();
    action();
    return testing::internal::GetCapturedStdout();
}

static bool holds(const ofxCvImage& buffer, int w, int h, cv::Scalar value) {
    const cv::Mat& image = buffer.getCvImage();
    bool sized = buffer.width == w && buffer.height == h && image.cols == w && image.rows == h;
    return sized && (image.empty() || cv::norm(image, cv::Mat(image.size(), image.type(), value), cv::NORM_INF) == 0);
}

TEST_F(ofxCvImageTest, ConversionsAndOperationsGiveExactValues) {
    // Red, green, blue and white as the camera gives them, through HSV planes and back; the scratch image is exchanged.
    Bytes rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    colour = rgb.data();
    const unsigned char* pair[2] = {colour.getCvImage().data, colour.tempImage.data};
    colour.convertRgbToHsv();
    colour.mirror(false, false);
    EXPECT_TRUE(colour.getCvImage().data == pair[1] && colour.tempImage.data == pair[0]);
    colour.convertToGrayscalePlanarImages(grey, other, third);
    colour.setFromGrayscalePlanarImages(third, other, grey);
    EXPECT_EQ(Bytes(colour.getPixels(), colour.getPixels() + 12),
              (Bytes{255, 255, 0, 255, 255, 60, 255, 255, 120, 255, 0, 0}));
    colour.setFromGrayscalePlanarImages(grey, other, third);
    colour.convertHsvToRgb();
    EXPECT_EQ(Bytes(colour.getPixels(), colour.getPixels() + 12), rgb);

    other = Bytes{100, 30, 255, 255}.data();
    tallGrey = Bytes{0, 0, 100, 100, 200, 200}.data();
    float floats[4] = {255, 100, 400, 0};
    const std::string nearest = "error in scaleIntoMe / interpolationMethod, setting to CV_INTER_NN \n";
    std::vector<std::tuple<Bytes, std::function<void()>, Bytes, std::string>> cases = {
        {{0, 128, 129, 255}, [&] { grey.setFromPixels(Bytes(4).data(), 1, 2); grey.threshold(128, false); },
         {0, 0, 255, 255}, "error in setFromPixels, images are different sizes\n"},
        {{0, 128, 129, 255}, [&] { grey.threshold(128, true); }, {255, 255, 0, 0}, ""},
        {{50, 90, 150, 150}, [&] { grey.contrastStretch(); }, {0, 102, 255, 255}, ""},
        {{77, 77, 77, 77}, [&] { grey.contrastStretch(); }, {77, 77, 77, 77}, ""},
        {{40, 56, 104, 120}, [&] { grey.convertToRange(40, 120); }, {0, 51, 204, 255}, ""},
        {{1, 2, 3, 4}, [&] { grey.mirror(true, false); grey.mirror(true, true); }, {2, 1, 4, 3}, ""},
        {{0, 0, 0, 0}, [&] { grey.scaleIntoMe(tallGrey, CV_INTER_LINEAR); }, {25, 25, 175, 175}, ""},
        {{0, 0, 0, 0}, [&] { grey.scaleIntoMe(tallGrey, 7); }, {0, 0, 100, 100}, nearest},
        {{200, 10, 0, 255}, [&] { grey *= other; grey.absDiff(other, grey); }, {22, 29, 255, 0}, ""},
        {{1, 2, 3, 4}, [&] { ofxCvGrayscaleImage copy(grey); grey.set(0); grey = copy; }, {1, 2, 3, 4}, ""},
        // Saturated at both ends in every channel to (0, 80, 225), whose grey is 73.
        {{0, 0, 0, 0}, [&] { colour.set(10, 100, 250); colour += 10; colour -= 30; grey = colour; }, Bytes(4, 73), ""},
        // Floats take grey as 0..255, keep no negatives after a product, and give it back as 0..1.
        {{0, 0, 0, 0}, [&] { f.setFromPixels(floats, 2, 2); grey = f; }, {1, 0, 2, 0}, ""},
        {{100, 30, 0, 255}, [&] { f = grey; f /= 0; f /= 4; grey = f.getPixels(0, 100); }, {64, 19, 0, 163}, ""},
        {{100, 30, 0, 255}, [&] { colour = grey; f = colour; f -= 50; f *= 2; grey = f.getPixels(-100, 410); },
         {100, 50, 50, 255}, ""},
    };
    for (const auto& [in, operation, out, line] : cases) {
        grey = in.data();
        EXPECT_EQ(printed(operation), line);
        EXPECT_EQ(Bytes(grey.getPixels(), grey.getPixels() + 4), out);
    }
}

TEST_F(ofxCvImageTest, RefusalsPrintTheirLineAndChangeNothing) {
    std::vector<std::pair<std::string, std::function<void()>>> cases = {
        {"=", [&] { grey = tallGrey; }}, {"=", [&] { grey = tallColour; }}, {"=", [&] { grey = tallF; }},
        {"=", [&] { colour = tallGrey; }}, {"=", [&] { colour = tallColour; }}, {"=", [&] { colour = tallF; }},
        {"=", [&] { f = tallGrey; }}, {"=", [&] { f = tallColour; }}, {"=", [&] { f = tallF; }},
        {"-=", [&] { grey -= tallGrey; }}, {"+=", [&] { grey += tallGrey; }}, {"*=", [&] { grey *= tallGrey; }},
        {"&=", [&] { grey &= tallGrey; }}, {"absDiff", [&] { grey.absDiff(tallGrey); }},
        {"absDiff", [&] { grey.absDiff(grey, tallGrey); }}, {"-=", [&] { colour -= tallColour; }},
        {"+=", [&] { colour += tallColour; }}, {"*=", [&] { colour *= tallColour; }},
        {"-=", [&] { f -= tallF; }}, {"+=", [&] { f += tallF; }}, {"*=", [&] { f *= tallF; }},
        {"addWeighted", [&] { f.addWeighted(tallGrey, 0.5f); }},
    };
    for (const auto& [operation, run] : cases) {
        EXPECT_EQ(printed(run), "error in " + operation + ", images are different sizes\n");
    }
    EXPECT_TRUE(holds(grey, 2, 2, 9) && holds(colour, 2, 2, cv::Scalar::all(9)) && holds(f, 2, 2, 9));

    // A size below 1 is refused with one line; an empty buffer stays empty, so its first real allocate does not warn.
    const std::string refused = "error in allocate, width and height must be above 0\n";
    std::vector<ofxCvImage*> kinds = {&grey, &colour, &f};
    std::vector<std::string> names = {"ofxCvGrayscaleImage", "ofxCvColorImage", "ofxCvFloatImage"};
    std::vector<cv::Size> refusedSizes = {{0, 6}, {8, 0}, {-1, -1}};
    for (size_t k = 0; k < kinds.size(); k++) {
        EXPECT_EQ(printed([&] { kinds[k]->resize(8, 6); }), "warning: reallocating cvImage in " + names[k] + "\n");
        EXPECT_EQ(printed([&] { kinds[k]->allocate(refusedSizes[k].width, refusedSizes[k].height); }), refused);
        EXPECT_EQ(printed([&] { kinds[k]->resize(-1, 6); }), "error in resize, width and height must be above 0\n");
        EXPECT_TRUE(holds(*kinds[k], 8, 6, cv::Scalar::all(9))) << names[k];
    }
    ofxCvFloatImage empty;
    EXPECT_EQ(printed([&] { empty.allocate(6, 0); }) + printed([&] { empty.allocate(2, 2); }), refused);
    EXPECT_EQ(f.getPixelsAsFloats()[8 * 6 - 1], 9);
    f.clear();
    EXPECT_TRUE(holds(f, 0, 0, 0) && f.pixels == nullptr && f.floatPixels == nullptr && f.displayImage.empty());
}

// A bright pixel at x 40, y 20 on grey 100, followed by hand; what comes from outside is black.
TEST_F(ofxCvImageTest, GeometryMovesAKnownPixelAndFillsFromOutsideWithBlack) {
    ofPoint from[4] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}}, to[4] = {{20, 10}, {30, 10}, {30, 20}, {20, 20}};
    std::vector<std::tuple<std::function<void()>, cv::Point, int>> cases = {
        {[&] { picture.translate(5, -3); }, {45, 17}, 59 * 45},
        {[&] { picture.rotate(90, 30, 20); }, {30, 10}, 48 * 48},  // 10 right of the centre ends up 10 above it
        {[&] { picture.scale(0.5f, 2); }, {20, 40}, 32 * 48},
        {[&] { picture.warpPerspective({0, 0}, {32, 0}, {32, 24}, {0, 24}); }, {20, 10}, 32 * 24},
        {[&] { source.warpIntoMe(picture, from, to); picture = source; }, {60, 30}, 44 * 38},
    };
    for (const auto& [transform, brightest, nonZero] : cases) {
        picture.set(100);
        picture.getCvImage().at<unsigned char>(20, 40) = 255;
        transform();
        cv::Point found;
        cv::minMaxLoc(picture.getCvImage(), nullptr, nullptr, nullptr, &found);
        EXPECT_EQ(found, brightest);
        EXPECT_EQ(picture.countNonZeroInRegion(0, 0, 64, 48), nonZero) << brightest;
    }
    EXPECT_EQ(picture.countNonZeroInRegion(-10, -5, 40, 25), 10 * 10);  // clipped to the picture
}

// Left half blue, right half (200, 40, 10): through the texture at x 100, as raw pixels at x 200.
TEST_F(ofxCvImageTest, DrawingShowsChannelZeroAsRedWithAndWithoutTextureAndGreyAndFloat) {
    for (bool useTexture : {true, false}) {
        ofxCvColorImage halves;
        halves.setUseTexture(useTexture);
        halves.allocate(16, 8);
        halves.set(200, 40, 10);
        halves.getCvImage()(cv::Rect(0, 0, 8, 8)).setTo(cv::Scalar(0, 0, 250));
        halves.draw(useTexture ? 100 : 200, 50);
    }
    EXPECT_EQ(countPixels(Rgb{200, 40, 10}, PixelBox{108, 50, 115, 57}), 64);
    EXPECT_EQ(countPixels(Rgb{200, 40, 10}, PixelBox{208, 50, 215, 57}), 64);
    grey.draw(10, 10);
    f.drawWithScale(20, 10, 0, 18);
    EXPECT_EQ(pixelAt(11, 11), (Rgb{9, 9, 9}));
    EXPECT_EQ(pixelAt(21, 11), (Rgb{128, 128, 128}));  // 9 of 0..18
}
