#include "ofVideoGrabber.h"

#include <cstdio>
#include <cstring>

// ---- Construction ---------------------------------------------------------------

ofVideoGrabber::ofVideoGrabber()
    : width(320), height(240), deviceChosen(false), deviceId(0), useTexture(true), verbose(false),
      grabberReady(false), frameNew(false), device(0), needsResize(false) {
}

ofVideoGrabber::~ofVideoGrabber() {
    close();
}

// ---- Opening and closing ------------------------------------------------------------

void ofVideoGrabber::setDeviceID(int id) {
    deviceId = id;
    deviceChosen = true;
}

void ofVideoGrabber::setUseTexture(bool use) {
    useTexture = use;
}

void ofVideoGrabber::setVerbose(bool talk) {
    verbose = talk;
}

bool ofVideoGrabber::initGrabber(int w, int h) {
    device = 0;
    if (deviceChosen) {
        device = deviceId;
        std::printf("choosing %i  \n", deviceId);
    }
    width = w;
    height = h;
    grabberReady = false;

    if (!capture.setupDevice(device, width, height)) {
        std::printf("error allocating a video device  \nplease check your camera with AMCAP or other software\n");
        std::fflush(stdout);
        return false;
    }
    grabberReady = true;
    needsResize = capture.getWidth(device) != w || capture.getHeight(device) != h;
    width = w;
    height = h;

    // Black until the first frame, with or without a texture.
    size_t bytes = static_cast<size_t>(width) * height * 3;
    pixels.reset(new unsigned char[bytes]);
    std::memset(pixels.get(), 0, bytes);
    if (useTexture) {
        texture.allocate(width, height, GL_RGB);
        texture.loadData(pixels.get(), width, height, GL_RGB);
    }
    return true;
}

// A second initGrabber without close leaves the first opening in the slot while
// the grabber is no longer ready; the slot is stopped here all the same, so the
// camera can be opened again.
void ofVideoGrabber::close() {
    if (grabberReady || capture.isDeviceSetup(device)) {
        capture.stopDevice(device);
        grabberReady = false;
    }
    pixels.reset();
    texture.clear();
}

void ofVideoGrabber::listDevices() {
    std::printf("---\n");
    std::fflush(stdout);
    capture.listDevices(false);
    std::printf("---\n");
    std::fflush(stdout);
}

void ofVideoGrabber::videoSettings() {
    if (grabberReady) {
        capture.showSettingsWindow(device);
    }
}

// ---- Frames -------------------------------------------------------------------------

void ofVideoGrabber::grabFrame() {
    frameNew = false;
    if (!grabberReady || !capture.isFrameNew(device)) {
        return;
    }
    frameNew = true;
    unsigned char* devicePixels = capture.getPixels(device, true, true);
    if (needsResize) {
        resampleFrom(devicePixels);
    } else {
        std::memcpy(pixels.get(), devicePixels, static_cast<size_t>(width) * height * 3);
    }
    if (useTexture) {
        texture.loadData(pixels.get(), width, height, GL_RGB);
    }
}

unsigned char* ofVideoGrabber::getPixels() {
    return pixels.get();
}

bool ofVideoGrabber::isFrameNew() {
    return frameNew;
}

// ---- Drawing ---------------------------------------------------------------------------

void ofVideoGrabber::draw(float x, float y, float w, float h) {
    if (useTexture) {
        texture.draw(x, y, w, h);
    }
}

void ofVideoGrabber::draw(float x, float y) {
    draw(x, y, static_cast<float>(width), static_cast<float>(height));
}

// ---- Private ---------------------------------------------------------------------------

// Nearest neighbour with the top-left pixel of each cell; the scales are single
// precision and the products truncated, as the picture's callers expect.
void ofVideoGrabber::resampleFrom(const unsigned char* devicePixels) {
    int dw = capture.getWidth(device);
    int dh = capture.getHeight(device);
    float scaleX = static_cast<float>(dw) / static_cast<float>(width);
    float scaleY = static_cast<float>(dh) / static_cast<float>(height);
    for (int x = 0; x < width; x++) {
        int sx = static_cast<int>(static_cast<float>(x) * scaleX);
        for (int y = 0; y < height; y++) {
            int sy = static_cast<int>(static_cast<float>(y) * scaleY);
            const unsigned char* from = devicePixels + (static_cast<size_t>(sy) * dw + sx) * 3;
            unsigned char* to = pixels.get() + (static_cast<size_t>(y) * width + x) * 3;
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
        }
    }
}
