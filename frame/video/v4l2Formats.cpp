#include "v4l2Formats.h"

#include <cerrno>
#include <cstring>
#include <libv4lconvert.h>
#include <linux/videodev2.h>

// The nearest size a range offers along one axis: clamped, then on the step grid.
static int nearestOnAxis(int want, int lo, int hi, int step) {
    if (want <= lo) return lo;
    if (want >= hi) return hi;
    if (step <= 0) return lo;
    int below = lo + (want - lo) / step * step;
    int above = below + step <= hi ? below + step : below;
    return want - below <= above - want ? below : above;
}

FrameSize closestFrameSize(const std::vector<FrameSizeRange>& offered, int w, int h) {
    FrameSize best{0, 0};
    long bestDistance = -1;
    for (const FrameSizeRange& range : offered) {
        int cw = nearestOnAxis(w, range.minWidth, range.maxWidth, range.stepWidth);
        int ch = nearestOnAxis(h, range.minHeight, range.maxHeight, range.stepHeight);
        long dw = cw - w, dh = ch - h;
        long distance = dw * dw + dh * dh;
        if (bestDistance < 0 || distance < bestDistance) {
            best = {cw, ch};
            bestDistance = distance;
        }
    }
    return best;
}

std::string fourccName(uint32_t fourcc) {
    std::string name;
    for (int i = 0; i < 4; i++) {
        char c = static_cast<char>((fourcc >> (8 * i)) & 0xff);
        if (c != ' ' && c != '\0') {
            name += c;
        }
    }
    return name;
}

void packRowsBottomUp(const unsigned char* src, int stride, int w, int h, unsigned char* dst) {
    size_t rowBytes = static_cast<size_t>(w) * 3;
    for (int y = 0; y < h; y++) {
        std::memcpy(dst + static_cast<size_t>(h - 1 - y) * rowBytes, src + static_cast<size_t>(y) * stride, rowBytes);
    }
}

std::vector<FrameSizeRange> offeredFrameSizes(v4lconvert_data* convert) {
    std::vector<FrameSizeRange> sizes;
    if (convert == nullptr) {
        return sizes;
    }
    for (uint32_t i = 0;; i++) {
        v4l2_frmsizeenum size{};
        size.index = i;
        size.pixel_format = V4L2_PIX_FMT_BGR24;
        if (v4lconvert_enum_framesizes(convert, &size) < 0) {
            break;
        }
        if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
            int w = static_cast<int>(size.discrete.width), h = static_cast<int>(size.discrete.height);
            sizes.push_back({w, w, 0, h, h, 0});
            continue;
        }
        const v4l2_frmsize_stepwise& s = size.stepwise;
        sizes.push_back({static_cast<int>(s.min_width), static_cast<int>(s.max_width), static_cast<int>(s.step_width),
                         static_cast<int>(s.min_height), static_cast<int>(s.max_height),
                         static_cast<int>(s.step_height)});
        break;
    }
    return sizes;
}

uint32_t nativeFormatFor(v4lconvert_data* convert, int w, int h) {
    if (convert == nullptr) {
        return 0;
    }
    v4l2_format wanted{}, native{};
    wanted.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    wanted.fmt.pix.width = static_cast<uint32_t>(w);
    wanted.fmt.pix.height = static_cast<uint32_t>(h);
    wanted.fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;
    wanted.fmt.pix.field = V4L2_FIELD_ANY;
    if (v4lconvert_try_format(convert, &wanted, &native) < 0) {
        return 0;
    }
    return native.fmt.pix.pixelformat;
}

bool cameraIsGone(int error) {
    return error == ENODEV || error == ENXIO || error == EBADF;
}
