#pragma once

// Sizes, formats and read errors of V4L2 cameras, worked out without touching a
// camera.

#include <cstdint>
#include <string>
#include <vector>

struct v4lconvert_data;

struct FrameSizeRange {                     // a discrete size has min == max and step 0
    int minWidth, maxWidth, stepWidth;
    int minHeight, maxHeight, stepHeight;
};

struct FrameSize {
    int width, height;
};

FrameSize closestFrameSize(const std::vector<FrameSizeRange>& offered, int w, int h);  // {0, 0} if none
std::vector<FrameSizeRange> offeredFrameSizes(v4lconvert_data* convert);  // sizes of the converted output
uint32_t nativeFormatFor(v4lconvert_data* convert, int w, int h);  // what the camera sends; 0 if none
std::string fourccName(uint32_t fourcc);    // "YUYV", "MJPG", ...
void packRowsBottomUp(const unsigned char* src, int stride, int w, int h, unsigned char* dst);
                                            // driver rows with stride bytes each, packed bottom-up
bool cameraIsGone(int error);               // an errno after which the camera sends nothing more
                                            // (unplugged); any other read error is passing
