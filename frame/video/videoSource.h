#pragma once

// The camera sources under the capture layer: what each one implements, the
// list of cameras the layer opens from, and the console lines they share.

#include "videoInput.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// One camera being captured: opened at a size, then delivering on its own
// thread. Frames go to SampleCB as 3 bytes a pixel blue, green, red, rows from
// the bottom of the picture to the top.
class VideoSource {
public:
    virtual ~VideoSource() = default;       // stops the thread and releases the camera
    virtual int getWidth() const = 0;
    virtual int getHeight() const = 0;
    virtual void start(SampleGrabberCallback* callback) = 0;  // frames flow from now on
    virtual void showSettings() = 0;        // returns at once; one line when there is none
    virtual bool isLost() const { return false; }   // the camera went away: no frame will come
};

// A camera that can be listed and opened. open returns null after printing its
// own line when the camera cannot be opened. A camera that went away is found
// again by its id (card and bus), or else by its node.
struct CameraEntry {
    std::string name;
    std::function<std::unique_ptr<VideoSource>(int w, int h)> open;
    std::string id;                         // what the camera is, wherever it is plugged in
    std::string node;                       // where it is: "/dev/video0", a recording's path
};

// Cameras
std::vector<CameraEntry> findCameras();     // the replay camera when set, then the V4L2 ones
std::unique_ptr<VideoSource> reopenCamera(const std::string& id, const std::string& node, int w, int h);
                                            // the camera of that id, else of that node; null if gone
std::vector<CameraEntry> v4l2Cameras();     // capture nodes in /dev, by node number
CameraEntry replayCamera(const std::string& path);   // a video file or image-sequence pattern
void overrideCameras(std::vector<CameraEntry> cameras);   // for tests: these instead of findCameras
void restoreCameras();

// Console (nothing when the layer is not verbose)
void videoInputPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
void printSizeChoice(int w, int h, int chosenW, int chosenH);  // the "not supported closest" line
void printMediaType(const std::string& nativeName);  // "BGR3" means no conversion
