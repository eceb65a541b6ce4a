#include "videoSource.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <unistd.h>

// ---- Helpers ----------------------------------------------------------------

static std::string baseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// STOMPATHON_CAMERA_FPS when it is a positive number, else the recording's own
// rate, else 30.
static double replayRate(cv::VideoCapture& recording) {
    const char* forced = std::getenv("STOMPATHON_CAMERA_FPS");
    if (forced != nullptr) {
        double rate = std::atof(forced);
        if (rate > 0) {
            return rate;
        }
        videoInputPrint("SETUP: STOMPATHON_CAMERA_FPS=%s is not a frame rate - using the recording's\n", forced);
    }
    double own = recording.get(cv::CAP_PROP_FPS);
    return own > 0 && own < 1000 ? own : 30.0;
}

// ---- The replay source -------------------------------------------------------------

namespace {

class ReplaySource : public VideoSource {
public:
    explicit ReplaySource(std::string filePath) : path(std::move(filePath)) {}
    ~ReplaySource() override;
    bool open(int w, int h);
    int getWidth() const override { return width; }
    int getHeight() const override { return height; }
    void start(SampleGrabberCallback* callback) override;
    void showSettings() override;

private:
    bool readLooping(cv::Mat& frame);
    void playLoop(SampleGrabberCallback* callback);

    std::string path;
    cv::VideoCapture recording;
    int width = 0;
    int height = 0;
    double framesPerSecond = 30;
    cv::Mat first;                          // read at open time to learn the size
    cv::Mat bottomUp;                       // one frame as the hand-off takes it
    std::mutex stopLock;
    std::condition_variable stopSignal;
    bool stopping = false;
    std::thread thread;
};

ReplaySource::~ReplaySource() {
    {
        std::lock_guard<std::mutex> guard(stopLock);
        stopping = true;
    }
    stopSignal.notify_all();
    if (thread.joinable()) {
        thread.join();
    }
}

bool ReplaySource::open(int w, int h) {
    // A missing file gets our one line, before the video reader tries each of its
    // back ends on it and logs their complaints.
    bool pattern = path.find('%') != std::string::npos;
    bool readable = pattern || access(path.c_str(), R_OK) == 0;
    if (!readable || !recording.open(path) || !recording.read(first) || first.empty()) {
        videoInputPrint("SETUP: the replay camera cannot open the recording %s\n", path.c_str());
        return false;
    }
    width = first.cols;
    height = first.rows;
    framesPerSecond = replayRate(recording);
    printSizeChoice(w, h, width, height);
    videoInputPrint("SETUP: Setting capture size to %i by %i \n", width, height);
    printMediaType("BGR24 recording");
    videoInputPrint("SETUP: replaying %s at %.3g frames a second, looping\n", path.c_str(), framesPerSecond);
    return true;
}

void ReplaySource::start(SampleGrabberCallback* callback) {
    thread = std::thread([this, callback] { playLoop(callback); });
}

void ReplaySource::showSettings() {
    videoInputPrint("SETUP: the replay camera has no settings\n");
}

bool ReplaySource::readLooping(cv::Mat& frame) {
    if (recording.read(frame) && !frame.empty()) {
        return true;
    }
    recording.set(cv::CAP_PROP_POS_FRAMES, 0);
    return recording.read(frame) && !frame.empty();
}

// One frame per period, paced against a clock so the rate does not drift; a
// late frame does not cause a burst.
void ReplaySource::playLoop(SampleGrabberCallback* callback) {
    auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(1.0 / framesPerSecond));
    auto due = std::chrono::steady_clock::now();
    cv::Mat frame = first;
    while (true) {
        if (frame.channels() == 1) {
            cv::cvtColor(frame, frame, cv::COLOR_GRAY2BGR);
        } else if (frame.channels() == 4) {
            cv::cvtColor(frame, frame, cv::COLOR_BGRA2BGR);
        }
        cv::flip(frame, bottomUp, 0);
        callback->SampleCB(0, bottomUp.data, static_cast<long>(bottomUp.total() * bottomUp.elemSize()));

        due += period;
        auto now = std::chrono::steady_clock::now();
        if (due < now) {
            due = now;
        }
        std::unique_lock<std::mutex> guard(stopLock);
        if (stopSignal.wait_until(guard, due, [this] { return stopping; })) {
            return;
        }
        guard.unlock();
        if (!readLooping(frame)) {
            videoInputPrint("VIDEOINPUT: the recording %s stopped delivering frames - replay ended\n", path.c_str());
            return;
        }
    }
}

} // namespace

// ---- Cameras ------------------------------------------------------------------

CameraEntry replayCamera(const std::string& path) {
    auto open = [path](int w, int h) -> std::unique_ptr<VideoSource> {
        auto source = std::make_unique<ReplaySource>(path);
        if (!source->open(w, h)) {
            return nullptr;
        }
        return source;
    };
    return {baseName(path), open, "recording " + path, path};
}
