// The running game in a real window, fed by a test camera whose frames the
// tests draw: coloured patches on a grey floor. The race clock runs on a test
// clock of 100 ms a frame. Each test works in a folder of its own holding copies
// of the game's pictures and font, so the settings file it writes is its own.
#include "fingerTracking.h"
#include "glTestWindow.h"
#include "loopback.h"
#include "mainMenu.h"
#include "scratchFolder.h"
#include "testApp.h"
#include "testCamera.h"

#include <GL/glew.h>
#include <opencv2/imgproc.hpp>

#include <filesystem>

namespace fs = std::filesystem;

// ---- Heap allocations, counted by standing in for the C library's allocator ----
// (operator new and the vision library's aligned buffers end up here too)

extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_calloc(size_t count, size_t size);
extern "C" void* __libc_realloc(void* block, size_t size);
extern "C" void* __libc_memalign(size_t alignment, size_t size);

static bool counting = false;
static long allocations = 0;

extern "C" void* malloc(size_t size) {
    allocations += counting;
    return __libc_malloc(size);
}
extern "C" void* calloc(size_t count, size_t size) {
    allocations += counting;
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* block, size_t size) {
    allocations += counting;
    return __libc_realloc(block, size);
}
extern "C" int posix_memalign(void** out, size_t alignment, size_t size) {
    allocations += counting;
    *out = __libc_memalign(alignment, size);
    return *out != nullptr ? 0 : 12;  // ENOMEM
}

static long allocationsOf(const std::function<void()>& work) {
    allocations = 0;
    counting = true;
    work();
    counting = false;
    return allocations;
}

namespace {

const Rgb red{255, 0, 0};
const Rgb white{255, 255, 255};
const Rgb black{0, 0, 0};
const int frameMillis = 100;
const PixelBox countdownArea{500, 180, 639, 250};
const PixelBox cameraArea{160, 20, 479, 259};

int fakeNow = 0;
int fakeClock() {
    return fakeNow;
}

// A 20 by 12 patch; its region's centroid is (left + 9, top + 5).
struct Patch {
    int left, top;
    cv::Scalar rgb;
    bool shown = true;
    int centreX() const { return left + 9; }
    int centreY() const { return top + 5; }
};

cv::Vec3b hsvOf(const cv::Scalar& rgb) {
    cv::Mat pixel(1, 1, CV_8UC3, rgb), hsv;
    cv::cvtColor(pixel, hsv, cv::COLOR_RGB2HSV);
    return hsv.at<cv::Vec3b>(0, 0);
}

class RaceScreen : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        home = fs::current_path();
        fs::create_directories(folder / "data");
        for (const char* name : {"vag.ttf", "gameBackground.jpg", "track.jpg", "fingers.png", "menuBackground.jpg"}) {
            fs::copy_file(fs::path(DATA_DIR) / name, folder / "data" / name);
        }
        fs::current_path(folder);
        fakeNow = 0;
        cameras = std::make_unique<TestCameras>(cameraSizes());
        app.setup();
        enterGame(false);
    }

    void TearDown() override {
        cameras.reset();
        fs::current_path(home);
        GlTest::TearDown();
    }

    virtual std::vector<std::pair<int, int>> cameraSizes() { return {{320, 240}}; }

    void enterGame(bool compete) {
        app.bCompeteMode = compete;
        app.switchFromState(app.currentState, SwitchCode::runningGame);
        game = app.fingerTracking;
        game->frameTimer.clockMillis = fakeClock;
    }

    std::vector<unsigned char> scene() const {
        cv::Mat rgb(240, 320, CV_8UC3, cv::Scalar(128, 128, 128));
        for (const Patch* patch : {&one, &two, &corner, &farCorner}) {
            if (patch->shown) {
                cv::rectangle(rgb, cv::Rect(patch->left, patch->top, 20, 12), patch->rgb, cv::FILLED);
            }
        }
        return std::vector<unsigned char>(rgb.data, rgb.data + rgb.total() * 3);
    }

    void frame(bool drawToo = true) {
        fakeNow += frameMillis;
        if (cameras->camera() != nullptr) {
            cameras->camera()->deliverPicture(scene());
        }
        app.update();
        if (drawToo) {
            clearFrame();
            app.draw();
        }
    }

    void click(int x, int y, int button = 0) {
        app.mouseMoved(x, y);
        app.mousePressed(x, y, button);
        app.mouseReleased();
    }

    // The first click places block two, so patch two is clicked first.
    void placeBlocksOnPatches() {
        click(160 + two.centreX(), 20 + two.centreY());
        click(160 + one.centreX(), 20 + one.centreY());
    }

    void countDownToTheRace() {
        app.keyPressed(' ');
        for (int i = 0; i < 100 && !game->running; i++) frame();
        ASSERT_TRUE(game->running);
    }

    // Moves patch one by dx in one frame and returns what the race gained.
    int stride(int dx) {
        int before = game->distanceCovered;
        one.left += dx;
        frame(false);
        return game->distanceCovered - before;
    }

    ScratchFolder scratch{"stompathon_race"};
    fs::path home, folder = scratch.path();
    std::unique_ptr<TestCameras> cameras;
    testApp app;
    FingerTracking* game = nullptr;
    Patch one{100, 150, cv::Scalar(40, 90, 230)};
    Patch two{150, 150, cv::Scalar(230, 200, 40)};
    Patch corner{0, 0, cv::Scalar(200, 40, 200), false};
    Patch farCorner{300, 228, cv::Scalar(40, 200, 60), false};
};

class RaceScreenWithoutCamera : public RaceScreen {
protected:
    std::vector<std::pair<int, int>> cameraSizes() override { return {}; }
};

}  // namespace

TEST_F(RaceScreen, ClicksAndDragsPlaceTheBlocksInCameraPixelsByTurns) {
    click(170, 30);
    click(100, 300);
    click(200, 50, 2);      // not the left button: nothing
    EXPECT_EQ(game->clickCount, 2);
    EXPECT_EQ(std::make_pair(game->blockTwo.x, game->blockTwo.y), std::make_pair(10.0f, 10.0f));
    EXPECT_EQ(std::make_pair(game->blockOne.x, game->blockOne.y), std::make_pair(-60.0f, 280.0f));
    // Each drag event counts as a click.
    app.mouseDragged(180, 40, 0);
    app.mouseDragged(190, 45, 0);
    EXPECT_EQ(game->clickCount, 4);
    EXPECT_EQ(game->blockTwo.x, 20);
    EXPECT_EQ(std::make_pair(game->blockOne.x, game->blockOne.y), std::make_pair(30.0f, 25.0f));
    // A left click on the back label still moves a block, then leaves.
    click(450, 450);
    EXPECT_EQ(game->blockTwo.x, 290);
    EXPECT_EQ(app.currentState, app.mainMenu);
}

// The colours under the blocks, the race length and the settings file (written
// once, when there was none), then the step rule on the shoes found.
TEST_F(RaceScreen, CalibrationThenStepsOfRightwardMovesBeyondTwoPixelsNearTheLine) {
    frame();
    placeBlocksOnPatches();
    countDownToTheRace();
    cv::Vec3b hsvOne = hsvOf(one.rgb), hsvTwo = hsvOf(two.rgb);
    EXPECT_EQ(std::vector<float>({game->shoeOne.hue, game->shoeOne.sat, game->shoeTwo.hue, game->shoeTwo.sat}),
              std::vector<float>({float(hsvOne[0]), float(hsvOne[1]), float(hsvTwo[0]), float(hsvTwo[1])}));
    EXPECT_FLOAT_EQ(game->raceLength, 6000);
    std::string written = readFile("data/mySettings.xml");
    written.erase(std::remove_if(written.begin(), written.end(), ::isspace), written.end());
    char expected[512];
    std::snprintf(expected, sizeof expected,
                  "<STOMPATHON><COLORS><ONE><HUE>%d.000000</HUE><SAT>%d.000000</SAT></ONE><TWO><HUE>%d.000000</HUE>"
                  "<SAT>%d.000000</SAT></TWO></COLORS><MARKERS><ONE><X>0.000000</X><Y>0.000000</Y></ONE><TWO>"
                  "<X>0.000000</X><Y>0.000000</Y></TWO></MARKERS></STOMPATHON>",
                  hsvOne[0], hsvOne[1], hsvTwo[0], hsvTwo[1]);
    EXPECT_EQ(written, expected);

    EXPECT_EQ(stride(2), 0);
    EXPECT_EQ(stride(3), 3);
    EXPECT_EQ(stride(-7), 0);
    // Exactly 10 pixels below the line is too far; 9 is near enough.
    one.top += 10;
    frame(false);
    EXPECT_EQ(stride(5), 0);
    one.top -= 1;
    EXPECT_EQ(stride(5), 5);
    one.top -= 9;
    frame(false);
    // The shoes count independently, each against its own last position.
    int before = game->distanceCovered;
    one.left += 4;
    two.left += 6;
    frame(false);
    EXPECT_EQ(game->distanceCovered - before, 10);
    // A shoe lost for a while counts its whole move when it is found again.
    one.shown = false;
    frame(false);
    one.shown = true;
    EXPECT_EQ(stride(6), 6);

    // The next entry reads the colours back.
    game->shoeOne.hue = 0;
    app.keyPressed('r');
    EXPECT_TRUE(game->settingsLoaded);
    EXPECT_EQ(game->shoeOne.hue, hsvOne[0]);
}

TEST_F(RaceScreen, FiftyPixelBlocksFinishBeyond6000AndTheNextRaceNeedsNoClicks) {
    frame();
    placeBlocksOnPatches();
    countDownToTheRace();
    while (game->distanceCovered < 6000) {
        stride(8);
        stride(-8);
    }
    ASSERT_EQ(game->distanceCovered, 6000);
    EXPECT_FALSE(game->finished);
    stride(3);
    EXPECT_TRUE(game->finished);

    // The winning screen: the photo over the whole window and the red title.
    clearFrame();
    app.draw();
    EXPECT_GT(countPixels(red, PixelBox{20, 20, 620, 90}), 200);
    Rgb patchTwo{230, 200, 40};
    EXPECT_EQ(pixelAt(2 * two.centreX(), 2 * two.centreY()), patchTwo);
    EXPECT_EQ(pixelAt(600, 460), (Rgb{128, 128, 128}));
    // One photo per race: a later camera picture does not replace it.
    two.left += 60;
    frame();
    EXPECT_EQ(pixelAt(2 * (two.centreX() - 60), 2 * two.centreY()), patchTwo);
    two.left -= 60;
    // On the winning screen a drag neither counts nor moves a block.
    ofxVec2f blockTwo = game->blockTwo;
    app.mouseDragged(300, 300, 0);
    EXPECT_EQ(game->clickCount, 2);

    click(300, 300);
    EXPECT_FALSE(game->finished);
    EXPECT_EQ(game->clickCount, 0);
    EXPECT_EQ(game->blockTwo.x, blockTwo.x);
    EXPECT_EQ(game->distanceCovered, 0);
    // A later race measures again but saves nothing, even when the file has gone meanwhile.
    fs::remove("data/mySettings.xml");
    countDownToTheRace();
    EXPECT_FLOAT_EQ(game->raceLength, 6000);
    EXPECT_EQ(stride(5), 5);
    EXPECT_FALSE(fs::exists("data/mySettings.xml"));
}

TEST_F(RaceScreen, BlocksOffThePictureSampleItsEdgesAndOnePointMakesNoRace) {
    corner.shown = true;
    farCorner.shown = true;
    frame();
    click(100, 10);     // block two at (-60, -10): pixel (0, 0)
    click(600, 400);    // block one at (440, 380): pixel (319, 239)
    countDownToTheRace();
    EXPECT_EQ(game->shoeTwo.hue, hsvOf(corner.rgb)[0]);
    EXPECT_EQ(game->shoeTwo.sat, hsvOf(corner.rgb)[1]);
    EXPECT_EQ(game->shoeOne.hue, hsvOf(farCorner.rgb)[0]);
    EXPECT_EQ(game->shoeOne.sat, hsvOf(farCorner.rgb)[1]);

    // SPACE before any block: both blocks on (0, 0), no race length, no step ever counts.
    app.keyPressed('r');
    farCorner.shown = false;
    countDownToTheRace();
    EXPECT_EQ(game->shoeOne.hue, hsvOf(corner.rgb)[0]);
    EXPECT_FLOAT_EQ(game->raceLength, 0);
    for (int i = 0; i < 20; i++) stride(i % 2 ? -9 : 9);
    EXPECT_EQ(game->distanceCovered, 0);
    EXPECT_FALSE(game->finished);
}

TEST_F(RaceScreen, KeysAreComparedExactlyAndRestartClearsTheScreen) {
    for (int i = 0; i < 3; i++) frame();
    ASSERT_EQ(game->frameTimer.delta, frameMillis);
    app.keyPressed(' ');
    EXPECT_EQ(game->raceClock, -5000);
    fakeNow += 37;      // a start-taking call of the timer: the last measured interval is added
    app.update();
    EXPECT_EQ(game->raceClock, -5000 + frameMillis);

    app.keyPressed('P');
    EXPECT_EQ(cameras->camera()->settingsShown, 0);
    app.keyPressed('p');
    EXPECT_EQ(cameras->camera()->settingsShown, 1);

    placeBlocksOnPatches();
    app.keyPressed('R');
    EXPECT_EQ(game->clickCount, 2);
    for (int i = 0; i < 60 && !game->running; i++) frame();
    ASSERT_TRUE(game->running);
    stride(5);
    testing::internal::CaptureStdout();
    app.keyPressed('r');
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "0\n");
    EXPECT_FALSE(game->running || game->countdownStarted);
    EXPECT_EQ(game->raceClock, -5000);
    EXPECT_EQ(game->distanceCovered + game->clickCount, 0);
    EXPECT_EQ(game->blockOne.x + game->blockTwo.x + game->blockTwo.y, 0);
}

TEST_F(RaceScreen, MarksCountdownAndGoTakeTheirColoursAndTheRunnerStartsLeftOfTheWindow) {
    frame();
    placeBlocksOnPatches();
    clearFrame();
    app.draw();
    int whiteBefore = countPixels(white, countdownArea);
    EXPECT_GT(countPixels(red, cameraArea), 20);     // the block marks

    app.keyPressed(' ');
    // Red with the block marks until -1000, white between the marks and the line.
    const std::pair<float, bool> steps[] = {{-4999.5f, true}, {-1001, true}, {-1000, false}, {-999, false}, {0, false}};
    for (auto [clock, redText] : steps) {
        game->raceClock = clock;
        clearFrame();
        app.draw();
        EXPECT_EQ(countPixels(red, countdownArea) > 100, redText) << clock;
        EXPECT_EQ(countPixels(white, countdownArea) > whiteBefore + 100, !redText) << clock;
    }
    EXPECT_EQ(countPixels(red, cameraArea), 0) << "at 0: no marks, no running line";
    EXPECT_FALSE(game->running);

    game->raceClock = 100;
    clearFrame();
    app.draw();
    EXPECT_TRUE(game->running);
    EXPECT_GT(countPixels(red, countdownArea), 100);
    EXPECT_GT(countPixels(red, PixelBox{160 + one.centreX(), 20 + one.centreY() - 1, 160 + two.centreX(),
                                        20 + two.centreY() + 1}), 30) << "the running line";

    // The runner's top edge at 336 is GL's window y 144; the window clips its
    // left part, so its right edge tells where it starts.
    const float right = -24 + static_cast<float>(game->runnerImage.width);
    int found = 0;
    for (const FeedbackPrimitive& primitive : feedbackOf([&] { game->drawTrackPosition(); })) {
        float rightmost = -1e9f, highest = -1e9f;
        for (const auto& vertex : primitive.vertices) {
            rightmost = std::max(rightmost, vertex.first);
            highest = std::max(highest, vertex.second);
        }
        found += primitive.token == GL_POLYGON_TOKEN && std::fabs(rightmost - right) < 0.01f && highest == 144;
    }
    EXPECT_GE(found, 1);
}

// Each shoe's mask marks exactly the pixels of the game's own hue and saturation
// planes that lie in its band compared as floats, bounds included; and keying a
// frame allocates nothing outside the two contour searches.
TEST_F(RaceScreen, KeyingMarksTheFloatBandsAndAllocatesOnlyInTheContourSearch) {
    cv::Mat hsv(240, 320, CV_8UC3), rgb;
    for (int y = 0; y < 240; y++) {
        for (int x = 0; x < 320; x++) hsv.at<cv::Vec3b>(y, x) = cv::Vec3b(x * 180 / 320, y * 256 / 240, 90 + (x + y) % 160);
    }
    cv::cvtColor(hsv, rgb, cv::COLOR_HSV2RGB);
    std::vector<unsigned char> picture(rgb.data, rgb.data + rgb.total() * 3);
    struct Band {
        float hue, sat;
    };
    const Band bands[] = {{3, 55}, {0, 0}, {178, 250}, {90.5f, 100.4f}, {-20, -30}, {300, 400}, {120, 12}};
    for (const Band& band : bands) {
        game->shoeOne = game->shoeTwo = color{band.hue, band.sat, {}, {}};
        cameras->camera()->deliverPicture(picture);
        app.update();
        const unsigned char* hue = game->huePlane.getPixels();
        const unsigned char* sat = game->satPlane.getPixels();
        int wrong = 0;
        for (int i = 0; i < 320 * 240; i++) {
            float h = hue[i], s = sat[i];
            bool inSat = s <= band.sat + 200;
            bool one = h >= band.hue - 12 && h <= band.hue + 12 && s >= band.sat - 24 && inSat;
            bool two = h >= band.hue - 6 && h <= band.hue + 6 && s >= band.sat - 12 && inSat;
            wrong += (game->maskOne[i] != (one ? 255 : 0)) + (game->maskTwo[i] != (two ? 255 : 0));
        }
        EXPECT_EQ(wrong, 0) << "band around hue " << band.hue << ", sat " << band.sat;
    }

    game->shoeOne = color{5, 220, {}, {}};
    game->shoeTwo = color{110, 215, {}, {}};
    auto searches = [&] {
        game->trackerOne.findContours(game->maskOneImage, 10, 320 * 240 / 3, 1, false, true);
        game->trackerTwo.findContours(game->maskTwoImage, 10, 320 * 240 / 3, 1, false, true);
    };
    for (int round = 0; round < 4; round++) {     // the first round warms the library up
        one.left += 3;
        cameras->camera()->deliverPicture(scene());
        game->grabber.grabFrame();
        glFinish();
        long keying = allocationsOf([&] { game->doCameraKeying(); });
        long search = allocationsOf(searches);
        EXPECT_TRUE(round == 0 || keying == search) << keying << " allocations, " << search << " in the searches";
    }
}

TEST_F(RaceScreen, OnlyACompetitionRunReportsItsTimeOnce) {
    CannedServer server("HTTP/1.1 200 OK\r\nContent-Length: 14\r\n\r\ntime recorded!");
    app.scoreServer.url = server.base();
    app.username = "ann";
    app.password = "p w";
    // Both blocks on patch one, a pixel apart: a race of 120 pixels.
    auto runRace = [&] {
        frame();
        click(160 + one.centreX(), 20 + one.centreY());
        click(161 + one.centreX(), 20 + one.centreY());
        countDownToTheRace();
    };
    runRace();
    stride(70);
    stride(-70);
    ASSERT_TRUE(game->finished);
    click(300, 300);
    EXPECT_TRUE(server.requestLines().empty());

    testing::internal::CaptureStdout();
    enterGame(true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "1\n");
    runRace();
    while (game->raceClock < 59900) frame(false);
    frame();
    ASSERT_EQ(game->raceClock, 60000);
    stride(70);
    ASSERT_TRUE(game->finished);
    clearFrame();
    app.draw();
    EXPECT_EQ(game->finishTimeMs, 60000);

    testing::internal::CaptureStdout();
    click(300, 300);
    click(300, 300);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "submitting score...\ntime recorded!\n");
    EXPECT_EQ(server.requestLines(), std::vector<std::string>{
                                         "GET /report.php?action=report&username=ann&password=p%20w&score=60 HTTP/1.1"});
    EXPECT_FALSE(game->finished);
}

TEST_F(RaceScreenWithoutCamera, NothingIsFoundAndThePhotoIsBlack) {
    EXPECT_EQ(game->grabber.getPixels(), nullptr);
    click(200, 100);
    click(300, 100);
    countDownToTheRace();
    EXPECT_EQ(game->trackerOne.blobCount + game->trackerTwo.blobCount, 0);
    EXPECT_EQ(game->shoeOne.sat, 0);
    EXPECT_EQ(game->distanceCovered, 0);
    game->finished = true;      // the race cannot finish by itself here
    clearFrame();
    app.draw();
    EXPECT_EQ(pixelAt(320, 300), black);
    EXPECT_EQ(pixelAt(600, 460), black);
    EXPECT_GT(countPixels(red), 200);
}

TEST(RaceTexts, CountdownDistanceTimeRunnerAndStepsFromTheRaceState) {
    const std::pair<float, const char*> countdown[] = {{-5000, "[6]"}, {-4999.5f, "[5]"}, {-1000, "[2]"}, {-999, "[1]"}};
    for (auto [clock, text] : countdown) EXPECT_EQ(FingerTracking::countdownText(clock), text) << clock;
    EXPECT_EQ(FingerTracking::distanceText(3000, 6000), "50.0 dm");
    EXPECT_EQ(FingerTracking::distanceText(0, 0), "0.0 dm");
    EXPECT_EQ(FingerTracking::timeText(-3000), "0.000 ");
    EXPECT_EQ(FingerTracking::timeText(12345.6f), "12.346 ");
    EXPECT_EQ(FingerTracking::finishText(12345), "Finished in \n 12.345 seconds");
    EXPECT_FLOAT_EQ(FingerTracking::runnerLeft(0, 0), -24);
    EXPECT_FLOAT_EQ(FingerTracking::runnerLeft(3000, 6000), 176);
    EXPECT_FLOAT_EQ(FingerTracking::runnerLeft(6000, 6000), 376);
    // Whole pixels of a move; the line through the blocks reaches beyond them, at any slant.
    const ofxVec2f from(0, 0), diagonal(10, 10);
    EXPECT_EQ(FingerTracking::stepFor(ofxVec2f(50, 50), ofxVec2f(52, 50), from, diagonal), 0);
    EXPECT_EQ(FingerTracking::stepFor(ofxVec2f(50, 50), ofxVec2f(52.5f, 50), from, diagonal), 2);
    EXPECT_EQ(FingerTracking::stepFor(ofxVec2f(50, 50), ofxVec2f(60, 48), from, diagonal), 10);
    EXPECT_EQ(FingerTracking::stepFor(ofxVec2f(50, 50), ofxVec2f(60, 45), from, diagonal), 0);
    EXPECT_EQ(FingerTracking::stepFor(ofxVec2f(50, 50), ofxVec2f(60, 50), from, from), 0) << "no line";
    EXPECT_NEAR(FingerTracking::distToLine(0, 10, 0, 0, 1, 1), 7.0710678f, 1e-5);
}
