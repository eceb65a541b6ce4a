#pragma once

// The vision library's C++ API, plus its classic constant names
// (CV_INTER_NN, CV_INTER_LINEAR, CV_INTER_CUBIC, CV_INTER_AREA, CV_RGB2HSV, ...),
// which callers of scaleIntoMe pass.
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/imgproc/types_c.h>

class ofxCvImage;
class ofxCvColorImage;
class ofxCvGrayscaleImage;
class ofxCvFloatImage;
class ofxCvBlob;
class ofxCvContourFinder;
