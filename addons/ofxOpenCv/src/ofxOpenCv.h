#pragma once

// Everything of the vision add-on in one include.
#include "ofxCvConstants.h"
#include "ofxCvImage.h"
#include "ofxCvColorImage.h"
#include "ofxCvGrayscaleImage.h"
#include "ofxCvFloatImage.h"
#include "ofxCvBlob.h"
#include "ofxCvContourFinder.h"
