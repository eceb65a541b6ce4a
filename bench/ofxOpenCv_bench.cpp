// The running game's per-frame vision path (camera frame in, HSV, planes, two
// shoe masks, the largest region of each) with the image buffers and the contour
// finder, against the same work written directly on OpenCV in the same run; and
// the game screen's own keying of the camera picture with both finders.
#include "fingerTracking.h"
#include "ofAppRunner.h"
#include "shoeKeying.h"
#include "videoSource.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

static const int frameCount = 8;

static void ReferenceOpenCv(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = w * 3 / 4;
    std::vector<std::vector<unsigned char>> frames = shoeFrames(w, h, frameCount);
    cv::Mat hsv, maskOne, maskTwo;
    std::vector<std::vector<cv::Point>> contours;
    auto largestCentre = [&](const cv::Mat& mask) {
        cv::findContours(mask, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
        int best = -1;
        double bestArea = 10;
        for (size_t i = 0; i < contours.size(); i++) {
            double area = cv::contourArea(contours[i]);
            if (area > bestArea && area < w * h / 3) {
                bestArea = area;
                best = static_cast<int>(i);
            }
        }
        return best < 0 ? cv::Moments() : cv::moments(contours[best]);
    };
    int f = 0;
    for (auto _ : state) {
        cv::Mat camera(h, w, CV_8UC3, frames[f++ % frameCount].data());
        cv::cvtColor(camera, hsv, cv::COLOR_RGB2HSV);
        cv::inRange(hsv, cv::Scalar(5 - 12, 220 - 24, 0), cv::Scalar(5 + 12, 220 + 200, 255), maskOne);
        cv::inRange(hsv, cv::Scalar(110 - 6, 215 - 12, 0), cv::Scalar(110 + 6, 215 + 200, 255), maskTwo);
        benchmark::DoNotOptimize(largestCentre(maskOne).m00);
        benchmark::DoNotOptimize(largestCentre(maskTwo).m00);
    }
}

static void ShoeKeyingWithBuffers(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = w * 3 / 4;
    std::vector<std::vector<unsigned char>> frames = shoeFrames(w, h, frameCount);
    ShoeKeyingPath path(w, h, true);
    int f = 0;
    for (auto _ : state) {
        path.makeMasks(frames[f++ % frameCount].data());
        path.findShoes();
        benchmark::DoNotOptimize(path.trackerOne.blobCount + path.trackerTwo.blobCount);
    }
}

// A camera whose frames the benchmark hands over itself.
static SampleGrabberCallback* benchFeed = nullptr;

class BenchCamera : public VideoSource {
public:
    int getWidth() const override { return 320; }
    int getHeight() const override { return 240; }
    void start(SampleGrabberCallback* callback) override { benchFeed = callback; }
    void showSettings() override {}
};

// The game's keying (doCameraKeying) on the camera picture; handing each frame
// to the camera is not timed.
static void GameKeying(benchmark::State& state) {
    const int w = 320, h = 240;
    overrideCameras({{"bench camera", [](int, int) { return std::unique_ptr<VideoSource>(new BenchCamera()); }, "", ""}});
    static FingerTracking* game = new FingerTracking();    // kept, as the game keeps its screen
    game->shoeOne.hue = shoeOneBand.hue;
    game->shoeOne.sat = shoeOneBand.sat;
    game->shoeTwo.hue = shoeTwoBand.hue;
    game->shoeTwo.sat = shoeTwoBand.sat;
    std::vector<std::vector<unsigned char>> frames;
    for (std::vector<unsigned char>& rgb : shoeFrames(w, h, frameCount)) {
        cv::Mat bgr;
        cv::cvtColor(cv::Mat(h, w, CV_8UC3, rgb.data()), bgr, cv::COLOR_RGB2BGR);
        cv::flip(bgr, bgr, 0);      // the capture layer's frames run bottom-up
        frames.emplace_back(bgr.data, bgr.data + bgr.total() * 3);
    }
    int f = 0;
    for (auto _ : state) {
        state.PauseTiming();
        benchFeed->SampleCB(0, frames[f++ % frameCount].data(), w * h * 3);
        game->grabber.grabFrame();
        state.ResumeTiming();
        game->doCameraKeying();
        benchmark::DoNotOptimize(game->trackerOne.blobCount + game->trackerTwo.blobCount);
    }
    restoreCameras();
}

BENCHMARK(ReferenceOpenCv)->Arg(320)->Arg(640)->ArgName("width");
BENCHMARK(ShoeKeyingWithBuffers)->Arg(320)->Arg(640)->ArgName("width");
BENCHMARK(GameKeying);

// Prints as usual and remembers each run's time (the median when repeated),
// so the ratio to the reference can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> times;    // run name -> real time, ns

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            bool single = run.run_type == Run::RT_Iteration;
            if (single || run.aggregate_name == "median") {
                times[run.run_name.str()] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

int main(int argc, char** argv) {
    ofSetupOpenGL(640, 480, OF_WINDOW);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* width : {"320", "640"}) {
        std::string suffix = std::string("/width:") + width;
        auto reference = reporter.times.find("ReferenceOpenCv" + suffix);
        auto ours = reporter.times.find("ShoeKeyingWithBuffers" + suffix);
        if (reference != reporter.times.end() && ours != reporter.times.end()) {
            std::printf("width %s: buffers %.0f ns, plain OpenCV %.0f ns, ratio %.2f (target 1.30 or less)\n",
                        width, ours->second, reference->second, ours->second / reference->second);
        }
    }
    auto reference = reporter.times.find("ReferenceOpenCv/width:320");
    auto game = reporter.times.find("GameKeying");
    if (reference != reporter.times.end() && game != reporter.times.end()) {
        std::printf("width 320: game keying %.0f ns, plain OpenCV %.0f ns, ratio %.2f (target 1.30 or less)\n",
                    game->second, reference->second, game->second / reference->second);
    }
    benchmark::Shutdown();
    return 0;
}
