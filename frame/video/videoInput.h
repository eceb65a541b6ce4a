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
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct v4lconvert_data;

// A manual-reset event: stays signalled until reset.
class manualResetEvent {
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
    manualResetEvent frameEvent;            // signalled while a frame waits to be taken
};

// One camera being captured: opened at a size, then delivering on its own thread.
class videoSource {
public:
    virtual ~videoSource() = default;       // stops the thread and releases the camera
    virtual int getWidth() const = 0;
    virtual int getHeight() const = 0;
    virtual void start(SampleGrabberCallback* callback) = 0;  // frames flow from now on
    virtual void showSettings() = 0;        // returns at once; one line when there is none
};

// A camera that can be listed and opened. open returns null after printing its
// own line when the camera cannot be opened.
struct cameraEntry {
    std::string name;
    std::function<std::unique_ptr<videoSource>(int w, int h)> open;
};

// Cameras
std::vector<cameraEntry> findCameras();     // the replay camera when set, then the V4L2 ones
std::vector<cameraEntry> v4l2Cameras();     // capture nodes in /dev, by node number
cameraEntry replayCamera(const std::string& path);   // a video file or image-sequence pattern
void overrideCameras(std::vector<cameraEntry> cameras);   // tests: these instead of findCameras
void restoreCameras();

// Console
void videoInputPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));  // one of this layer's lines; nothing when not verbose

// Sizes and formats (V4L2 bookkeeping, usable without a camera)
struct frameSizeRange {                     // a discrete size has min == max and step 0
    int minWidth, maxWidth, stepWidth;
    int minHeight, maxHeight, stepHeight;
};
struct frameSize {
    int width, height;
};
frameSize closestFrameSize(const std::vector<frameSizeRange>& offered, int w, int h);  // {0, 0} if none
std::vector<frameSizeRange> offeredFrameSizes(v4lconvert_data* convert);  // sizes of the converted output
uint32_t nativeFormatFor(v4lconvert_data* convert, int w, int h);  // what the camera sends; 0 if none
std::string fourccName(uint32_t fourcc);    // "YUYV", "MJPG", ...
void packRowsBottomUp(const unsigned char* src, int stride, int w, int h, unsigned char* dst);
void printSizeChoice(int w, int h, int chosenW, int chosenH);  // the "not supported closest" line
void printMediaType(const std::string& nativeName);  // "BGR24" means no conversion

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
    std::unique_ptr<videoSource> source;
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
