#pragma once

#include "ofTexture.h"
#include "videoInput.h"

#include <chrono>
#include <memory>

// One camera picture at a fixed size: 3 bytes a pixel red, green, blue, rows
// top-down, black until the first frame, refreshed by grabFrame whenever the
// camera has a new frame, and drawn as a texture. The requested size is always
// kept; a camera that delivers another size is resampled (nearest neighbour).
// A camera that goes away is looked for once a second until it comes back; the
// picture stays as it was meanwhile.
class ofVideoGrabber {
public:
    ofVideoGrabber();
    ~ofVideoGrabber();                      // close()
    ofVideoGrabber(const ofVideoGrabber&) = delete;
    ofVideoGrabber& operator=(const ofVideoGrabber&) = delete;

    // Opening and closing
    void setDeviceID(int id);               // used by the next initGrabber; device 0 otherwise
    void setUseTexture(bool use);           // before initGrabber
    void setVerbose(bool talk);             // stored only
    bool initGrabber(int w, int h);         // false and the error lines when no camera opens
    void close();                           // safe to repeat
    void listDevices();                     // the capture layer's listing between "---" lines
    void videoSettings();                   // the camera's control panel, when ready

    // Frames
    void grabFrame();                       // takes the newest frame, if there is a new one
    unsigned char* getPixels();             // width * height * 3 bytes; null before initGrabber
    bool isFrameNew();                      // the last grabFrame took a frame
    bool isLost();                          // the camera went away and has not come back yet

    // Drawing (nothing unless useTexture)
    void draw(float x, float y, float w, float h);
    void draw(float x, float y);            // at width by height

    int width;                              // picture size in pixels, as requested
    int height;

private:
    struct Reopening;                       // one attempt to open the lost camera again

    void resampleFrom(const unsigned char* devicePixels);
    void lookForLostCamera();               // one console line when lost; an attempt a second

    bool deviceChosen;
    int deviceId;
    bool useTexture;
    ofTexture texture;                      // the picture on the card, GL_RGB
    bool verbose;
    bool grabberReady;                      // a device is open and delivering
    std::unique_ptr<unsigned char[]> pixels;  // width * height * 3 bytes, top-down RGB
    bool frameNew;
    int device;                             // index actually opened
    videoInput capture;                     // this grabber's own capture layer
    bool needsResize;                       // device size differs; frames are resampled
    bool lost = false;                      // the camera went away
    std::shared_ptr<Reopening> reopening;   // the attempt under way, shared with its thread
    std::chrono::steady_clock::time_point lastAttempt;
};
