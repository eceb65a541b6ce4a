#include "glTestWindow.h"
#include "scratchFolder.h"

#include "ofGraphics.h"
#include "ofVideoGrabber.h"
#include "videoSource.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

static const Rgb red{255, 0, 0};
static const Rgb green{0, 255, 0};
static const Rgb blue{0, 0, 255};
static const Rgb black{0, 0, 0};
static const Rgb white{255, 255, 255};

// Frame i of a recording: red top-left, green top-right, blue bottom-left, and a
// grey bottom-right quarter whose level tells the frame number.
static int levelOfFrame(int i) {
    return 40 + 50 * i;
}

static cv::Mat recordingFrame(int w, int h, int i) {
    cv::Mat frame(h, w, CV_8UC3);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            bool top = y < h / 2, left = x < w / 2;
            int level = levelOfFrame(i);
            cv::Vec3b bgr = top ? (left ? cv::Vec3b(0, 0, 255) : cv::Vec3b(0, 255, 0))
                                : (left ? cv::Vec3b(255, 0, 0) : cv::Vec3b(level, level, level));
            frame.at<cv::Vec3b>(y, x) = bgr;
        }
    }
    return frame;
}

static Rgb grabberPixel(ofVideoGrabber& grabber, int x, int y) {
    unsigned char* p = grabber.getPixels() + (y * grabber.width + x) * 3;
    return Rgb{p[0], p[1], p[2]};
}

static bool near(Rgb a, Rgb b) {
    return std::abs(a.r - b.r) < 40 && std::abs(a.g - b.g) < 40 && std::abs(a.b - b.b) < 40;
}

// Polls the grabber as the game does until a frame arrives; false after 3 s.
static bool waitForFrame(ofVideoGrabber& grabber) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < end) {
        grabber.grabFrame();
        if (grabber.isFrameNew()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

// Standard output into a file that the test can read while it is being written.
class stdoutToFile {
public:
    explicit stdoutToFile(const fs::path& file) : path(file) {
        std::fflush(stdout);
        saved = dup(STDOUT_FILENO);
        int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDOUT_FILENO);
        ::close(fd);
    }
    ~stdoutToFile() {
        std::fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        ::close(saved);
    }
    bool waitFor(const std::string& text) {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (std::chrono::steady_clock::now() < end) {
            std::ifstream in(path);
            std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (all.find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

private:
    fs::path path;
    int saved;
};

// Recordings are made fresh in a temporary folder by each test.
class ofVideoGrabberTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        setenv("STOMPATHON_CAMERA_FPS", "60", 1);
        overrideCameras({});
    }
    void TearDown() override {
        restoreCameras();
        unsetenv("STOMPATHON_CAMERA");
        unsetenv("STOMPATHON_CAMERA_FPS");
        GlTest::TearDown();
    }

    std::string pngSequence(int w, int h, int frames) {
        for (int i = 0; i < frames; i++) {
            char name[32];
            std::snprintf(name, sizeof name, "seq_%03d.png", i);
            cv::imwrite((folder / name).string(), recordingFrame(w, h, i));
        }
        return (folder / "seq_%03d.png").string();
    }

    std::string mjpegClip(int w, int h, int frames) {
        std::string path = (folder / "clip.avi").string();
        cv::VideoWriter writer(path, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 30, cv::Size(w, h));
        for (int i = 0; i < frames; i++) writer.write(recordingFrame(w, h, i));
        return path;
    }

    ScratchFolder scratch{"grabber_test"};
    fs::path folder = scratch.path();
};

// ---- The replay camera through the grabber -------------------------------------------

TEST_F(ofVideoGrabberTest, ReplayFramesAreUprightRgbAfterABlackFirstPicture) {
    overrideCameras({replayCamera(pngSequence(160, 120, 2))});
    ofVideoGrabber grabber;
    ASSERT_TRUE(grabber.initGrabber(320, 240));

    ofSetColor(255, 255, 255);
    ofRect(0, 0, 640, 480);
    grabber.draw(0, 0);
    EXPECT_EQ(black, pixelAt(10, 10)) << "black until the first frame";
    EXPECT_EQ(black, pixelAt(319, 239));
    EXPECT_EQ(white, pixelAt(330, 10));
    EXPECT_EQ(black, grabberPixel(grabber, 0, 0));

    ASSERT_TRUE(waitForFrame(grabber));
    EXPECT_EQ(red, grabberPixel(grabber, 0, 0));
    EXPECT_EQ(red, grabberPixel(grabber, 159, 119));
    EXPECT_EQ(green, grabberPixel(grabber, 160, 0));
    EXPECT_EQ(green, grabberPixel(grabber, 319, 119));
    EXPECT_EQ(blue, grabberPixel(grabber, 0, 120));
    EXPECT_EQ(blue, grabberPixel(grabber, 159, 239));

    clearFrame();
    grabber.draw(0, 0);
    EXPECT_EQ(red, pixelAt(10, 10));
    EXPECT_EQ(green, pixelAt(310, 10));
    EXPECT_EQ(blue, pixelAt(10, 230));
    EXPECT_EQ(black, pixelAt(330, 10));
}

TEST_F(ofVideoGrabberTest, ReplayLoopsAtTheEnd) {
    setenv("STOMPATHON_CAMERA_FPS", "50", 1);
    overrideCameras({replayCamera(pngSequence(32, 24, 4))});
    ofVideoGrabber grabber;
    grabber.setUseTexture(false);
    ASSERT_TRUE(grabber.initGrabber(32, 24));

    std::vector<int> frames;
    bool wrapped = false;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    while (!wrapped && std::chrono::steady_clock::now() < end) {
        if (!waitForFrame(grabber)) break;
        int frame = (grabberPixel(grabber, 31, 23).r - 40 + 25) / 50;
        wrapped = !frames.empty() && frame < frames.back() && std::set<int>(frames.begin(), frames.end()).size() == 4;
        frames.push_back(frame);
    }
    EXPECT_TRUE(wrapped) << "the first frame did not come again after the last";
}

TEST_F(ofVideoGrabberTest, EnvironmentNamesAClipThatComesFirst) {
    setenv("STOMPATHON_CAMERA", mjpegClip(320, 240, 3).c_str(), 1);
    restoreCameras();
    ofVideoGrabber grabber;
    testing::internal::CaptureStdout();
    grabber.listDevices();
    bool opened = grabber.initGrabber(320, 240);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, out.find("SETUP: Looking For Capture Devices\nSETUP: 0) clip.avi \n"));
    EXPECT_EQ(std::string::npos, out.find("not supported")) << "the clip is already 320 by 240";
    ASSERT_TRUE(opened);
    ASSERT_TRUE(waitForFrame(grabber));
    EXPECT_TRUE(near(red, grabberPixel(grabber, 20, 20)));
    EXPECT_TRUE(near(green, grabberPixel(grabber, 300, 20)));
    EXPECT_TRUE(near(blue, grabberPixel(grabber, 20, 220)));
}

TEST_F(ofVideoGrabberTest, CameraThatStopsLeavesTheLastPictureAndNeverHangs) {
    overrideCameras({replayCamera(pngSequence(32, 24, 2))});
    ofVideoGrabber grabber;
    grabber.setUseTexture(false);
    ASSERT_TRUE(grabber.initGrabber(32, 24));
    ASSERT_TRUE(waitForFrame(grabber));
    {
        stdoutToFile console(folder / "console.txt");
        fs::remove(folder / "seq_000.png");
        fs::remove(folder / "seq_001.png");
        EXPECT_TRUE(console.waitFor("stopped delivering frames"));
    }
    grabber.grabFrame();                            // takes a last frame if one was pending
    Bytes last(grabber.getPixels(), grabber.getPixels() + 32 * 24 * 3);
    auto before = std::chrono::steady_clock::now();
    grabber.grabFrame();
    EXPECT_FALSE(grabber.isFrameNew());
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
    EXPECT_EQ(red, grabberPixel(grabber, 0, 0));
    EXPECT_EQ(last, Bytes(grabber.getPixels(), grabber.getPixels() + 32 * 24 * 3));
    grabber.close();
}

// ---- Failing to open -----------------------------------------------------------------

TEST_F(ofVideoGrabberTest, MissingRecordingFailsNamingTheFile) {
    overrideCameras({replayCamera("/nonexistent/clip.avi")});
    ofVideoGrabber grabber;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(grabber.initGrabber(320, 240));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, out.find("/nonexistent/clip.avi"));
    EXPECT_NE(std::string::npos,
              out.find("error allocating a video device  \nplease check your camera with AMCAP or other software\n"));
    EXPECT_EQ(nullptr, grabber.getPixels());
}

TEST_F(ofVideoGrabberTest, ChoosingAMissingDevicePrintsTheNotFoundLines) {
    overrideCameras({replayCamera(pngSequence(32, 24, 1))});
    ofVideoGrabber grabber;
    grabber.setDeviceID(1);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(grabber.initGrabber(320, 240));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, out.find("choosing 1  \n"));
    EXPECT_NE(std::string::npos, out.find("SETUP: device[1] not found - you have 1 devices available\n"
                                          "SETUP: this means that the last device you can use is device[0] \n"));
    EXPECT_EQ(nullptr, grabber.getPixels());
    grabber.grabFrame();
    EXPECT_FALSE(grabber.isFrameNew());
}

TEST_F(ofVideoGrabberTest, NoCameraAtAllDrawsWithoutCrashing) {
    ofVideoGrabber grabber;
    EXPECT_FALSE(grabber.initGrabber(320, 240));
    EXPECT_EQ(nullptr, grabber.getPixels());
    grabber.grabFrame();
    grabber.draw(0, 0);
    grabber.draw(10, 10, 100, 100);
    EXPECT_EQ(320, grabber.width) << "the requested size is kept";
}

// ---- Opening twice and closing ---------------------------------------------------------

TEST_F(ofVideoGrabberTest, SecondInitFailsAndCloseFreesTheCameraForReopening) {
    overrideCameras({replayCamera(pngSequence(32, 24, 2))});
    ofVideoGrabber grabber;
    ASSERT_TRUE(grabber.initGrabber(320, 240));
    testing::internal::CaptureStdout();
    EXPECT_FALSE(grabber.initGrabber(320, 240));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, out.find("error allocating a video device"));

    grabber.close();
    grabber.close();
    EXPECT_EQ(nullptr, grabber.getPixels());
    ASSERT_TRUE(grabber.initGrabber(320, 240)) << "close released the slot";
    EXPECT_TRUE(waitForFrame(grabber));
    grabber.close();
}
