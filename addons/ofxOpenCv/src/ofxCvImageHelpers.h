#pragma once

#include "ofxCvImage.h"

// Steps shared by the buffer kinds; not part of the add-on's interface.

// Multiplying bytes
inline constexpr float byteProductScale = 1.0f / 255;  // keeps a product of two bytes within a byte

// Pixel input
bool fitsPixels(const ofxCvImage& target, const void* px, int w, int h);
                                                    // false and one line when px is null or w, h
                                                    // are not the buffer's size
// Scaling into a buffer of its own size
void scaleImageInto(const cv::Mat& source, ofxCvImage& target, int interpolation);
                                                    // an unknown interpolation prints one line and
                                                    // falls back to nearest neighbour
// Drawing without a texture: raw pixels at the current raster position
void drawPixelsAt(const cv::Mat& image, int glFormat, float x, float y, float w, float h);
                                                    // 8-bit images; nearest neighbour to w by h
