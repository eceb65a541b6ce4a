#pragma once

// The capture layer under ofVideoGrabber, on Linux.
//
// Implemented here:
//   - cameras: V4L2 capture nodes through libv4l2 (every native format arrives
//     converted), and a replay camera playing the recording named by
//     STOMPATHON_CAMERA as device 0 (real cameras then follow from 1);
//   - callback delivery: each source runs a capture thread of its own and hands
//     frames to SampleCB, which keeps at most one untaken frame;
//   - the settings window: the V4L2 control panel "qv4l2", started detached.
// Not implemented here:
//   - polling delivery (setUseCallback(false) prints one line and is ignored);
//   - COM: comInit and comUnInit only keep the reference count.
//
// Frames cross the hand-off as 3 bytes a pixel blue, green, red, rows from the
// bottom of the picture to the top; getPixels(device, true, true) turns them
// into top-down red, green, blue.

#include <array>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class VideoSource;

// A manual-reset event: stays signalled until reset.
class ManualResetEvent {
public:
    void set();
    void reset();
    bool isSet();                           // tests without waiting
    bool waitFor(int milliseconds);         // true when signalled within the time

private:
    std::mutex lock;
    std::condition_variable changed;
    bool signalled = false;
};

// Called on a source's capture thread for every frame; owned by its videoDevice.
class SampleGrabberCallback {
public:
    explicit SampleGrabberCallback(int bytes);

    // Always answers 0 (success). Drops the frame while the previous one is
    // untaken, and with one line when length is not frameBytes.
    int SampleCB(double sampleTime, const unsigned char* data, long length);

    int frameBytes;                         // expected frame size in bytes
    std::vector<unsigned char> frameBuffer; // the untaken frame, frameBytes long
    bool newFrame = false;                  // guarded by frameLock; cleared by the consumer
    std::mutex frameLock;
    ManualResetEvent frameEvent;            // signalled while a frame waits to be taken
};

// The state of one device slot; an empty record when not open.
class videoDevice {
public:
    ~videoDevice();
    void release();                         // stops the source first; safe to repeat
    bool setSize(int w, int h);             // once per opening; false and one line otherwise

    int width = 0;
    int height = 0;
    int videoSize = 0;                      // frame size in bytes
    bool sizeSet = false;
    bool readyToCapture = false;
    std::vector<unsigned char> devicePixels;  // the last frame taken, top-down RGB when flipped
    std::unique_ptr<SampleGrabberCallback> sgCallback;
    std::unique_ptr<VideoSource> source;
    std::string cameraId;                   // which camera, to find it again when it went away
    std::string cameraNode;
};

class videoInput {
public:
    static const int VI_MAX_CAMERAS = 20;

    videoInput();                           // banner line when verbose
    ~videoInput();                          // stops every open device
    videoInput(const videoInput&) = delete;
    videoInput& operator=(const videoInput&) = delete;

    // Process-wide switches
    static void setVerbose(bool on);        // all of this layer's console lines; on by default
    static void comInit();                  // reference count only on this platform
    static void comUnInit();
    void setUseCallback(bool useCallback);  // before the first setup only

    // Devices
    int listDevices(bool silent = false);   // counts the cameras; prints them unless silent
    int getDeviceCount();                   // cameras found at the last setup or listing
    bool setupDevice(int device, int w, int h);   // false and its lines when it cannot open
    bool isDeviceSetup(int device);
    void showSettingsWindow(int device);
    void stopDevice(int device);            // the slot is empty again; safe to repeat
    bool isDeviceLost(int device);          // its camera went away; the slot waits for another source
    std::string cameraIdOf(int device);     // what reopenCamera needs to find the camera again
    std::string cameraNodeOf(int device);
    bool adoptSource(int device, std::unique_ptr<VideoSource> source);  // a reopened camera takes
                                            // the slot (at its own size) and starts delivering

    // Frames
    int getWidth(int device);               // 0 unless open
    int getHeight(int device);
    int getSize(int device);                // bytes of one frame
    bool isFrameNew(int device);
    unsigned char* getPixels(int device, bool swapRedBlue, bool flipRows);  // null unless open; waits up to 1000 ms
    static void processPixels(const unsigned char* src, unsigned char* dst, int width, int height,
                              bool swapRedBlue, bool flipRows);

private:
    bool isOpen(int device);

    std::array<videoDevice, VI_MAX_CAMERAS> devices;   // one record per slot, empty when closed
    int devicesFound = 0;
    bool callbackSetup = false;             // a device has been set up once
};
