#include "ofVideoGrabber.h"
#include "videoSource.h"
#include "v4l2Formats.h"

#include <gtest/gtest.h>
#include <libv4lconvert.h>
#include <libv4l-plugin.h>
#include <linux/videodev2.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

using Bytes = std::vector<unsigned char>;

// A camera driven by the test: frames are handed over when the test says so,
// from the test's own thread, through the same callback the real sources use.
class testSource : public VideoSource {
public:
    testSource(int w, int h) : width(w), height(h) {}
    int getWidth() const override { return width; }
    int getHeight() const override { return height; }
    void start(SampleGrabberCallback* cb) override { callback = cb; }
    void showSettings() override {}

    void deliver(const Bytes& frame) { callback->SampleCB(0, frame.data(), static_cast<long>(frame.size())); }

    int width, height;
    SampleGrabberCallback* callback = nullptr;
};

// The device's picture as the hand-off carries it: rows bottom-up, bytes B, G, R.
// The picture itself is given top-down R, G, B.
static Bytes handOffLayout(const Bytes& picture, int w, int h) {
    Bytes frame(picture.size());
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            const unsigned char* from = &picture[(y * w + x) * 3];
            unsigned char* to = &frame[((h - 1 - y) * w + x) * 3];
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }
    return frame;
}

// A top-down RGB picture in which every pixel differs: (x, y) is (x, y, x + 7y).
static Bytes distinctPicture(int w, int h) {
    Bytes picture(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            unsigned char* p = &picture[(y * w + x) * 3];
            p[0] = static_cast<unsigned char>(x);
            p[1] = static_cast<unsigned char>(y);
            p[2] = static_cast<unsigned char>(x + 7 * y);
        }
    }
    return picture;
}

static Bytes flatFrame(int w, int h, unsigned char value) {
    return Bytes(static_cast<size_t>(w) * h * 3, value);
}

// Every test sees only the cameras it installs.
class videoInputTest : public ::testing::Test {
protected:
    void SetUp() override { overrideCameras({}); }
    void TearDown() override { restoreCameras(); }

    // Installs test cameras of these sizes; sources[i] is set when camera i opens.
    void installCameras(std::vector<std::pair<int, int>> sizes) {
        sources.assign(sizes.size(), nullptr);
        std::vector<CameraEntry> cameras;
        for (size_t i = 0; i < sizes.size(); i++) {
            auto size = sizes[i];
            cameras.push_back({"test camera " + std::to_string(i), [this, i, size](int, int) {
                                   auto source = std::make_unique<testSource>(size.first, size.second);
                                   sources[i] = source.get();
                                   return std::unique_ptr<VideoSource>(std::move(source));
                               }});
        }
        overrideCameras(cameras);
    }

    std::vector<testSource*> sources;
};

// ---- The hand-off ------------------------------------------------------------------

TEST_F(videoInputTest, HandOffKeepsOnePendingFrameAndDropsTheRest) {
    installCameras({{2, 2}});
    videoInput capture;
    ASSERT_TRUE(capture.setupDevice(0, 2, 2));
    EXPECT_FALSE(capture.isFrameNew(0));

    sources[0]->deliver(flatFrame(2, 2, 10));
    sources[0]->deliver(flatFrame(2, 2, 20));       // arrives while 10 is untaken
    EXPECT_TRUE(capture.isFrameNew(0));
    EXPECT_TRUE(capture.isFrameNew(0)) << "only the consumer clears newFrame";
    unsigned char* pixels = capture.getPixels(0, false, false);
    EXPECT_EQ(flatFrame(2, 2, 10), Bytes(pixels, pixels + 12));
    EXPECT_FALSE(capture.isFrameNew(0));

    sources[0]->deliver(flatFrame(2, 2, 30));       // taken frame: room for the next
    pixels = capture.getPixels(0, false, false);
    EXPECT_EQ(flatFrame(2, 2, 30), Bytes(pixels, pixels + 12));
}

TEST_F(videoInputTest, WrongLengthFrameIsDroppedWithOneLine) {
    installCameras({{2, 2}});
    videoInput capture;
    ASSERT_TRUE(capture.setupDevice(0, 2, 2));
    sources[0]->deliver(flatFrame(2, 2, 10));
    capture.getPixels(0, false, false);

    testing::internal::CaptureStdout();
    sources[0]->deliver(Bytes(11, 99));
    sources[0]->deliver(Bytes(13, 99));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ("ERROR: SampleCB() - buffer sizes do not match\nERROR: SampleCB() - buffer sizes do not match\n", out);
    EXPECT_FALSE(capture.isFrameNew(0));

    // Nothing pending, so the wait runs out and the previous frame stays.
    auto before = std::chrono::steady_clock::now();
    unsigned char* pixels = capture.getPixels(0, false, false);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(3));
    EXPECT_EQ(flatFrame(2, 2, 10), Bytes(pixels, pixels + 12));
}

TEST_F(videoInputTest, FramesFromAnotherThreadArriveWhole) {
    installCameras({{16, 16}});
    videoInput capture;
    ASSERT_TRUE(capture.setupDevice(0, 16, 16));
    std::atomic<bool> done{false};
    std::thread camera([&] {
        for (int i = 0; !done; i = (i + 1) % 250) {
            sources[0]->deliver(flatFrame(16, 16, static_cast<unsigned char>(i)));
        }
    });
    int taken = 0;
    for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
         taken < 300 && std::chrono::steady_clock::now() < end;) {
        if (!capture.isFrameNew(0)) continue;
        unsigned char* pixels = capture.getPixels(0, false, false);
        Bytes frame(pixels, pixels + 16 * 16 * 3);
        ASSERT_EQ(flatFrame(16, 16, frame[0]), frame) << "a frame was overwritten while being taken";
        taken++;
    }
    done = true;
    camera.join();
    EXPECT_GT(taken, 0);
}

// ---- processPixels ---------------------------------------------------------------------

TEST(videoInputPixels, ProcessPixelsFourWays) {
    // Two rows of two pixels: a b / c d, all bytes distinct.
    Bytes src = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    Bytes dst(12);
    videoInput::processPixels(src.data(), dst.data(), 2, 2, false, false);
    EXPECT_EQ(src, dst);
    videoInput::processPixels(src.data(), dst.data(), 2, 2, false, true);
    EXPECT_EQ((Bytes{7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6}), dst);
    videoInput::processPixels(src.data(), dst.data(), 2, 2, true, false);
    EXPECT_EQ((Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}), dst);
    videoInput::processPixels(src.data(), dst.data(), 2, 2, true, true);
    EXPECT_EQ((Bytes{9, 8, 7, 12, 11, 10, 3, 2, 1, 6, 5, 4}), dst);
}

// ---- The grabber on a test camera (no texture, so no window) ----------------------------

class grabberOnTestCamera : public videoInputTest {
protected:
    // Opens a grabber at 320 by 240 on a camera of w by h showing distinctPicture.
    void openAndGrab(ofVideoGrabber& grabber, int w, int h) {
        installCameras({{w, h}});
        grabber.setUseTexture(false);
        ASSERT_TRUE(grabber.initGrabber(320, 240));
        EXPECT_EQ(320, grabber.width);
        EXPECT_EQ(240, grabber.height);
        sources[0]->deliver(handOffLayout(distinctPicture(w, h), w, h));
        grabber.grabFrame();
        ASSERT_TRUE(grabber.isFrameNew());
    }
    static Bytes pixelAt(ofVideoGrabber& grabber, int x, int y) {
        unsigned char* p = grabber.getPixels() + (y * grabber.width + x) * 3;
        return Bytes(p, p + 3);
    }
    static Bytes pictureAt(int w, int x, int y) {
        Bytes picture = distinctPicture(w, 1 + y);
        return Bytes(&picture[(y * w + x) * 3], &picture[(y * w + x) * 3] + 3);
    }
};

TEST_F(grabberOnTestCamera, ExactSizeIsCopiedUprightInRgbOrder) {
    ofVideoGrabber grabber;
    openAndGrab(grabber, 320, 240);
    Bytes expected = distinctPicture(320, 240);
    EXPECT_EQ(expected, Bytes(grabber.getPixels(), grabber.getPixels() + expected.size()));
}

TEST_F(grabberOnTestCamera, LargerCameraIsSampledAtEveryOtherPixel) {
    ofVideoGrabber grabber;
    openAndGrab(grabber, 640, 480);
    for (auto [x, y] : {std::pair{0, 0}, {1, 0}, {0, 1}, {37, 101}, {319, 239}, {319, 0}, {0, 239}}) {
        EXPECT_EQ(pictureAt(640, 2 * x, 2 * y), pixelAt(grabber, x, y)) << x << ", " << y;
    }
}

TEST_F(grabberOnTestCamera, SmallerCameraFillsTwoByTwoBlocks) {
    ofVideoGrabber grabber;
    openAndGrab(grabber, 160, 120);
    for (auto [x, y] : {std::pair{0, 0}, {1, 1}, {2, 0}, {3, 3}, {101, 57}, {319, 239}}) {
        EXPECT_EQ(pictureAt(160, x / 2, y / 2), pixelAt(grabber, x, y)) << x << ", " << y;
    }
}

TEST_F(grabberOnTestCamera, SecondGrabWithinOneFrameChangesNothing) {
    ofVideoGrabber grabber;
    openAndGrab(grabber, 320, 240);
    Bytes first(grabber.getPixels(), grabber.getPixels() + 320 * 240 * 3);
    sources[0]->deliver(flatFrame(320, 240, 5));     // the next camera frame
    grabber.grabFrame();
    ASSERT_TRUE(grabber.isFrameNew());
    Bytes second(grabber.getPixels(), grabber.getPixels() + 320 * 240 * 3);
    EXPECT_EQ(flatFrame(320, 240, 5), second);

    grabber.grabFrame();                             // no new frame since
    EXPECT_FALSE(grabber.isFrameNew());
    EXPECT_EQ(second, Bytes(grabber.getPixels(), grabber.getPixels() + 320 * 240 * 3));
    EXPECT_NE(first, second);
}

// ---- Opening and refusing ---------------------------------------------------------------

TEST_F(videoInputTest, SetupRefusesBadIndexOpenSlotAndMissingCamera) {
    installCameras({{4, 4}});
    videoInput capture;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(capture.setupDevice(20, 4, 4));
    EXPECT_FALSE(capture.setupDevice(-1, 4, 4));
    EXPECT_FALSE(capture.setupDevice(1, 4, 4));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, out.find("SETUP: device[1] not found - you have 1 devices available\n"
                                          "SETUP: this means that the last device you can use is device[0] \n"));
    EXPECT_EQ(0, capture.getWidth(1));

    ASSERT_TRUE(capture.setupDevice(0, 4, 4));
    EXPECT_FALSE(capture.setupDevice(0, 4, 4));
    EXPECT_EQ(4, capture.getWidth(0));
    capture.stopDevice(0);
    capture.stopDevice(0);
    EXPECT_EQ(0, capture.getWidth(0));
    EXPECT_EQ(nullptr, capture.getPixels(0, true, true));
    EXPECT_TRUE(capture.setupDevice(0, 4, 4)) << "a stopped slot opens again";
}

TEST_F(videoInputTest, ListingFramesNamesBetweenDashLines) {
    installCameras({{4, 4}, {4, 4}});
    ofVideoGrabber grabber;
    testing::internal::CaptureStdout();
    grabber.listDevices();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ("---\n\nVIDEOINPUT SPY MODE!\n\nSETUP: Looking For Capture Devices\n"
              "SETUP: 0) test camera 0 \nSETUP: 1) test camera 1 \nSETUP: 2 Device(s) found\n\n---\n",
              out);

    overrideCameras({});
    testing::internal::CaptureStdout();
    grabber.listDevices();
    out = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, out.find("SETUP: 0 Device(s) found\n\n---\n"));
    EXPECT_EQ(0u, out.find("---\n"));
}

// ---- V4L2 bookkeeping, without a camera ------------------------------------------------

TEST(v4l2Sizes, ClosestSizeFromDiscreteAndStepwiseLists) {
    std::vector<FrameSizeRange> discrete = {
        {640, 640, 0, 480, 480, 0}, {352, 352, 0, 288, 288, 0}, {160, 160, 0, 120, 120, 0}};
    EXPECT_EQ(352, closestFrameSize(discrete, 320, 240).width);
    EXPECT_EQ(288, closestFrameSize(discrete, 320, 240).height);
    EXPECT_EQ(640, closestFrameSize(discrete, 1920, 1080).width);
    EXPECT_EQ(160, closestFrameSize(discrete, 1, 1).width);

    std::vector<FrameSizeRange> stepwise = {{48, 1280, 16, 32, 720, 8}};
    FrameSize inside = closestFrameSize(stepwise, 330, 245);
    EXPECT_EQ(336, inside.width);                   // 48 + 18 * 16; 320 is farther
    EXPECT_EQ(248, inside.height);
    FrameSize clamped = closestFrameSize(stepwise, 4000, 10);
    EXPECT_EQ(1280, clamped.width);
    EXPECT_EQ(32, clamped.height);

    EXPECT_EQ(0, closestFrameSize({}, 320, 240).width);
}

TEST(v4l2Sizes, RowsArePackedBottomUp) {
    // Two rows of one pixel each with two bytes of driver padding after each row.
    Bytes driver = {1, 2, 3, 0, 0, 4, 5, 6, 0, 0};
    Bytes packed(6);
    packRowsBottomUp(driver.data(), 5, 1, 2, packed.data());
    EXPECT_EQ((Bytes{4, 5, 6, 1, 2, 3}), packed);
    EXPECT_EQ("YUYV", fourccName(V4L2_PIX_FMT_YUYV));
    EXPECT_EQ("MJPG", fourccName(V4L2_PIX_FMT_MJPEG));
}

// A pretend camera offering YUYV at 640x480 and 160x120 and MJPEG at 1280x720,
// answering only the queries the conversion library makes.
static int stubIoctl(void*, int, unsigned long request, void* arg) {
    struct offer {
        uint32_t format, width, height;
    };
    static const offer offers[] = {{V4L2_PIX_FMT_YUYV, 640, 480}, {V4L2_PIX_FMT_YUYV, 160, 120},
                                   {V4L2_PIX_FMT_MJPEG, 1280, 720}};
    static const uint32_t formats[] = {V4L2_PIX_FMT_YUYV, V4L2_PIX_FMT_MJPEG};
    switch (request) {
    case VIDIOC_QUERYCAP: {
        auto* caps = static_cast<v4l2_capability*>(arg);
        std::memset(caps, 0, sizeof *caps);
        std::strcpy(reinterpret_cast<char*>(caps->driver), "stub");
        std::strcpy(reinterpret_cast<char*>(caps->card), "stub camera");
        caps->capabilities = caps->device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
        return 0;
    }
    case VIDIOC_ENUM_FMT: {
        auto* desc = static_cast<v4l2_fmtdesc*>(arg);
        if (desc->index >= 2) break;
        desc->pixelformat = formats[desc->index];
        desc->flags = desc->pixelformat == V4L2_PIX_FMT_MJPEG ? V4L2_FMT_FLAG_COMPRESSED : 0;
        return 0;
    }
    case VIDIOC_ENUM_FRAMESIZES: {
        auto* size = static_cast<v4l2_frmsizeenum*>(arg);
        uint32_t seen = 0;
        for (const offer& o : offers) {
            if (o.format != size->pixel_format || seen++ != size->index) continue;
            size->type = V4L2_FRMSIZE_TYPE_DISCRETE;
            size->discrete = {o.width, o.height};
            return 0;
        }
        break;
    }
    case VIDIOC_TRY_FMT: {
        auto* format = static_cast<v4l2_format*>(arg);
        for (const offer& o : offers) {
            if (o.format == format->fmt.pix.pixelformat && o.width == format->fmt.pix.width &&
                o.height == format->fmt.pix.height) {
                format->fmt.pix.bytesperline = o.format == V4L2_PIX_FMT_YUYV ? o.width * 2 : 0;
                return 0;
            }
        }
        break;
    }
    default:
        break;
    }
    errno = EINVAL;
    return -1;
}

TEST(v4l2Sizes, ConvertedSizesAndNativeFormatOfAStubCamera) {
    libv4l_dev_ops ops{};
    ops.ioctl = stubIoctl;
    v4lconvert_data* convert = v4lconvert_create_with_dev_ops(-1, nullptr, &ops);
    ASSERT_NE(nullptr, convert);
    std::vector<FrameSizeRange> sizes = offeredFrameSizes(convert);
    ASSERT_EQ(3u, sizes.size());
    FrameSize chosen = closestFrameSize(sizes, 320, 240);
    EXPECT_EQ(160, chosen.width) << "160x120 is closer to 320x240 than 640x480";
    EXPECT_EQ("YUYV", fourccName(nativeFormatFor(convert, 640, 480)));
    EXPECT_EQ("MJPG", fourccName(nativeFormatFor(convert, 1280, 720)));
    v4lconvert_destroy(convert);
}
