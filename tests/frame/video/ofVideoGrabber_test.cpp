#include "glTestWindow.h"
#include "scratchFolder.h"
#include "testCamera.h"

#include "ofVideoGrabber.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <chrono>
#include <functional>
#include <malloc.h>
#include <numeric>
#include <thread>

using Bytes = std::vector<unsigned char>;

static const std::string advice =
    "error allocating a video device  \nplease check your camera with AMCAP or other software\n"
    "on Linux, v4l2-ctl --list-devices shows the cameras\n";

// Polls the grabber as the game does, 2 ms apart, until done; false when it never was.
static bool pollUntil(ofVideoGrabber& grabber, const std::function<bool()>& done, int polls = 1500) {
    for (int i = 0; i < polls; i++) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        grabber.grabFrame();
        if (done()) return true;
    }
    return false;
}

static bool waitForFrame(ofVideoGrabber& grabber) {
    return pollUntil(grabber, [&grabber] { return grabber.isFrameNew(); });
}

// A camera that goes away is said to be lost once, looked for at most once a second without the
// grabber waiting, and taken back when it returns; its last picture stays meanwhile.
TEST(ofVideoGrabber, ACameraThatGoesAwayIsTakenBackWhenItReturns) {
    TestCameras cameras({{320, 240}});
    ofVideoGrabber grabber;
    grabber.setUseTexture(false);
    ASSERT_TRUE(grabber.initGrabber(320, 240));
    cameras.camera()->deliver(Bytes(320 * 240 * 3, 7));
    ASSERT_TRUE(waitForFrame(grabber));

    cameras.unplugged = true;
    cameras.camera()->gone = true;
    testing::internal::CaptureStdout();
    auto start = std::chrono::steady_clock::now();
    pollUntil(grabber, [] { return false; }, 1250);
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
    EXPECT_LT(seconds.count(), 4) << "the grabber waited";
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "camera lost - plug it in again\n");
    EXPECT_TRUE(grabber.isLost());
    EXPECT_EQ(grabber.getPixels()[0], 7) << "the last picture stays";
    EXPECT_LE(cameras.openings, 2 + seconds.count()) << "at most one attempt a second, after the first opening";

    cameras.unplugged = false;
    ASSERT_TRUE(pollUntil(grabber, [&grabber] { return !grabber.isLost(); }));
    cameras.camera()->deliver(Bytes(320 * 240 * 3, 9));
    EXPECT_TRUE(waitForFrame(grabber));
}

TEST(ofVideoGrabber, PictureIsBlackUntilTheFirstFrameThenTheCameraUprightInRgb) {
    mallopt(M_PERTURB, 0x55);                       // fresh memory is no longer zero by chance
    for (auto [cw, ch] : {std::pair{320, 240}, {640, 240}, {160, 480}}) {
        TestCameras cameras({{cw, ch}});
        ofVideoGrabber grabber;
        grabber.setUseTexture(false);
        ASSERT_TRUE(grabber.initGrabber(320, 240));
        auto picture = [&grabber] { return Bytes(grabber.getPixels(), grabber.getPixels() + 320 * 240 * 3); };
        EXPECT_EQ(Bytes(320 * 240 * 3, 0), picture()) << "black until the first frame";
        Bytes shown(cw * ch * 3);
        std::iota(shown.begin(), shown.end(), 0);   // counting bytes: neighbours and channels differ
        cameras.camera()->deliverPicture(shown);
        cv::Mat expected;                           // each pixel the top-left camera pixel of its cell
        cv::resize(cv::Mat(ch, cw, CV_8UC3, shown.data()), expected, {320, 240}, 0, 0, cv::INTER_NEAREST);
        for (bool isNew : {true, false}) {          // a second grab within one camera frame changes nothing
            grabber.grabFrame();
            EXPECT_EQ(isNew, grabber.isFrameNew());
            EXPECT_EQ(Bytes(expected.datastart, expected.dataend), picture()) << cw << " by " << ch;
        }
    }
    mallopt(M_PERTURB, 0);
}

using ofVideoGrabberTest = GlTest;

// A recording not yet written cannot stand in for the camera; once written and named in the
// environment it does: two frames, top half red, bottom half grey 40 + 50 i in frame i. No assertion
// may end the test while the environment names a recording.
TEST_F(ofVideoGrabberTest, RefusalsPrintWhyAndARecordingNamedInTheEnvironmentPlaysUprightAndLoops) {
    ScratchFolder scratch("grabber_test");
    std::string path = scratch.file("clip.avi");
    ofVideoGrabber refused;
    overrideCameras({replayCamera(path)});
    testing::internal::CaptureStdout();
    EXPECT_FALSE(refused.initGrabber(160, 120));
    refused.setDeviceID(1);
    EXPECT_FALSE(refused.initGrabber(160, 120));
    restoreCameras();
    EXPECT_EQ("SETUP: Setting up device 0\nSETUP: the replay camera cannot open the recording " + path + "\n"
              "SETUP: device 0 could not be set up\n" + advice +
              "choosing 1  \nSETUP: device[1] not found - you have 1 devices available\n"
              "SETUP: this means that the last device you can use is device[0] \n" + advice,
              testing::internal::GetCapturedStdout());

    cv::VideoWriter clip(path, cv::VideoWriter::fourcc('F', 'F', 'V', '1'), 30, {320, 240});     // lossless
    for (int i = 0; i < 2; i++) {
        cv::Mat frame(240, 320, CV_8UC3, cv::Scalar::all(40 + 50 * i));
        frame(cv::Rect(0, 0, 320, 120)) = cv::Scalar(0, 0, 255);        // blue, green, red in OpenCV
        clip.write(frame);
    }
    clip.release();
    setenv("STOMPATHON_CAMERA", path.c_str(), 1);
    ofVideoGrabber grabber;
    EXPECT_TRUE(grabber.initGrabber(320, 240));
    EXPECT_TRUE(waitForFrame(grabber));
    grabber.draw(0, 0);
    EXPECT_EQ(320 * 120, countPixels({255, 0, 0}, {0, 0, 319, 119})) << "red is the top half";
    // The grey of the last pixel tells the frame: frame 0 must follow frame 1.
    std::string frames;
    for (int i = 0; i < 20 && waitForFrame(grabber); i++) {
        frames += std::to_string((grabber.getPixels()[320 * 240 * 3 - 1] - 40) / 50);
    }
    EXPECT_NE(std::string::npos, frames.find("10")) << frames;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(grabber.initGrabber(320, 240));
    EXPECT_EQ("SETUP: device[0] is already set up - stop it first\n" + advice,
              testing::internal::GetCapturedStdout());
    grabber.close();
    EXPECT_TRUE(grabber.initGrabber(320, 240)) << "closing frees the camera";
    unsetenv("STOMPATHON_CAMERA");
}
