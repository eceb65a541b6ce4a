#include "ofxCvImageHelpers.h"

#include <GL/glew.h>
#include <cstdio>

// ---- Helpers ----------------------------------------------------------------------

static bool knownInterpolation(int interpolation) {
    return interpolation == CV_INTER_NN || interpolation == CV_INTER_LINEAR ||
           interpolation == CV_INTER_CUBIC || interpolation == CV_INTER_AREA;
}

// ---- Shared steps -------------------------------------------------------------------

// A row length other than the buffer's would read past the caller's buffer or
// write past the image, so a size mismatch is refused rather than guessed at.
bool fitsPixels(const ofxCvImage& target, const void* px, int w, int h) {
    if (target.width <= 0 || target.height <= 0 || px == nullptr) {
        return false;
    }
    if (w != target.width || h != target.height) {
        std::printf("error in setFromPixels, images are different sizes\n");
        return false;
    }
    return true;
}

void scaleImageInto(const cv::Mat& source, ofxCvImage& target, int interpolation) {
    if (!knownInterpolation(interpolation)) {
        std::printf("error in scaleIntoMe / interpolationMethod, setting to CV_INTER_NN \n");
        interpolation = CV_INTER_NN;
    }
    if (source.empty() || target.width <= 0 || target.height <= 0) {
        return;
    }
    cv::Mat& own = target.getCvImage();
    cv::resize(source, own, own.size(), 0, 0, interpolation);
}

// glDrawPixels fills upwards from the raster position, which the screen camera
// puts at the picture's bottom-left corner (x, y + h), hence the upside-down copy.
void drawPixelsAt(const cv::Mat& image, int glFormat, float x, float y, float w, float h) {
    int wholeW = static_cast<int>(w);
    int wholeH = static_cast<int>(h);
    if (wholeW <= 0 || wholeH <= 0) {
        return;
    }
    cv::Mat sized;
    cv::resize(image, sized, cv::Size(wholeW, wholeH), 0, 0, cv::INTER_NEAREST);
    cv::Mat upsideDown;
    cv::flip(sized, upsideDown, 0);
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glRasterPos2f(x, y + h);
    glDrawPixels(wholeW, wholeH, glFormat, GL_UNSIGNED_BYTE, upsideDown.data);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}
