#include "videoInput.h"

#include "videoSource.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

// ---- File-level state -------------------------------------------------------

// Console
static bool verbose = true;

// COM stand-in: nothing to start on this platform, the count is kept for symmetry
static int comInitCount = 0;

// Cameras chosen by a test instead of the machine's own
static bool camerasOverridden = false;
static std::vector<CameraEntry> overriddenCameras;

// ---- Helpers ----------------------------------------------------------------

static bool validIndex(int device) {
    return device >= 0 && device < videoInput::VI_MAX_CAMERAS;
}

// What a camera is, to find it again: its id, or its name for cameras without one.
static std::string identityOf(const CameraEntry& camera) {
    return camera.id.empty() ? camera.name : camera.id;
}

static void copySwapped(const unsigned char* src, unsigned char* dst, int pixelCount) {
    for (int i = 0; i < pixelCount; i++) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
        src += 3;
        dst += 3;
    }
}

// ---- ManualResetEvent ---------------------------------------------------------

void ManualResetEvent::set() {
    {
        std::lock_guard<std::mutex> guard(lock);
        signalled = true;
    }
    changed.notify_all();
}

void ManualResetEvent::reset() {
    std::lock_guard<std::mutex> guard(lock);
    signalled = false;
}

bool ManualResetEvent::isSet() {
    std::lock_guard<std::mutex> guard(lock);
    return signalled;
}

bool ManualResetEvent::waitFor(int milliseconds) {
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, std::chrono::milliseconds(milliseconds), [this] { return signalled; });
}

// ---- SampleGrabberCallback ----------------------------------------------------

SampleGrabberCallback::SampleGrabberCallback(int bytes)
    : frameBytes(bytes), frameBuffer(static_cast<size_t>(bytes)) {
}

int SampleGrabberCallback::SampleCB(double, const unsigned char* data, long length) {
    if (frameEvent.isSet()) {
        return 0;
    }
    if (data == nullptr) {
        return 0;
    }
    if (length != frameBytes) {
        videoInputPrint("ERROR: SampleCB() - buffer sizes do not match\n");
        return 0;
    }
    {
        std::lock_guard<std::mutex> guard(frameLock);
        std::memcpy(frameBuffer.data(), data, static_cast<size_t>(length));
        newFrame = true;
    }
    frameEvent.set();
    return 0;
}

// ---- Cameras ------------------------------------------------------------------

std::vector<CameraEntry> findCameras() {
    if (camerasOverridden) {
        return overriddenCameras;
    }
    std::vector<CameraEntry> cameras;
    const char* replayPath = std::getenv("STOMPATHON_CAMERA");
    if (replayPath != nullptr && replayPath[0] != '\0') {
        cameras.push_back(replayCamera(replayPath));
    }
    for (CameraEntry& camera : v4l2Cameras()) {
        cameras.push_back(std::move(camera));
    }
    return cameras;
}

std::unique_ptr<VideoSource> reopenCamera(const std::string& id, const std::string& node, int w, int h) {
    std::vector<CameraEntry> cameras = findCameras();
    for (bool byId : {true, false}) {
        for (CameraEntry& camera : cameras) {
            if (byId ? identityOf(camera) == id : (!node.empty() && camera.node == node)) {
                return camera.open(w, h);
            }
        }
    }
    return nullptr;
}

void overrideCameras(std::vector<CameraEntry> cameras) {
    overriddenCameras = std::move(cameras);
    camerasOverridden = true;
}

void restoreCameras() {
    overriddenCameras.clear();
    camerasOverridden = false;
}

// ---- Console ----------------------------------------------------------------------

void videoInputPrint(const char* format, ...) {
    if (!verbose) {
        return;
    }
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

// ---- Console lines of the sources ----------------------------------------------

void printSizeChoice(int w, int h, int chosenW, int chosenH) {
    if (chosenW != w || chosenH != h) {
        videoInputPrint("SETUP: %i by %i not supported closest supported size is %i %i\n", w, h, chosenW, chosenH);
    }
}

void printMediaType(const std::string& nativeName) {
    if (nativeName == "BGR3") {
        videoInputPrint("SETUP: Media Type is RGB24 no conversion needed\n");
    } else {
        videoInputPrint("SETUP: Media Type is %s converted to RGB24\n", nativeName.c_str());
    }
}

// ---- videoDevice ----------------------------------------------------------------

videoDevice::~videoDevice() {
    release();
}

void videoDevice::release() {
    source.reset();
    sgCallback.reset();
    devicePixels.clear();
    devicePixels.shrink_to_fit();
    width = 0;
    height = 0;
    videoSize = 0;
    sizeSet = false;
    readyToCapture = false;
}

bool videoDevice::setSize(int w, int h) {
    if (sizeSet) {
        videoInputPrint("SETUP: Error device size should not be set more than once \n");
        return false;
    }
    width = w;
    height = h;
    videoSize = w * h * 3;
    sizeSet = true;
    devicePixels.assign(static_cast<size_t>(videoSize), 0);
    sgCallback = std::make_unique<SampleGrabberCallback>(videoSize);
    return true;
}

// ---- videoInput: construction -----------------------------------------------------

videoInput::videoInput() {
    comInit();
    videoInputPrint("VIDEOINPUT: capture layer for V4L2 and replay cameras, version 1.0\n");
}

videoInput::~videoInput() {
    for (int i = 0; i < VI_MAX_CAMERAS; i++) {
        stopDevice(i);
    }
    comUnInit();
}

// ---- videoInput: process-wide switches ---------------------------------------------

void videoInput::setVerbose(bool on) {
    verbose = on;
}

void videoInput::comInit() {
    comInitCount++;
}

void videoInput::comUnInit() {
    if (comInitCount > 0) {
        comInitCount--;
    }
}

void videoInput::setUseCallback(bool useCallback) {
    if (callbackSetup) {
        videoInputPrint("ERROR: setUseCallback can only be called before setup\n");
        return;
    }
    if (!useCallback) {
        videoInputPrint("SETUP: polling delivery is not available on this platform; frames come by callback\n");
    }
}

// ---- videoInput: devices ------------------------------------------------------------

int videoInput::listDevices(bool silent) {
    std::vector<CameraEntry> cameras = findCameras();
    devicesFound = static_cast<int>(cameras.size());
    if (silent) {
        return devicesFound;
    }
    videoInputPrint("\nVIDEOINPUT SPY MODE!\n\n");
    videoInputPrint("SETUP: Looking For Capture Devices\n");
    for (int i = 0; i < devicesFound; i++) {
        videoInputPrint("SETUP: %i) %s \n", i, cameras[i].name.substr(0, 254).c_str());
    }
    videoInputPrint("SETUP: %i Device(s) found\n\n", devicesFound);
    return devicesFound;
}

int videoInput::getDeviceCount() {
    return devicesFound;
}

bool videoInput::setupDevice(int device, int w, int h) {
    if (!validIndex(device)) {
        videoInputPrint("SETUP: device[%i] is out of range - devices are numbered 0 to %i\n", device, VI_MAX_CAMERAS - 1);
        return false;
    }
    if (isOpen(device)) {
        videoInputPrint("SETUP: device[%i] is already set up - stop it first\n", device);
        return false;
    }
    std::vector<CameraEntry> cameras = findCameras();
    devicesFound = static_cast<int>(cameras.size());
    if (device >= devicesFound) {
        videoInputPrint("SETUP: device[%i] not found - you have %i devices available\n", device, devicesFound);
        videoInputPrint("SETUP: this means that the last device you can use is device[%i] \n", devicesFound - 1);
        return false;
    }
    callbackSetup = true;
    videoInputPrint("SETUP: Setting up device %i\n", device);

    videoDevice& slot = devices[device];
    slot.source = cameras[device].open(w, h);
    if (!slot.source || !slot.setSize(slot.source->getWidth(), slot.source->getHeight())) {
        videoInputPrint("SETUP: device %i could not be set up\n", device);
        slot.release();
        return false;
    }
    slot.cameraId = identityOf(cameras[device]);
    slot.cameraNode = cameras[device].node;
    videoInputPrint("SETUP: Capture callback set\n");
    slot.source->start(slot.sgCallback.get());
    videoInputPrint("SETUP: Device is setup and ready to capture.\n\n");
    slot.readyToCapture = true;
    return true;
}

bool videoInput::isDeviceSetup(int device) {
    return isOpen(device);
}

void videoInput::showSettingsWindow(int device) {
    if (isOpen(device)) {
        devices[device].source->showSettings();
    }
}

void videoInput::stopDevice(int device) {
    if (validIndex(device)) {
        devices[device].release();
    }
}

bool videoInput::isDeviceLost(int device) {
    return isOpen(device) && devices[device].source->isLost();
}

std::string videoInput::cameraIdOf(int device) {
    return isOpen(device) ? devices[device].cameraId : "";
}

std::string videoInput::cameraNodeOf(int device) {
    return isOpen(device) ? devices[device].cameraNode : "";
}

// The old source goes first, so its thread no longer hands over frames; the
// slot's buffers take the new camera's size, which may differ from the old.
bool videoInput::adoptSource(int device, std::unique_ptr<VideoSource> source) {
    if (!isOpen(device) || !source) {
        return false;
    }
    videoDevice& slot = devices[device];
    std::string id = slot.cameraId, node = slot.cameraNode;
    slot.release();
    slot.source = std::move(source);
    slot.setSize(slot.source->getWidth(), slot.source->getHeight());
    slot.cameraId = id;
    slot.cameraNode = node;
    slot.source->start(slot.sgCallback.get());
    slot.readyToCapture = true;
    return true;
}

// ---- videoInput: frames ---------------------------------------------------------------

int videoInput::getWidth(int device) {
    return isOpen(device) ? devices[device].width : 0;
}

int videoInput::getHeight(int device) {
    return isOpen(device) ? devices[device].height : 0;
}

int videoInput::getSize(int device) {
    return isOpen(device) ? devices[device].videoSize : 0;
}

bool videoInput::isFrameNew(int device) {
    if (!isOpen(device)) {
        return false;
    }
    SampleGrabberCallback& callback = *devices[device].sgCallback;
    std::lock_guard<std::mutex> guard(callback.frameLock);
    return callback.newFrame;
}

unsigned char* videoInput::getPixels(int device, bool swapRedBlue, bool flipRows) {
    if (!isOpen(device)) {
        return nullptr;
    }
    videoDevice& slot = devices[device];
    SampleGrabberCallback& callback = *slot.sgCallback;
    if (callback.frameEvent.waitFor(1000)) {
        {
            std::lock_guard<std::mutex> guard(callback.frameLock);
            processPixels(callback.frameBuffer.data(), slot.devicePixels.data(), slot.width, slot.height,
                          swapRedBlue, flipRows);
            callback.newFrame = false;
        }
        callback.frameEvent.reset();
    }
    return slot.devicePixels.data();
}

void videoInput::processPixels(const unsigned char* src, unsigned char* dst, int width, int height,
                               bool swapRedBlue, bool flipRows) {
    size_t rowBytes = static_cast<size_t>(width) * 3;
    if (!swapRedBlue && !flipRows) {
        std::memcpy(dst, src, rowBytes * static_cast<size_t>(height));
        return;
    }
    for (int y = 0; y < height; y++) {
        const unsigned char* srcRow = src + rowBytes * static_cast<size_t>(flipRows ? height - 1 - y : y);
        unsigned char* dstRow = dst + rowBytes * static_cast<size_t>(y);
        if (swapRedBlue) {
            copySwapped(srcRow, dstRow, width);
        } else {
            std::memcpy(dstRow, srcRow, rowBytes);
        }
    }
}

// ---- videoInput: private ---------------------------------------------------------------

bool videoInput::isOpen(int device) {
    return validIndex(device) && devices[device].readyToCapture;
}
