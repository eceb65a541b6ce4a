// The running game in a real window, fed by a test camera with drawn frames:
// coloured patches on a grey floor, 100 ms of a test clock apart. Each test works
// in a copy of the game's data, so the settings file it writes is its own.
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

// Heap allocations, counted in malloc (where operator new ends) and posix_memalign (the vision library's buffers).

extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_memalign(size_t alignment, size_t size);

static bool counting = false;
static long allocations = 0;

extern "C" void* malloc(size_t size) {
    allocations += counting;
    return __libc_malloc(size);
}
extern "C" int posix_memalign(void** out, size_t alignment, size_t size) {
    allocations += counting;
    *out = __libc_memalign(alignment, size);
    return *out != nullptr ? 0 : 12;  // ENOMEM
}

template <typename Work>
static long allocationsOf(Work work) {
    allocations = 0;
    counting = true;
    work();
    counting = false;
    return allocations;
}

namespace {

int fakeNow = 0;

// A 20 by 12 patch; its region's centroid is (left + 9, top + 5).
struct Patch {
    int left, top;
    cv::Scalar rgb;
    int centreX() const { return left + 9; }
    int centreY() const { return top + 5; }
};

// Hue and saturation as the game's 8-bit planes hold them.
std::pair<int, int> hsvOf(const Patch& patch) {
    cv::Mat pixel(1, 1, CV_8UC3, patch.rgb), hsv;
    cv::cvtColor(pixel, hsv, cv::COLOR_RGB2HSV);
    return {hsv.at<cv::Vec3b>(0, 0)[0], hsv.at<cv::Vec3b>(0, 0)[1]};
}

std::pair<int, int> hsvOf(const color& shoe) {
    return {static_cast<int>(shoe.hue), static_cast<int>(shoe.sat)};
}

class RaceScreen : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        fs::copy(DATA_DIR, folder / "data");
        fs::remove(folder / "data/mySettings.xml");
        fs::current_path(folder);
        fakeNow = 0;
        app.setup();
        enterGame(false);
    }

    void TearDown() override {
        fs::current_path(home);
        GlTest::TearDown();
    }

    void enterGame(bool compete) {
        app.bCompeteMode = compete;
        app.switchFromState(app.currentState, SwitchCode::runningGame);
        game = app.fingerTracking;
        game->frameTimer.clockMillis = [] { return fakeNow; };
    }

    std::vector<unsigned char> scene() const {
        cv::Mat rgb(240, 320, CV_8UC3, cv::Scalar(128, 128, 128));
        for (const Patch* patch : {&one, &two, &corner, &farCorner}) {
            cv::rectangle(rgb, cv::Rect(patch->left, patch->top, 20, 12), patch->rgb, cv::FILLED);
        }
        return std::vector<unsigned char>(rgb.data, rgb.data + rgb.total() * 3);
    }

    void frame(bool drawToo = true) {
        fakeNow += 100;
        cameras.camera()->deliverPicture(scene());
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

    // Drawn at half size, anything beyond the window's top-left quarter was drawn outside the window.
    bool endsInside(GameStateObject* screen) {
        clearFrame();
        glPushMatrix();
        glScalef(0.5f, 0.5f, 1);
        screen->draw();
        glPopMatrix();
        PixelBox drawn = drawnBounds();
        return drawn.right < 320 && drawn.bottom < 240;
    }

    void countDownToTheRace() {
        app.keyPressed(' ');
        for (int i = 0; i < 100 && !game->running; i++) {
            frame();
        }
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
    TestCameras cameras;
    testApp app;
    FingerTracking* game = nullptr;
    Patch one{100, 150, cv::Scalar(40, 90, 230)};
    Patch two{150, 150, cv::Scalar(230, 200, 40)};
    Patch corner{0, 0, cv::Scalar(200, 40, 200)};
    Patch farCorner{300, 228, cv::Scalar(40, 200, 60)};
};

}  // namespace

// The race length and the colours under the blocks, saved once, when there was no settings file; the step rule,
// a camera lost and back, a finish beyond 6000 pixels with one photo, and a next race that needs no clicks.
// Every text of the tutorial, the race and the winning screen fits.
TEST_F(RaceScreen, CalibrationStepsALostCameraAndTheFinish) {
    frame();
    click(160 + two.centreX(), 20 + two.centreY());     // the first click places block two
    EXPECT_TRUE(endsInside(game)) << "the tutorial after one click";
    click(160 + one.centreX(), 20 + one.centreY());
    EXPECT_TRUE(endsInside(game)) << "the tutorial after two clicks";
    countDownToTheRace();
    EXPECT_FLOAT_EQ(game->raceLength, 6000);
    std::string written = readFile("data/mySettings.xml");
    written.erase(std::remove_if(written.begin(), written.end(), ::isspace), written.end());
    char expected[512];
    std::snprintf(expected, sizeof expected,
                  "<STOMPATHON><COLORS><ONE><HUE>%d.000000</HUE><SAT>%d.000000</SAT></ONE><TWO><HUE>%d.000000</HUE>"
                  "<SAT>%d.000000</SAT></TWO></COLORS><MARKERS><ONE><X>0.000000</X><Y>0.000000</Y></ONE><TWO>"
                  "<X>0.000000</X><Y>0.000000</Y></TWO></MARKERS></STOMPATHON>",
                  hsvOf(one).first, hsvOf(one).second, hsvOf(two).first, hsvOf(two).second);
    EXPECT_EQ(written, expected);

    EXPECT_EQ(stride(2), 0);
    EXPECT_EQ(stride(3), 3);
    EXPECT_EQ(stride(-7), 0);
    one.top += 10;                      // exactly 10 pixels below the line is too far
    frame(false);
    EXPECT_EQ(stride(5), 0);
    one.top -= 1;                       // 9 is near enough
    EXPECT_EQ(stride(5), 5);
    one.top -= 9;                       // the shoes count independently, each from its own last place
    one.left += 4;
    two.left += 6;
    frame(false);
    EXPECT_EQ(game->distanceCovered, 18);
    cameras.unplugged = true;           // a lost camera: told over the picture, the race goes on when it is back
    cameras.camera()->gone = true;
    EXPECT_EQ(stride(3), 0);
    frame();
    EXPECT_GT(countPixels(Rgb{255, 255, 255}, PixelBox{200, 125, 440, 145}), 100) << "camera lost - plug it in again";
    EXPECT_TRUE(endsInside(game)) << "the race, camera lost";
    cameras.unplugged = false;
    for (int i = 0; i < 300 && game->grabber.isLost(); i++) {
        frame(false);
        usleep(10000);
    }
    EXPECT_EQ(stride(3), 6) << "the move made while the camera was away counts too";

    for (int i = 0; i < 1000 && game->distanceCovered < 6000; i++) {
        stride(8);
        stride(-8);
    }
    ASSERT_EQ(game->distanceCovered, 6000);
    EXPECT_FALSE(game->finished);
    stride(3);
    ASSERT_TRUE(game->finished);
    // The photo over the whole window, the red title; a later camera picture does not replace it.
    frame();
    two.left += 60;
    frame();
    EXPECT_GT(countPixels(Rgb{255, 0, 0}, PixelBox{20, 20, 620, 90}), 200);
    EXPECT_EQ(pixelAt(2 * (two.centreX() - 60), 2 * two.centreY()), (Rgb{230, 200, 40}));
    EXPECT_EQ(pixelAt(600, 400), (Rgb{128, 128, 128}));
    game->finishTimeMs = 9999999;
    EXPECT_TRUE(endsInside(game)) << "the winning screen";
    app.mouseDragged(300, 300, 0);      // on the winning screen a drag neither counts nor moves a block
    EXPECT_EQ(game->clickCount, 2);
    testing::internal::CaptureStdout();
    click(300, 300);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "a practice run reports nothing";
    EXPECT_FALSE(game->finished);
    EXPECT_EQ(game->clickCount + game->distanceCovered, 0);
    fs::remove("data/mySettings.xml");  // the next race keeps the blocks and measures again, but saves nothing
    countDownToTheRace();
    EXPECT_FLOAT_EQ(game->raceLength, 6000);
    EXPECT_FALSE(fs::exists("data/mySettings.xml"));
}

// Blocks go by turns, block two first, from left clicks and every drag event.
// Restart reads the colours back and forgets the blocks; then SPACE alone puts
// both on (0, 0): no race length, no step.
TEST_F(RaceScreen, BlocksOffThePictureSampleItsEdgesAndRestartStartsAfresh) {
    frame();
    click(200, 50, 2);                  // not the left button: nothing
    click(100, 10);                     // block two at (-60, -10): pixel (0, 0)
    app.mouseDragged(600, 400, 0);      // block one at (440, 380): pixel (319, 239)
    countDownToTheRace();
    EXPECT_EQ(hsvOf(game->shoeTwo), hsvOf(corner));
    EXPECT_EQ(hsvOf(game->shoeOne), hsvOf(farCorner));

    game->shoeOne.hue = 0;
    app.keyPressed('r');
    EXPECT_EQ(hsvOf(game->shoeOne), hsvOf(farCorner));
    EXPECT_EQ(game->clickCount + game->blockOne.x + game->blockTwo.x + game->blockTwo.y, 0);
    fakeNow += 10000;                   // a long frame before SPACE adds nothing to the race
    app.keyPressed(' ');
    for (int i = 0; i < 3; i++) {
        frame(false);
    }
    EXPECT_EQ(game->raceClock, -4800) << "one frame takes the start, the next two measure 100 ms each";
    countDownToTheRace();
    EXPECT_EQ(hsvOf(game->shoeOne), hsvOf(corner));
    EXPECT_FLOAT_EQ(game->raceLength, 0);
    EXPECT_EQ(stride(9), 0);
    click(450, 450);                    // the back label: a block still moves, then the screen is left
    EXPECT_EQ(game->blockTwo.x, 290);
    EXPECT_NE(app.currentState, game);
}

// Each shoe's mask marks exactly the pixels of the game's own hue and saturation planes that lie in its band
// compared as floats, bounds included, the hue band going round the circle of 180; and keying a frame allocates
// nothing outside the two contour searches.
TEST_F(RaceScreen, KeyingMarksTheFloatBandsAndAllocatesOnlyInTheContourSearch) {
    cv::Mat hsv(240, 320, CV_8UC3), rgb;
    for (int y = 0; y < 240; y++) {
        for (int x = 0; x < 320; x++) {
            hsv.at<cv::Vec3b>(y, x) = cv::Vec3b(x * 180 / 320, y * 256 / 240, 90 + (x + y) % 160);
        }
    }
    cv::cvtColor(hsv, rgb, cv::COLOR_HSV2RGB);
    const float bands[][2] = {{3, 55}, {178, 250}, {90.5f, 100.4f}, {172.5f, 80}, {-20, -30}, {300, 400}};
    for (auto [hue, sat] : bands) {
        game->shoeOne = game->shoeTwo = color{hue, sat, {}, {}};
        cameras.camera()->deliverPicture(std::vector<unsigned char>(rgb.data, rgb.data + rgb.total() * 3));
        app.update();
        int wrong = 0;
        for (int i = 0; i < 320 * 240; i++) {
            float h = game->huePlane.getPixels()[i], s = game->satPlane.getPixels()[i];
            float hueGap = std::min({std::abs(h - hue), std::abs(h - 180 - hue), std::abs(h + 180 - hue)});
            bool one = hueGap <= 12 && s >= sat - 24 && s <= sat + 200;
            bool two = hueGap <= 6 && s >= sat - 12 && s <= sat + 200;
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
        cameras.camera()->deliverPicture(scene());
        game->grabber.grabFrame();
        glFinish();
        long keying = allocationsOf([&] { game->doCameraKeying(); });
        long search = allocationsOf(searches);
        EXPECT_TRUE(round == 0 || keying == search) << keying << " allocations, " << search << " in the searches";
    }
}

// The click on the winning screen starts the next race at once; the answer is printed when it comes, as the
// window goes on, and its first line, cut to the window's width, stays on the race screen until the next SPACE.
// Reports wait their turn, none is lost. The login screen asking and the main menu fit too.
TEST_F(RaceScreen, ACompetitionRunReportsItsTimeWithoutStoppingTheWindow) {
    const std::string firstLine = "time recorded!" + std::string(60, 'W');
    CannedServer server("HTTP/1.1 200 OK\r\nContent-Length: 80\r\n\r\n" + firstLine + "\nmore\x1b"), silent("");
    app.scoreServer.url = server.base();
    app.username = "ann";
    app.password = "p w";
    testing::internal::CaptureStdout();
    enterGame(true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "1\n") << "the mode announced is the new one";
    frame();
    // Both blocks on patch one, a pixel apart: a race of 120 pixels.
    click(160 + one.centreX(), 20 + one.centreY());
    click(161 + one.centreX(), 20 + one.centreY());
    countDownToTheRace();
    while (game->raceClock < 59900) {
        frame(false);
    }
    frame();
    stride(70);
    ASSERT_TRUE(game->finished);
    app.draw();
    EXPECT_EQ(game->finishTimeMs, 60000) << "the clock at the last frame drawn before the finish";
    testing::internal::CaptureStdout();
    click(300, 300);
    click(300, 300);
    for (int i = 0; i < 500 && game->report.running(); i++) {
        app.update();
        usleep(5000);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "submitting score...\n" + firstLine + "?more?\n");
    EXPECT_EQ(server.requestLines().at(0),
              "GET /report.php?action=report&username=ann&password=p%20w&score=60 HTTP/1.1");
    EXPECT_EQ(game->reportAnswer.rfind("time recorded!W", 0), 0u);
    frame();
    EXPECT_GT(countPixels(Rgb{255, 255, 255}, PixelBox{8, 2, 160, 19}), 60) << "the answer at the top";
    EXPECT_TRUE(endsInside(game)) << "the answer at the top";
    app.keyPressed(' ');
    EXPECT_EQ(game->reportAnswer, "");

    game->submitScore();
    game->submitScore();
    game->finishReports(5000);
    game->finishReports(5000);
    EXPECT_EQ(server.requestLines().size(), 3u);
    app.scoreServer.url = silent.base();
    app.switchFromState(game, SwitchCode::login);
    app.loginScreen->askServer();
    EXPECT_TRUE(endsInside(app.loginScreen)) << "the login screen, asking";
    app.switchFromState(app.loginScreen, SwitchCode::mainMenu);
    EXPECT_TRUE(endsInside(app.mainMenu)) << "the main menu";
}

TEST(RaceTexts, CountdownDistanceTimeAndRunnerFromTheRaceState) {
    EXPECT_EQ(FingerTracking::countdownText(-5000) + FingerTracking::countdownText(-4999.5f) +
                  FingerTracking::countdownText(-1000) + FingerTracking::countdownText(-999),
              "[6][5][2][1]");
    EXPECT_EQ(FingerTracking::distanceText(3000, 6000) + FingerTracking::distanceText(0, 0), "50.0 dm0.0 dm");
    EXPECT_EQ(FingerTracking::timeText(-3000) + FingerTracking::timeText(12345.6f), "0.000 12.346 ");
    EXPECT_EQ(FingerTracking::finishText(12345), "Finished in \n 12.345 seconds");
    EXPECT_FLOAT_EQ(FingerTracking::runnerLeft(3000, 6000), 176);
    // Whole pixels of a move; the line through the blocks reaches beyond them, at any slant.
    const ofxVec2f from(0, 0), diagonal(10, 10);
    EXPECT_EQ(FingerTracking::stepFor(ofxVec2f(50, 50), ofxVec2f(52.5f, 50), from, diagonal), 2);
    EXPECT_EQ(FingerTracking::stepFor(ofxVec2f(50, 50), ofxVec2f(60, 48), from, diagonal), 10);
    EXPECT_EQ(FingerTracking::stepFor(ofxVec2f(50, 50), ofxVec2f(60, 45), from, diagonal), 0);
}
