#include "ofxCvContourFinder.h"

#include "ofGraphics.h"

#include <GL/glew.h>
#include <algorithm>
#include <cmath>

// ---- File-level state ----------------------------------------------------------

static const int boxColour = 0xDD00CC;
static const int outlineColour = 0x00FFFF;

// ---- Helpers ----------------------------------------------------------------------

// The vision library gives outer outlines a negative oriented area and holes a
// positive one; negated, a hole is the outline with the negative area.
static float signedAreaOf(const std::vector<cv::Point>& contour) {
    return static_cast<float>(-cv::contourArea(contour, true));
}

// A straight or single-pixel outline has no area to take a centre of mass
// from; the middle of its box stands in for it.
static ofPoint centroidOf(const cv::Moments& m, const cv::Rect& box) {
    if (m.m00 == 0) {
        return ofPoint(std::trunc(box.x + box.width / 2.0), std::trunc(box.y + box.height / 2.0));
    }
    return ofPoint(std::trunc(m.m10 / m.m00), std::trunc(m.m01 / m.m00));
}

// ---- ofxCvContourFinder -----------------------------------------------------------

ofxCvContourFinder::ofxCvContourFinder() : blobCount(0), moments(), candidates(), candidateCount(0) {
    reset();
}

ofxCvContourFinder::~ofxCvContourFinder() {
}

void ofxCvContourFinder::reset() {
    blobs.clear();
    blobCount = 0;
}

int ofxCvContourFinder::findContours(const ofxCvGrayscaleImage& input, int minArea, int maxArea,
                                     int maxBlobs, bool findHoles, bool approximate) {
    reset();
    if (input.width <= 0 || input.height <= 0) {
        return 0;
    }
    if (inputCopy.width != input.width || inputCopy.height != input.height) {
        inputCopy.setUseTexture(false);
        inputCopy.clear();
        inputCopy.allocate(input.width, input.height);
    }
    inputCopy = input;

    int mode = findHoles ? cv::RETR_LIST : cv::RETR_EXTERNAL;
    int method = approximate ? cv::CHAIN_APPROX_SIMPLE : cv::CHAIN_APPROX_NONE;
    cv::findContours(inputCopy.getCvImage(), contourStorage, mode, method);

    keepCandidates(static_cast<float>(minArea), static_cast<float>(maxArea));
    std::sort(candidates, candidates + candidateCount,
              [](const Candidate& a, const Candidate& b) { return a.area > b.area; });
    for (int i = 0; i < std::min(maxBlobs, candidateCount); i++) {
        measureBlob(*candidates[i].contour);
    }
    blobCount = static_cast<int>(blobs.size());
    contourStorage.clear();
    return blobCount;
}

void ofxCvContourFinder::draw(float x, float y) {
    ofSetColor(boxColour);
    glPushMatrix();
    glTranslatef(x, y, 0);
    ofNoFill();
    for (const ofxCvBlob& blob : blobs) {
        ofRect(blob.boundingBox.x, blob.boundingBox.y, blob.boundingBox.width,
               blob.boundingBox.height);
    }
    ofSetColor(outlineColour);
    for (const ofxCvBlob& blob : blobs) {
        ofNoFill();
        ofBeginShape();
        for (const ofPoint& p : blob.points) {
            ofVertex(p.x, p.y);
        }
        ofEndShape(false);
    }
    glPopMatrix();
}

void ofxCvContourFinder::draw() {
    draw(0, 0);
}

void ofxCvContourFinder::keepCandidates(float minArea, float maxArea) {
    candidateCount = 0;
    for (const std::vector<cv::Point>& contour : contourStorage) {
        float area = std::fabs(signedAreaOf(contour));
        if (minArea < area && area < maxArea && candidateCount < maxCandidates) {
            candidates[candidateCount++] = Candidate{&contour, area};
        }
    }
}

void ofxCvContourFinder::measureBlob(const std::vector<cv::Point>& contour) {
    blobs.emplace_back();
    ofxCvBlob& blob = blobs.back();
    float signedArea = signedAreaOf(contour);
    cv::Rect box = cv::boundingRect(contour);
    moments = cv::moments(contour);

    blob.area = std::fabs(signedArea);
    blob.isHole = signedArea < 0;
    blob.perimeter = static_cast<float>(cv::arcLength(contour, true));
    blob.boundingBox = ofRectangle(box.x, box.y, box.width, box.height);
    blob.centroid = centroidOf(moments, box);
    blob.points.reserve(contour.size());
    for (const cv::Point& p : contour) {
        blob.points.emplace_back(p.x, p.y, 0);
    }
    blob.pointCount = static_cast<int>(blob.points.size());
}
