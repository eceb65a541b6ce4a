#include "v4l2Formats.h"

#include <gtest/gtest.h>
#include <libv4l-plugin.h>
#include <libv4lconvert.h>
#include <linux/videodev2.h>

#include <cerrno>

using Bytes = std::vector<unsigned char>;

static std::pair<int, int> closest(const std::vector<FrameSizeRange>& offered, int w, int h) {
    FrameSize size = closestFrameSize(offered, w, h);
    return {size.width, size.height};
}

// A pretend camera sending YUYV at 640 by 480 or 160 by 120.
static int stubIoctl(void*, int, unsigned long request, void* arg) {
    auto* format = static_cast<v4l2_fmtdesc*>(arg);
    auto* size = static_cast<v4l2_frmsizeenum*>(arg);
    if (request == VIDIOC_ENUM_FMT && format->index == 0) {
        format->pixelformat = V4L2_PIX_FMT_YUYV;
        return 0;
    }
    if (request == VIDIOC_ENUM_FRAMESIZES && size->pixel_format == V4L2_PIX_FMT_YUYV && size->index < 2) {
        size->type = V4L2_FRMSIZE_TYPE_DISCRETE;
        size->discrete = size->index == 0 ? v4l2_frmsize_discrete{640, 480} : v4l2_frmsize_discrete{160, 120};
        return 0;
    }
    if (request == VIDIOC_TRY_FMT) return 0;
    errno = EINVAL;
    return -1;
}

TEST(v4l2Formats, ClosestSizeOfferedAndNativeFormatOfAStubCameraAndDriverRowsPackedBottomUp) {
    std::vector<FrameSizeRange> discrete = {
        {640, 640, 0, 480, 480, 0}, {352, 352, 0, 288, 288, 0}, {160, 160, 0, 120, 120, 0}};
    std::vector<FrameSizeRange> stepwise = {{50, 1280, 16, 30, 720, 8}};
    EXPECT_EQ(std::make_pair(352, 288), closest(discrete, 320, 240));
    EXPECT_EQ(std::make_pair(338, 246), closest(stepwise, 331, 245));     // on the grids from 50 and 30
    EXPECT_EQ(std::make_pair(322, 238), closest(stepwise, 330, 242)) << "halfway: the smaller";
    EXPECT_EQ(std::make_pair(1280, 30), closest(stepwise, 4000, 10));

    libv4l_dev_ops ops{};
    ops.ioctl = stubIoctl;
    v4lconvert_data* convert = v4lconvert_create_with_dev_ops(-1, nullptr, &ops);
    ASSERT_NE(nullptr, convert);
    EXPECT_EQ(std::make_pair(160, 120), closest(offeredFrameSizes(convert), 320, 240));
    EXPECT_EQ("YUYV", fourccName(nativeFormatFor(convert, 640, 480)));
    v4lconvert_destroy(convert);

    Bytes driver = {1, 2, 3, 0, 0, 4, 5, 6, 0, 0};  // two rows of one pixel, each padded by two bytes
    Bytes packed(6);
    packRowsBottomUp(driver.data(), 5, 1, 2, packed.data());
    EXPECT_EQ((Bytes{4, 5, 6, 1, 2, 3}), packed);
    // An unplugged camera ends its capture; a passing read error is tried again.
    EXPECT_TRUE(cameraIsGone(ENODEV));
    EXPECT_FALSE(cameraIsGone(EIO) || cameraIsGone(EAGAIN) || cameraIsGone(EINTR));
}
