#pragma once

#include "ofxCvBlob.h"
#include "ofxCvGrayscaleImage.h"

#include <vector>

// Finds the regions of non-zero pixels in a grayscale image, keeps those whose
// area lies strictly between two bounds, and turns the largest into blobs.
class ofxCvContourFinder {
public:
    ofxCvContourFinder();                           // no blobs
    virtual ~ofxCvContourFinder();

    // Searching
    virtual void reset();                           // no blobs
    virtual int findContours(const ofxCvGrayscaleImage& input, int minArea, int maxArea,
                             int maxBlobs, bool findHoles, bool approximate);
                                                    // returns blobCount; findHoles: holes too,
                                                    // else outer outlines only; approximate: straight
                                                    // runs as their end points, else every pixel
    // Drawing, with the current colour and fill mode left as set here
    virtual void draw(float x, float y);            // boxes DD00CC, open outlines 00FFFF, shifted
    virtual void draw();                            // at (0, 0)

    int blobCount;                  // blobs of the last search
    std::vector<ofxCvBlob> blobs;   // largest absolute area first

protected:
    static const int maxCandidates = 500;           // regions considered per search, in search order

    struct Candidate {
        const std::vector<cv::Point>* contour;
        float area;                 // absolute
    };

    void keepCandidates(float minArea, float maxArea);
    void measureBlob(const std::vector<cv::Point>& contour);

    ofxCvGrayscaleImage inputCopy;  // the search's own copy, kept while the input size stays
    std::vector<std::vector<cv::Point>> contourStorage;  // the outlines of one search
    cv::Moments moments;            // of the blob being measured
    Candidate candidates[maxCandidates];
    int candidateCount;             // entries used in candidates
};
