// The running game in a real window, fed by a test camera whose frames the
// tests draw: coloured patches on a grey floor. The race clock runs on a test
// clock of 100 ms a frame. Each test works in a folder of its own holding copies
// of the game's pictures and font, so the settings file it writes is its own.
#include "fingerTracking.h"
#include "glTestWindow.h"
#include "loginScreen.h"
#include "loopback.h"
#include "mainMenu.h"
#include "scratchFolder.h"
#include "testApp.h"
#include "testCamera.h"

#include <GL/glew.h>
#include <opencv2/imgproc.hpp>

#include <filesystem>
#include <unistd.h>

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

cv::Vec3b hsvOf(const Patch& patch) {
    cv::Mat pixel(1, 1, CV_8UC3, patch.rgb), hsv;
    cv::cvtColor(pixel, hsv, cv::COLOR_RGB2HSV);
    return hsv.at<cv::Vec3b>(0, 0);
}

class RaceScreen : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
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
        fakeNow += 100;
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
    void placeBlocksOn(const Patch& blockTwo, const Patch& blockOne, int offset = 0) {
        click(160 + blockTwo.centreX(), 20 + blockTwo.centreY());
        click(160 + blockOne.centreX() + offset, 20 + blockOne.centreY());
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
    fs::path home = fs::current_path(), folder = scratch.path();
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
    app.mouseDragged(180, 40, 0);       // each drag event counts as a click
    app.mouseDragged(190, 45, 0);
    EXPECT_EQ(game->clickCount, 4);
    EXPECT_EQ(game->blockTwo.x, 20);
    EXPECT_EQ(std::make_pair(game->blockOne.x, game->blockOne.y), std::make_pair(30.0f, 25.0f));
    click(450, 450);                    // the back label: a block still moves, then the screen is left
    EXPECT_EQ(game->blockTwo.x, 290);
    EXPECT_EQ(app.currentState, app.mainMenu);
}

// The colours under the blocks, the race length and the settings file (written
// once, when there was none), then the step rule on the shoes found.
TEST_F(RaceScreen, CalibrationThenStepsOfRightwardMovesBeyondTwoPixelsNearTheLine) {
    frame();
    placeBlocksOn(two, one);
    countDownToTheRace();
    cv::Vec3b hsvOne = hsvOf(one), hsvTwo = hsvOf(two);
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
    one.top += 10;                      // exactly 10 pixels below the line is too far
    frame(false);
    EXPECT_EQ(stride(5), 0);
    one.top -= 1;                       // 9 is near enough
    EXPECT_EQ(stride(5), 5);
    one.top -= 9;
    frame(false);
    int before = game->distanceCovered; // the shoes count independently, each from its own last place
    one.left += 4;
    two.left += 6;
    frame(false);
    EXPECT_EQ(game->distanceCovered - before, 10);
    one.shown = false;                  // a shoe lost for a while counts its whole move when found again
    frame(false);
    one.shown = true;
    EXPECT_EQ(stride(6), 6);

    game->shoeOne.hue = 0;              // the next entry reads the colours back
    app.keyPressed('r');
    EXPECT_EQ(game->shoeOne.hue, hsvOne[0]);
}

TEST_F(RaceScreen, FiftyPixelBlocksFinishBeyond6000WithOnePhotoAndTheNextRaceNeedsNoClicks) {
    frame();
    placeBlocksOn(two, one);
    countDownToTheRace();
    while (game->distanceCovered < 6000) {
        stride(8);
        stride(-8);
    }
    ASSERT_EQ(game->distanceCovered, 6000);
    EXPECT_FALSE(game->finished);
    stride(3);
    ASSERT_TRUE(game->finished);

    // The photo over the whole window and the red title; a later camera picture does not replace it.
    const Rgb patchTwo{230, 200, 40};
    for (int moved : {0, 60}) {
        two.left += moved;
        frame();
        EXPECT_GT(countPixels(red, PixelBox{20, 20, 620, 90}), 200);
        EXPECT_EQ(pixelAt(2 * (two.centreX() - moved), 2 * two.centreY()), patchTwo);
        EXPECT_EQ(pixelAt(600, 460), (Rgb{128, 128, 128}));
    }
    two.left -= 60;
    app.mouseDragged(300, 300, 0);      // on the winning screen a drag neither counts nor moves a block
    EXPECT_EQ(game->clickCount, 2);

    ofxVec2f blockTwo = game->blockTwo;
    click(300, 300);
    EXPECT_FALSE(game->finished);
    EXPECT_EQ(game->clickCount + game->distanceCovered, 0);
    EXPECT_EQ(game->blockTwo.x, blockTwo.x);
    fs::remove("data/mySettings.xml");  // a later race measures again but saves nothing
    countDownToTheRace();
    EXPECT_FLOAT_EQ(game->raceLength, 6000);
    EXPECT_EQ(stride(5), 5);
    EXPECT_FALSE(fs::exists("data/mySettings.xml"));
}

TEST_F(RaceScreen, BlocksOffThePictureSampleItsEdgesAndOnePointMakesNoRace) {
    corner.shown = farCorner.shown = true;
    frame();
    click(100, 10);     // block two at (-60, -10): pixel (0, 0)
    click(600, 400);    // block one at (440, 380): pixel (319, 239)
    countDownToTheRace();
    EXPECT_EQ(std::make_pair(game->shoeTwo.hue, game->shoeTwo.sat),
              std::make_pair(float(hsvOf(corner)[0]), float(hsvOf(corner)[1])));
    EXPECT_EQ(std::make_pair(game->shoeOne.hue, game->shoeOne.sat),
              std::make_pair(float(hsvOf(farCorner)[0]), float(hsvOf(farCorner)[1])));

    app.keyPressed('r');                // SPACE before any block: both on (0, 0), no length, no step
    countDownToTheRace();
    EXPECT_EQ(game->shoeOne.hue, hsvOf(corner)[0]);
    EXPECT_FLOAT_EQ(game->raceLength, 0);
    for (int i = 0; i < 20; i++) stride(i % 2 ? -9 : 9);
    EXPECT_EQ(game->distanceCovered, 0);
    EXPECT_FALSE(game->finished);
}

// The race clock counts from SPACE: a frame that took 10 s before it adds nothing.
TEST_F(RaceScreen, KeysAreComparedExactlyAndTheClockStartsAtSpace) {
    for (int i = 0; i < 3; i++) frame();
    fakeNow += 10000;
    app.keyPressed(' ');
    for (int i = 0; i < 3; i++) frame(false);
    EXPECT_EQ(game->raceClock, -4800) << "one frame takes the start, the next two measure 100 ms each";
    app.keyPressed('P');
    app.keyPressed('p');
    EXPECT_EQ(cameras->camera()->settingsShown, 1);

    placeBlocksOn(two, one);
    app.keyPressed('R');
    EXPECT_EQ(game->clickCount, 2);
    testing::internal::CaptureStdout();
    app.keyPressed('r');
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "0\n");
    EXPECT_FALSE(game->countdownStarted);
    EXPECT_EQ(game->raceClock, -5000);
    EXPECT_EQ(game->clickCount, 0);
    EXPECT_EQ(game->blockOne.x + game->blockTwo.x + game->blockTwo.y, 0);
}

TEST_F(RaceScreen, MarksCountdownAndGoTakeTheirColours) {
    frame();
    placeBlocksOn(two, one);
    app.draw();
    EXPECT_GT(countPixels(red, cameraArea), 20) << "the block marks";
    int whiteBefore = countPixels(Rgb{255, 255, 255}, countdownArea);
    app.keyPressed(' ');
    // Red with the block marks until -1000, white between the marks and the line, red "GO!" with the line.
    const std::pair<float, bool> steps[] = {{-4999.5f, true}, {-1001, true}, {-1000, false}, {0, false}, {100, true}};
    for (auto [clock, redText] : steps) {
        game->raceClock = clock;
        clearFrame();
        app.draw();
        EXPECT_EQ(countPixels(red, countdownArea) > 100, redText) << clock;
        EXPECT_EQ(countPixels(Rgb{255, 255, 255}, countdownArea) > whiteBefore + 100, !redText) << clock;
        EXPECT_EQ(countPixels(red, cameraArea) > 20, clock < -1000 || clock > 0) << clock << ": marks or line";
        EXPECT_EQ(game->running, clock > 0) << clock;
    }
    EXPECT_GT(countPixels(red, PixelBox{160 + one.centreX(), 20 + one.centreY() - 1, 160 + two.centreX(),
                                        20 + two.centreY() + 1}), 30) << "the running line";
}

// Each shoe's mask marks exactly the pixels of the game's own hue and saturation
// planes that lie in its band compared as floats, bounds included, the hue band
// going round the circle of 180; and keying a frame allocates nothing outside
// the two contour searches.
TEST_F(RaceScreen, KeyingMarksTheFloatBandsAndAllocatesOnlyInTheContourSearch) {
    cv::Mat hsv(240, 320, CV_8UC3), rgb;
    for (int y = 0; y < 240; y++) {
        for (int x = 0; x < 320; x++) hsv.at<cv::Vec3b>(y, x) = cv::Vec3b(x * 180 / 320, y * 256 / 240, 90 + (x + y) % 160);
    }
    cv::cvtColor(hsv, rgb, cv::COLOR_HSV2RGB);
    std::vector<unsigned char> picture(rgb.data, rgb.data + rgb.total() * 3);
    const std::pair<float, float> bands[] = {{3, 55},      {0, 0},      {178, 250},  {90.5f, 100.4f},
                                             {172.5f, 80}, {-20, -30}, {300, 400}, {200, 100}};
    for (auto [hue, sat] : bands) {
        game->shoeOne = game->shoeTwo = color{hue, sat, {}, {}};
        cameras->camera()->deliverPicture(picture);
        app.update();
        int wrong = 0;
        for (int i = 0; i < 320 * 240; i++) {
            float h = game->huePlane.getPixels()[i], s = game->satPlane.getPixels()[i];
            auto inHue = [&](float reach) {
                for (float turned : {h - 180, h, h + 180}) {
                    if (turned >= hue - reach && turned <= hue + reach) {
                        return true;
                    }
                }
                return false;
            };
            bool one = inHue(12) && s >= sat - 24 && s <= sat + 200;
            bool two = inHue(6) && s >= sat - 12 && s <= sat + 200;
            wrong += (game->maskOne[i] != (one ? 255 : 0)) + (game->maskTwo[i] != (two ? 255 : 0));
        }
        EXPECT_EQ(wrong, 0) << "band around hue " << hue << ", sat " << sat;
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

// The click on the winning screen starts the next race at once; the answer is
// printed when it comes, as the window goes on, and its first line stays on the
// race screen until the next SPACE. Reports wait their turn, none is lost.
TEST_F(RaceScreen, OnlyACompetitionRunReportsItsTimeWithoutStoppingTheWindow) {
    CannedServer server("HTTP/1.1 200 OK\r\nContent-Length: 20\r\n\r\ntime recorded!\nmore\x1b");
    app.scoreServer.url = server.base();
    app.username = "ann";
    app.password = "p w";
    auto answersCome = [&] {
        for (int i = 0; i < 500 && (game->report.running() || !game->reportsToSend.empty()); i++) {
            app.update();
            usleep(5000);
        }
    };
    for (bool compete : {false, true}) {
        testing::internal::CaptureStdout();
        enterGame(compete);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), compete ? "1\n" : "0\n");
        frame();
        placeBlocksOn(one, one, 1);     // both blocks on patch one, a pixel apart: a race of 120 pixels
        countDownToTheRace();
        while (game->raceClock < 59900) frame(false);
        frame();
        stride(70);
        ASSERT_TRUE(game->finished);
        app.draw();
        EXPECT_EQ(game->finishTimeMs, 60000) << "the clock at the last frame drawn before the finish";
        testing::internal::CaptureStdout();
        click(300, 300);
        EXPECT_FALSE(game->finished);
        click(300, 300);
        answersCome();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), compete ? "submitting score...\ntime recorded!?more?\n" : "");
        one.left -= 70;
    }
    EXPECT_EQ(server.requestLines(), std::vector<std::string>{
                                         "GET /report.php?action=report&username=ann&password=p%20w&score=60 HTTP/1.1"});
    EXPECT_EQ(game->reportAnswer, "time recorded!");
    frame();
    EXPECT_GT(countPixels(Rgb{255, 255, 255}, PixelBox{8, 2, 160, 19}), 60) << "the answer at the top";
    app.keyPressed(' ');
    EXPECT_EQ(game->reportAnswer, "");

    game->submitScore();
    game->submitScore();
    answersCome();
    EXPECT_EQ(server.requestLines().size(), 3u);
}

TEST_F(RaceScreen, ALostCameraIsToldOverThePictureAndTheRaceGoesOnWhenItReturns) {
    frame();
    placeBlocksOn(two, one);
    countDownToTheRace();
    EXPECT_EQ(stride(5), 5);
    cameras->unplugged = true;
    cameras->camera()->gone = true;
    EXPECT_EQ(stride(5), 0);
    frame();
    EXPECT_TRUE(game->grabber.isLost());
    EXPECT_GT(countPixels(Rgb{255, 255, 255}, PixelBox{200, 125, 440, 145}), 100) << "camera lost - plug it in again";
    cameras->unplugged = false;
    for (int i = 0; i < 300 && game->grabber.isLost(); i++) {
        frame(false);
        usleep(10000);
    }
    EXPECT_EQ(stride(5), 10) << "the move made while the camera was away counts too";
    EXPECT_TRUE(game->running);
}

TEST_F(RaceScreenWithoutCamera, NothingIsFoundAndThePhotoIsBlack) {
    click(200, 100);
    click(300, 100);
    countDownToTheRace();
    EXPECT_EQ(game->trackerOne.blobCount + game->trackerTwo.blobCount, 0);
    EXPECT_EQ(game->shoeOne.sat, 0);
    game->finished = true;      // the race cannot finish by itself here
    clearFrame();
    app.draw();
    EXPECT_EQ(pixelAt(320, 300), (Rgb{0, 0, 0}));
    EXPECT_EQ(pixelAt(600, 460), (Rgb{0, 0, 0}));
    EXPECT_GT(countPixels(red), 200);
}

TEST(RaceTexts, CountdownDistanceTimeAndRunnerFromTheRaceState) {
    const std::pair<float, const char*> countdown[] = {{-5000, "[6]"}, {-4999.5f, "[5]"}, {-1000, "[2]"}, {-999, "[1]"}};
    for (auto [clock, text] : countdown) EXPECT_EQ(FingerTracking::countdownText(clock), text) << clock;
    EXPECT_EQ(FingerTracking::distanceText(3000, 6000), "50.0 dm");
    EXPECT_EQ(FingerTracking::distanceText(0, 0), "0.0 dm");
    EXPECT_EQ(FingerTracking::timeText(-3000), "0.000 ");
    EXPECT_EQ(FingerTracking::timeText(12345.6f), "12.346 ");
    EXPECT_EQ(FingerTracking::finishText(12345), "Finished in \n 12.345 seconds");
    EXPECT_FLOAT_EQ(FingerTracking::runnerLeft(0, 0), -24);
    EXPECT_FLOAT_EQ(FingerTracking::runnerLeft(3000, 6000), 176);
    // Whole pixels of a move; the line through the blocks reaches beyond them, at any slant.
    const ofxVec2f from(0, 0), diagonal(10, 10);
    EXPECT_EQ(FingerTracking::stepFor(ofxVec2f(50, 50), ofxVec2f(52.5f, 50), from, diagonal), 2);
    EXPECT_EQ(FingerTracking::stepFor(ofxVec2f(50, 50), ofxVec2f(60, 48), from, diagonal), 10);
    EXPECT_EQ(FingerTracking::stepFor(ofxVec2f(50, 50), ofxVec2f(60, 45), from, diagonal), 0);
}

// Drawn at half size the window fills the top-left quarter of itself: anything
// right of or below that quarter was drawn outside the window.
TEST_F(RaceScreen, EveryTextOfEveryScreenEndsInsideTheWindow) {
    CannedServer silent(""), wordy("HTTP/1.1 200 OK\r\nContent-Length: 60\r\n\r\n" + std::string(60, 'W'));
    app.scoreServer.url = wordy.base();
    auto endsInside = [&](GameStateObject* screen) {
        clearFrame();
        glPushMatrix();
        glScalef(0.5f, 0.5f, 1);
        screen->draw();
        glPopMatrix();
        PixelBox drawn = drawnBounds();
        return drawn.right < 320 && drawn.bottom < 240;
    };
    frame();
    for (int clicks = 0; clicks < 3; clicks++) {
        EXPECT_TRUE(endsInside(game)) << "the tutorial after " << clicks << " clicks";
        click(200, 100);
    }
    game->submitScore();
    game->finishReports(5000);
    countDownToTheRace();
    EXPECT_TRUE(endsInside(game)) << "the race";
    game->finished = true;
    game->finishTimeMs = 9999999;
    EXPECT_TRUE(endsInside(game)) << "the winning screen";
    app.scoreServer.url = silent.base();
    app.switchFromState(game, SwitchCode::login);
    app.loginScreen->askServer();
    EXPECT_TRUE(endsInside(app.loginScreen)) << "the login screen, asking";
    app.switchFromState(app.loginScreen, SwitchCode::mainMenu);
    EXPECT_TRUE(endsInside(app.mainMenu)) << "the main menu";
}
