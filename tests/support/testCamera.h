#pragma once

#include "videoSource.h"

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

// A camera driven by the test: it hands over the frames the test gives it, on
// the test's own thread, through the callback the real sources use.
class TestCamera : public VideoSource {
public:
    TestCamera(int w, int h) : width(w), height(h) {}
    int getWidth() const override { return width; }
    int getHeight() const override { return height; }
    void start(SampleGrabberCallback* cb) override { callback = cb; }
    void showSettings() override {}
    bool isLost() const override { return gone; }

    // A frame as the hand-off carries it: rows bottom-up, bytes blue, green, red;
    // nothing before the camera is started.
    void deliver(const std::vector<unsigned char>& frame) {
        if (callback != nullptr) {
            callback->SampleCB(0, frame.data(), static_cast<long>(frame.size()));
        }
    }

    // A top-down red, green, blue picture of the camera's size.
    void deliverPicture(const std::vector<unsigned char>& rgb) {
        std::vector<unsigned char> frame(rgb.size());
        for (int y = 0; y < height; y++) {
            for (int x = 0; x < width; x++) {
                const unsigned char* from = &rgb[(static_cast<size_t>(y) * width + x) * 3];
                unsigned char* to = &frame[(static_cast<size_t>(height - 1 - y) * width + x) * 3];
                to[0] = from[2];
                to[1] = from[1];
                to[2] = from[0];
            }
        }
        deliver(frame);
    }

    int width, height;
    SampleGrabberCallback* callback = nullptr;  // set when the capture layer starts it
    std::atomic<bool> gone{false};          // the camera went away
};

// Test cameras of the given sizes in place of the machine's own for as long as
// the object lives; camera(i) is camera i as last opened. While unplugged, none
// can be opened.
class TestCameras {
public:
    explicit TestCameras(std::vector<std::pair<int, int>> sizes = {{320, 240}}) : opened(sizes.size()) {
        std::vector<CameraEntry> cameras;
        for (size_t i = 0; i < sizes.size(); i++) {
            std::pair<int, int> size = sizes[i];
            auto open = [this, i, size](int, int) {
                openings++;
                if (unplugged) {
                    return std::unique_ptr<VideoSource>();
                }
                auto source = std::make_unique<TestCamera>(size.first, size.second);
                opened[i] = source.get();
                return std::unique_ptr<VideoSource>(std::move(source));
            };
            cameras.push_back({"test camera " + std::to_string(i), open, "", ""});
        }
        overrideCameras(cameras);
    }
    ~TestCameras() { restoreCameras(); }
    TestCameras(const TestCameras&) = delete;
    TestCameras& operator=(const TestCameras&) = delete;

    TestCamera* camera(size_t i = 0) const { return i < opened.size() ? opened[i].load() : nullptr; }

    std::atomic<bool> unplugged{false};
    std::atomic<int> openings{0};           // attempts to open any of them

private:
    std::vector<std::atomic<TestCamera*>> opened;
};
