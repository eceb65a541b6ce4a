// The running game in a real window, fed by a test camera whose frames the
// tests draw: two coloured patches on a grey floor. The race clock runs on a
// test clock of 100 ms a frame. Each test works in a folder of its own holding
// the game's pictures and font, so the settings file it writes is its own.
#include "fingerTracking.h"
#include "glTestWindow.h"
#include "scratchFolder.h"
#include "mainMenu.h"
#include "scoreServerStub.h"
#include "testApp.h"
#include "videoSource.h"

#include <opencv2/imgproc.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const Rgb red{255, 0, 0};
const Rgb white{255, 255, 255};
const Rgb black{0, 0, 0};
const int frameMillis = 100;

int fakeNow = 0;
int fakeClock() {
    return fakeNow;
}

// What the test camera shares with the tests: where its frames go, and how
// often its settings were asked for.
struct CameraFeed {
    SampleGrabberCallback* callback = nullptr;
    int settingsShown = 0;
};
CameraFeed feed;

class TestCamera : public VideoSource {
public:
    int getWidth() const override { return 320; }
    int getHeight() const override { return 240; }
    void start(SampleGrabberCallback* callback) override { feed.callback = callback; }
    void showSettings() override { feed.settingsShown++; }
};

CameraEntry testCamera() {
    return {"test camera", [](int, int) { return std::unique_ptr<VideoSource>(new TestCamera()); }};
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

std::string fileText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
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
        feed = CameraFeed();
        fakeNow = 0;
        overrideCameras(cameras());
        app.setup();
        enterGame(false);
    }

    void TearDown() override {
        restoreCameras();
        fs::current_path(home);
        GlTest::TearDown();
    }

    virtual std::vector<CameraEntry> cameras() { return {testCamera()}; }

    void enterGame(bool compete) {
        app.bCompeteMode = compete;
        app.switchFromState(app.currentState, SwitchCode::runningGame);
        game = app.fingerTracking;
        game->frameTimer.clockMillis = fakeClock;
    }

    // One camera frame of the current scene, handed over as the camera layer does.
    void pushFrame() {
        if (feed.callback == nullptr) {
            return;
        }
        cv::Mat rgb(240, 320, CV_8UC3, cv::Scalar(128, 128, 128)), bgr;
        for (const Patch* patch : {&one, &two, &corner, &farCorner}) {
            if (patch->shown) {
                cv::rectangle(rgb, cv::Rect(patch->left, patch->top, 20, 12), patch->rgb, cv::FILLED);
            }
        }
        cv::cvtColor(rgb, bgr, cv::COLOR_RGB2BGR);
        cv::flip(bgr, bgr, 0);
        feed.callback->SampleCB(0, bgr.data, 320 * 240 * 3);
    }

    void frame(bool drawToo = true) {
        fakeNow += frameMillis;
        pushFrame();
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

    int countIn(Rgb colour, PixelBox box) {
        std::vector<Rgb> pixels = readFrame();
        int n = 0;
        for (int y = box.top; y <= box.bottom; y++) {
            for (int x = box.left; x <= box.right; x++) n += pixels[y * 640 + x] == colour ? 1 : 0;
        }
        return n;
    }

    ScratchFolder scratch{"stompathon_race"};
    fs::path home, folder = scratch.path();
    testApp app;
    FingerTracking* game = nullptr;
    Patch one{100, 150, cv::Scalar(40, 90, 230)};
    Patch two{150, 150, cv::Scalar(230, 200, 40)};
    Patch corner{0, 0, cv::Scalar(200, 40, 200), false};
    Patch farCorner{300, 228, cv::Scalar(40, 200, 60), false};
};

class RaceScreenWithoutCamera : public RaceScreen {
protected:
    std::vector<CameraEntry> cameras() override { return {}; }
};

const PixelBox countdownArea{500, 180, 639, 250};
const PixelBox cameraArea{160, 20, 479, 259};

}  // namespace

TEST_F(RaceScreen, ClicksPlaceTheBlocksInCameraPixelsByTurns) {
    click(170, 30);
    EXPECT_EQ(game->blockTwo.x, 10);
    EXPECT_EQ(game->blockTwo.y, 10);
    click(100, 300);
    EXPECT_EQ(game->blockOne.x, -60);
    EXPECT_EQ(game->blockOne.y, 280);
    click(200, 50, 2);      // not the left button: nothing
    EXPECT_EQ(game->clickCount, 2);
    EXPECT_EQ(game->blockTwo.x, 10);
    // Each drag event counts; the third count moves block two again.
    app.mouseDragged(180, 40, 0);
    app.mouseDragged(190, 45, 0);
    EXPECT_EQ(game->clickCount, 4);
    EXPECT_EQ(game->blockTwo.x, 20);
    EXPECT_EQ(game->blockOne.x, 30);
    EXPECT_EQ(game->blockOne.y, 25);
    // A left click on the back label still moves a block, then leaves.
    click(450, 450);
    EXPECT_EQ(game->blockTwo.x, 290);
    EXPECT_EQ(app.currentState, app.mainMenu);
}

TEST_F(RaceScreen, CalibrationTakesThePatchColoursAndCreatesTheSettingsOnce) {
    ASSERT_FALSE(fs::exists("data/mySettings.xml"));
    frame();
    placeBlocksOnPatches();
    countDownToTheRace();
    cv::Vec3b hsvOne = hsvOf(one.rgb), hsvTwo = hsvOf(two.rgb);
    EXPECT_EQ(game->shoeOne.hue, hsvOne[0]);
    EXPECT_EQ(game->shoeOne.sat, hsvOne[1]);
    EXPECT_EQ(game->shoeTwo.hue, hsvTwo[0]);
    EXPECT_EQ(game->shoeTwo.sat, hsvTwo[1]);
    EXPECT_FLOAT_EQ(game->raceLength, 6000);
    // Both shoes are found where the blocks are.
    ASSERT_EQ(game->trackerOne.blobCount, 1);
    ASSERT_EQ(game->trackerTwo.blobCount, 1);
    EXPECT_EQ(game->trackerTwo.blobs[0].centroid.x, two.centreX());

    std::string written = fileText("data/mySettings.xml");
    written.erase(std::remove_if(written.begin(), written.end(), ::isspace), written.end());
    char expected[512];
    std::snprintf(expected, sizeof expected,
                  "<STOMPATHON><COLORS><ONE><HUE>%d.000000</HUE><SAT>%d.000000</SAT></ONE><TWO><HUE>%d.000000</HUE>"
                  "<SAT>%d.000000</SAT></TWO></COLORS><MARKERS><ONE><X>0.000000</X><Y>0.000000</Y></ONE><TWO>"
                  "<X>0.000000</X><Y>0.000000</Y></TWO></MARKERS></STOMPATHON>",
                  hsvOne[0], hsvOne[1], hsvTwo[0], hsvTwo[1]);
    EXPECT_EQ(written, expected);

    // The next entry reads the colours back as whole numbers.
    game->shoeOne.hue = 0;
    app.keyPressed('r');
    EXPECT_TRUE(game->settingsLoaded);
    EXPECT_EQ(game->shoeOne.hue, hsvOne[0]);
}

TEST_F(RaceScreen, StepsCountOnlyRightwardMovesBeyondTwoPixelsNearTheLine) {
    frame();
    placeBlocksOnPatches();
    countDownToTheRace();
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
}

TEST_F(RaceScreen, FiftyPixelBlocksFinishBeyond6000AndTheNextRaceNeedsNoClicks) {
    frame();
    placeBlocksOnPatches();
    countDownToTheRace();
    ASSERT_FLOAT_EQ(game->raceLength, 6000);
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
    EXPECT_GT(countIn(red, PixelBox{20, 20, 620, 90}), 200);
    Rgb patchTwo{230, 200, 40};
    EXPECT_EQ(pixelAt(2 * two.centreX(), 2 * two.centreY()), patchTwo);
    EXPECT_EQ(pixelAt(600, 460), (Rgb{128, 128, 128}));
    // One photo per race: a later camera picture does not replace it.
    two.left += 60;
    frame();
    EXPECT_EQ(pixelAt(2 * (two.centreX() - 60), 2 * two.centreY()), patchTwo);
    // On the winning screen a click neither counts nor moves a block.
    ofxVec2f blockTwo = game->blockTwo;
    two.left -= 60;
    app.mouseDragged(300, 300, 0);
    EXPECT_EQ(game->clickCount, 2);

    click(300, 300);
    EXPECT_FALSE(game->finished);
    EXPECT_EQ(game->clickCount, 0);
    EXPECT_EQ(game->blockTwo.x, blockTwo.x);
    EXPECT_EQ(game->distanceCovered, 0);
    // A later race saves nothing, even when the file has gone meanwhile.
    fs::remove("data/mySettings.xml");
    countDownToTheRace();
    EXPECT_FLOAT_EQ(game->raceLength, 6000);
    EXPECT_EQ(stride(5), 5);
    EXPECT_FALSE(fs::exists("data/mySettings.xml"));
}

TEST_F(RaceScreen, SpaceBeforeAnyBlockGivesARaceThatCannotFinish) {
    corner.shown = true;
    frame();
    countDownToTheRace();
    cv::Vec3b hsvCorner = hsvOf(corner.rgb);
    EXPECT_EQ(game->shoeOne.hue, hsvCorner[0]);
    EXPECT_FLOAT_EQ(game->raceLength, 0);
    for (int i = 0; i < 20; i++) stride(i % 2 ? -9 : 9);
    EXPECT_EQ(game->distanceCovered, 0);
    EXPECT_FALSE(game->finished);
}

TEST_F(RaceScreen, BlocksOutsideThePictureSampleItsEdges) {
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
}

TEST_F(RaceScreen, KeysAreComparedExactly) {
    for (int i = 0; i < 3; i++) frame();
    float delta = game->frameTimer.delta;
    ASSERT_EQ(delta, frameMillis);
    app.keyPressed(' ');
    EXPECT_EQ(game->raceClock, -5000);
    fakeNow += 37;      // a start-taking call: the last measured interval is added
    app.update();
    EXPECT_EQ(game->raceClock, -5000 + delta);

    app.keyPressed('P');
    EXPECT_EQ(feed.settingsShown, 0);
    app.keyPressed('p');
    EXPECT_EQ(feed.settingsShown, 1);

    placeBlocksOnPatches();
    app.keyPressed('R');
    EXPECT_EQ(game->clickCount, 2);
    for (int i = 0; i < 60 && !game->running; i++) frame();
    ASSERT_TRUE(game->running);
    stride(5);
    testing::internal::CaptureStdout();
    app.keyPressed('r');
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "0\n");
    EXPECT_FALSE(game->running);
    EXPECT_FALSE(game->countdownStarted);
    EXPECT_EQ(game->raceClock, -5000);
    EXPECT_EQ(game->distanceCovered, 0);
    EXPECT_EQ(game->clickCount, 0);
    EXPECT_EQ(game->blockOne.x, 0);
    EXPECT_EQ(game->blockTwo.x, 0);
    EXPECT_EQ(game->blockTwo.y, 0);
}

TEST_F(RaceScreen, CountdownAndGoTakeTheColourOfTheMarks) {
    frame();
    placeBlocksOnPatches();
    clearFrame();
    app.draw();
    int whiteBefore = countIn(white, countdownArea);
    EXPECT_GT(countIn(red, cameraArea), 20);     // the block marks

    app.keyPressed(' ');
    const struct {
        float clock;
        bool redText;
    } steps[] = {{-4999.5f, true}, {-1001, true}, {-1000, false}, {-999, false}, {0, false}};
    for (auto step : steps) {
        game->raceClock = step.clock;
        clearFrame();
        app.draw();
        if (step.redText) {
            EXPECT_GT(countIn(red, countdownArea), 100) << step.clock;
        } else {
            EXPECT_EQ(countIn(red, countdownArea), 0) << step.clock;
            EXPECT_GT(countIn(white, countdownArea), whiteBefore + 100) << step.clock;
        }
    }
    // At 0: no marks, no running line, and the race has not started.
    EXPECT_EQ(countIn(red, cameraArea), 0);
    EXPECT_FALSE(game->running);

    game->raceClock = 100;
    clearFrame();
    app.draw();
    EXPECT_TRUE(game->running);
    EXPECT_GT(countIn(red, countdownArea), 100);
    EXPECT_GT(countIn(red, PixelBox{160 + one.centreX(), 20 + one.centreY() - 1, 160 + two.centreX(),
                                    20 + two.centreY() + 1}), 30);
}

TEST_F(RaceScreen, TheRunnerStartsLeftOfTheWindow) {
    frame();
    placeBlocksOnPatches();
    countDownToTheRace();
    ASSERT_GT(game->runnerImage.width, 0);
    // GL's window y grows upwards: the figure's top edge at 336 is y 144. The
    // window clips its left part, so its right edge tells where it starts.
    const float top = 480 - 336;
    const float right = -24 + static_cast<float>(game->runnerImage.width);
    int found = 0;
    for (const FeedbackPrimitive& primitive : feedbackOf([&] { game->drawTrackPosition(); })) {
        float rightmost = -1e9f, highest = -1e9f;
        for (const auto& vertex : primitive.vertices) {
            rightmost = std::max(rightmost, vertex.first);
            highest = std::max(highest, vertex.second);
        }
        found += primitive.token == GL_POLYGON_TOKEN && std::fabs(rightmost - right) < 0.01f && highest == top;
    }
    EXPECT_GE(found, 1);
}

TEST_F(RaceScreenWithoutCamera, NothingIsReadFromTheMissingPictureAndThePhotoIsBlack) {
    EXPECT_EQ(game->grabber.getPixels(), nullptr);
    click(200, 100);
    click(300, 100);
    countDownToTheRace();
    EXPECT_EQ(game->trackerOne.blobCount, 0);
    EXPECT_EQ(game->trackerTwo.blobCount, 0);
    EXPECT_EQ(game->shoeOne.sat, 0);
    EXPECT_EQ(game->distanceCovered, 0);
    // The race cannot finish by itself here; the photo is what is under test.
    game->finished = true;
    clearFrame();
    app.draw();
    EXPECT_EQ(pixelAt(320, 300), black);
    EXPECT_EQ(pixelAt(600, 460), black);
    EXPECT_GT(countPixels(red), 200);
}

TEST_F(RaceScreen, OnlyACompetitionRunReportsItsTimeOnce) {
    ScoreServerStub server;
    ASSERT_TRUE(server.running());
    app.scoreServer.url = server.base("ok");
    app.username = "ann";
    app.password = "pw";
    // Both blocks on patch one, a pixel apart: a race of 120 pixels.
    frame();
    click(160 + one.centreX(), 20 + one.centreY());
    click(161 + one.centreX(), 20 + one.centreY());
    countDownToTheRace();
    stride(70);
    stride(-70);
    ASSERT_TRUE(game->finished);
    click(300, 300);
    EXPECT_TRUE(server.requests().empty());

    testing::internal::CaptureStdout();
    enterGame(true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "1\n");
    frame();
    click(160 + one.centreX(), 20 + one.centreY());
    click(161 + one.centreX(), 20 + one.centreY());
    countDownToTheRace();
    while (game->raceClock < 60000) frame();
    ASSERT_EQ(game->raceClock, 60000);
    ASSERT_FALSE(game->finished);
    stride(70);
    ASSERT_TRUE(game->finished);
    clearFrame();
    app.draw();
    EXPECT_EQ(game->finishTimeMs, 60000);

    testing::internal::CaptureStdout();
    click(300, 300);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "submitting score...\n1\n");
    click(300, 300);
    EXPECT_EQ(server.requests(),
              std::vector<std::string>{"/ok/report.php?action=report&username=ann&password=pw&score=60"});
    EXPECT_FALSE(game->finished);
}
