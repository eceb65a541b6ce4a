#include "ofVideoGrabber.h"

#include "videoSource.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

// ---- File-level state ------------------------------------------------------------

struct ofVideoGrabber::Reopening {
    std::mutex lock;
    bool done = false;
    std::unique_ptr<VideoSource> source;    // the camera found again, or null
};

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
        std::printf("on Linux, v4l2-ctl --list-devices shows the cameras\n");
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
    lost = false;
    reopening.reset();
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
    if (grabberReady && capture.isDeviceLost(device)) {
        lookForLostCamera();
        return;
    }
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

bool ofVideoGrabber::isLost() {
    return lost;
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

// Opening a camera can take a while, so each attempt runs on a thread of its
// own that shares only its result; the main loop never waits for it.
void ofVideoGrabber::lookForLostCamera() {
    if (!lost) {
        lost = true;
        std::printf("camera lost - plug it in again\n");
        std::fflush(stdout);
    }
    if (reopening) {
        std::unique_ptr<VideoSource> found;
        {
            std::lock_guard<std::mutex> guard(reopening->lock);
            if (!reopening->done) {
                return;
            }
            found = std::move(reopening->source);
        }
        reopening.reset();
        if (found && capture.adoptSource(device, std::move(found))) {
            lost = false;
            needsResize = capture.getWidth(device) != width || capture.getHeight(device) != height;
            std::printf("camera back\n");
            std::fflush(stdout);
            return;
        }
    }
    auto now = std::chrono::steady_clock::now();
    if (now - lastAttempt < std::chrono::seconds(1)) {
        return;
    }
    lastAttempt = now;
    reopening = std::make_shared<Reopening>();
    std::thread([attempt = reopening, id = capture.cameraIdOf(device), node = capture.cameraNodeOf(device),
                 w = width, h = height] {
        std::unique_ptr<VideoSource> source = reopenCamera(id, node, w, h);
        std::lock_guard<std::mutex> guard(attempt->lock);
        attempt->source = std::move(source);
        attempt->done = true;
    }).detach();
}
