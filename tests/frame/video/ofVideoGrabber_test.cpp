#include "glTestWindow.h"
#include "scratchFolder.h"
#include "testCamera.h"

#include "ofVideoGrabber.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

#include <chrono>
#include <filesystem>
#include <malloc.h>
#include <numeric>
#include <thread>

using Bytes = std::vector<unsigned char>;

static const std::string advice =
    "error allocating a video device  \nplease check your camera with AMCAP or other software\n";

static Bytes picture(ofVideoGrabber& grabber) {
    return Bytes(grabber.getPixels(), grabber.getPixels() + grabber.width * grabber.height * 3);
}

// Polls the grabber as the game does, 2 ms apart; false when no frame came.
static bool waitForFrame(ofVideoGrabber& grabber, int polls = 1500) {
    for (int i = 0; i < polls; i++) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        grabber.grabFrame();
        if (grabber.isFrameNew()) return true;
    }
    return false;
}

// Grabber pixel (x, y) is camera pixel (x * cw / 320, y * ch / 240): the top-left of its cell.
TEST(ofVideoGrabber, PictureIsBlackUntilTheFirstFrameThenTheCameraUprightInRgb) {
    mallopt(M_PERTURB, 0x55);                       // fresh memory is no longer zero by chance
    for (auto [cw, ch] : {std::pair{320, 240}, {640, 240}, {160, 480}}) {
        TestCameras cameras({{cw, ch}});
        ofVideoGrabber grabber;
        grabber.setUseTexture(false);
        ASSERT_TRUE(grabber.initGrabber(320, 240));
        EXPECT_EQ(Bytes(320 * 240 * 3, 0), picture(grabber)) << "black until the first frame";
        Bytes shown(cw * ch * 3);
        std::iota(shown.begin(), shown.end(), 0);   // counting bytes: neighbours and channels differ
        cameras.camera()->deliverPicture(shown);
        Bytes expected;
        for (int y = 0; y < 240; y++) {
            for (int x = 0; x < 320; x++) {
                auto from = shown.begin() + ((y * ch / 240) * cw + x * cw / 320) * 3;
                expected.insert(expected.end(), from, from + 3);
            }
        }
        for (bool isNew : {true, false}) {          // a second grab within one camera frame changes nothing
            grabber.grabFrame();
            EXPECT_EQ(isNew, grabber.isFrameNew());
            EXPECT_EQ(expected, picture(grabber)) << "camera " << cw << " by " << ch;
        }
    }
    mallopt(M_PERTURB, 0);
}

class ofVideoGrabberTest : public GlTest {
protected:
    void TearDown() override {
        restoreCameras();
        unsetenv("STOMPATHON_CAMERA");
        GlTest::TearDown();
    }

    // The same recording as clip.avi (lossless) and as seq_%d.png: the top
    // half red, the bottom half grey of level 40 + 50 i in frame i.
    void record(int w, int h, int frames) {
        cv::VideoWriter clip(scratch.file("clip.avi"), cv::VideoWriter::fourcc('F', 'F', 'V', '1'), 30, {w, h});
        for (int i = 0; i < frames; i++) {
            cv::Mat frame(h, w, CV_8UC3, cv::Scalar::all(40 + 50 * i));
            frame(cv::Rect(0, 0, w, h / 2)) = cv::Scalar(0, 0, 255);        // blue, green, red in OpenCV
            clip.write(frame);
            cv::imwrite(scratch.file("seq_" + std::to_string(i) + ".png"), frame);
        }
    }

    ScratchFolder scratch{"grabber_test"};
};

TEST_F(ofVideoGrabberTest, ListingBetweenDashLinesAndFailingToOpenWithoutAPicture) {
    const std::string notFound = " devices available\nSETUP: this means that the last device you can use is device[";
    const std::string outOfRange = "] is out of range - devices are numbered 0 to 19\n";
    ofVideoGrabber grabber;
    overrideCameras({});
    testing::internal::CaptureStdout();
    grabber.listDevices();
    EXPECT_FALSE(grabber.initGrabber(160, 120));
    overrideCameras({replayCamera("/nonexistent/clip.avi")});
    EXPECT_FALSE(grabber.initGrabber(160, 120));
    for (int device : {1, 20, -1}) {
        grabber.setDeviceID(device);
        EXPECT_FALSE(grabber.initGrabber(160, 120));
    }
    EXPECT_EQ("---\n\nVIDEOINPUT SPY MODE!\n\nSETUP: Looking For Capture Devices\nSETUP: 0 Device(s) found\n\n---\n"
              "SETUP: device[0] not found - you have 0" + notFound + "-1] \n" + advice +
              "SETUP: Setting up device 0\n"
              "SETUP: the replay camera cannot open the recording /nonexistent/clip.avi\n"
              "SETUP: device 0 could not be set up\n" + advice +
              "choosing 1  \nSETUP: device[1] not found - you have 1" + notFound + "0] \n" + advice +
              "choosing 20  \nSETUP: device[20" + outOfRange + advice +
              "choosing -1  \nSETUP: device[-1" + outOfRange + advice,
              testing::internal::GetCapturedStdout());
    EXPECT_EQ(nullptr, grabber.getPixels());
    EXPECT_EQ(std::make_pair(160, 120), std::make_pair(grabber.width, grabber.height)) << "the requested size";
    grabber.draw(0, 0);
}

TEST_F(ofVideoGrabberTest, ReplayCameraNamedInTheEnvironmentPlaysUprightInRgbLoopsAndStops) {
    record(320, 240, 2);
    setenv("STOMPATHON_CAMERA", scratch.file("clip.avi").c_str(), 1);
    ofVideoGrabber grabber;
    testing::internal::CaptureStdout();
    grabber.listDevices();
    EXPECT_TRUE(grabber.initGrabber(320, 240));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, out.find("Capture Devices\nSETUP: 0) clip.avi \n"));
    EXPECT_EQ(std::string::npos, out.find("not supported")) << "the clip is 320 by 240";
    ASSERT_TRUE(waitForFrame(grabber));
    grabber.draw(0, 0);
    EXPECT_EQ(320 * 120, countPixels({255, 0, 0}, {0, 0, 319, 119}));
    EXPECT_EQ(320 * 120, countPixels({255, 0, 0})) << "red is the top half and nothing else";
    // The grey of the last pixel tells the frame: frame 0 must follow frame 1.
    std::string frames;
    for (int i = 0; i < 20 && waitForFrame(grabber); i++) {
        frames += std::to_string((grabber.getPixels()[320 * 240 * 3 - 1] - 40) / 50);
    }
    EXPECT_NE(std::string::npos, frames.find("10")) << frames;

    // A second opening fails; closing frees device 0 for the image sequence.
    testing::internal::CaptureStdout();
    EXPECT_FALSE(grabber.initGrabber(320, 240));
    EXPECT_EQ("SETUP: device[0] is already set up - stop it first\n" + advice, testing::internal::GetCapturedStdout());
    grabber.close();
    EXPECT_EQ(nullptr, grabber.getPixels());
    overrideCameras({replayCamera(scratch.file("seq_%d.png"))});
    ASSERT_TRUE(grabber.initGrabber(320, 240));
    ASSERT_TRUE(waitForFrame(grabber));
    testing::internal::CaptureStdout();
    std::filesystem::remove_all(scratch.path());
    for (int i = 0; i < 100 && waitForFrame(grabber, 100); i++) {
    }
    out = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, out.find("VIDEOINPUT: the recording " + scratch.file("seq_%d.png") +
                                          " stopped delivering frames - replay ended\n"));
    EXPECT_FALSE(waitForFrame(grabber, 100)) << "the camera has stopped; the last picture stays";
}
