#include "videoSource.h"
#include "v4l2Formats.h"

#include "ofUtils.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <glob.h>
#include <libv4l2.h>
#include <libv4lconvert.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

// ---- Helpers ----------------------------------------------------------------

static int xioctl(int fd, unsigned long request, void* arg) {
    int result;
    do {
        result = v4l2_ioctl(fd, request, arg);
    } while (result < 0 && errno == EINTR);
    return result;
}

static int nodeNumber(const std::string& path) {
    return std::atoi(path.c_str() + std::strlen("/dev/video"));
}

static std::vector<std::string> videoNodes() {
    std::vector<std::string> nodes;
    glob_t found{};
    if (glob("/dev/video*", 0, nullptr, &found) == 0) {
        for (size_t i = 0; i < found.gl_pathc; i++) {
            nodes.push_back(found.gl_pathv[i]);
        }
    }
    globfree(&found);
    std::sort(nodes.begin(), nodes.end(),
              [](const std::string& a, const std::string& b) { return nodeNumber(a) < nodeNumber(b); });
    return nodes;
}

// The card name and bus of a node that captures video by streaming; an empty
// name otherwise.
static std::string captureCardName(const std::string& path, std::string& bus) {
    int fd = v4l2_open(path.c_str(), O_RDWR | O_NONBLOCK);
    if (fd < 0) {
        return "";
    }
    v4l2_capability caps{};
    std::string name;
    if (xioctl(fd, VIDIOC_QUERYCAP, &caps) == 0) {
        uint32_t offered = (caps.capabilities & V4L2_CAP_DEVICE_CAPS) ? caps.device_caps : caps.capabilities;
        uint32_t needed = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
        if ((offered & needed) == needed) {
            name = reinterpret_cast<const char*>(caps.card);
            bus = reinterpret_cast<const char*>(caps.bus_info);
        }
    }
    v4l2_close(fd);
    return name;
}

static void startPanel(const std::string& path) {
    if (!ofStartDetached({"qv4l2", "-d", path})) {
        videoInputPrint("SETUP: no camera control panel found - install qv4l2 to change camera settings\n");
    }
}

// ---- The V4L2 source ------------------------------------------------------------

namespace {

struct MappedBuffer {
    void* start = MAP_FAILED;
    size_t length = 0;
};

class V4l2Source : public VideoSource {
public:
    explicit V4l2Source(std::string nodePath) : path(std::move(nodePath)) {}
    ~V4l2Source() override;
    bool open(int w, int h);
    int getWidth() const override { return width; }
    int getHeight() const override { return height; }
    void start(SampleGrabberCallback* callback) override;
    void showSettings() override { startPanel(path); }
    bool isLost() const override { return lost; }

private:
    bool chooseFormat(int w, int h);
    bool mapBuffers();
    bool fail(const char* what);
    void captureLoop(SampleGrabberCallback* callback);
    bool deliverOne(SampleGrabberCallback* callback);

    std::string path;
    int fd = -1;
    int width = 0;
    int height = 0;
    int stride = 0;                         // bytes per row as the driver lays them out
    bool streaming = false;
    std::vector<MappedBuffer> buffers;
    std::vector<unsigned char> packed;      // one frame bottom-up, rows packed
    std::atomic<bool> stopping{false};
    std::atomic<bool> lost{false};          // the camera went away; the thread has ended
    std::thread thread;
};

V4l2Source::~V4l2Source() {
    stopping = true;
    if (thread.joinable()) {
        thread.join();
    }
    if (streaming) {
        v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        xioctl(fd, VIDIOC_STREAMOFF, &type);
    }
    for (MappedBuffer& buffer : buffers) {
        if (buffer.start != MAP_FAILED) {
            v4l2_munmap(buffer.start, buffer.length);
        }
    }
    if (fd >= 0) {
        v4l2_close(fd);
    }
}

bool V4l2Source::fail(const char* what) {
    videoInputPrint("SETUP: %s failed on %s: %s\n", what, path.c_str(), std::strerror(errno));
    return false;
}

bool V4l2Source::open(int w, int h) {
    fd = v4l2_open(path.c_str(), O_RDWR | O_NONBLOCK);
    if (fd < 0) {
        return fail("opening the camera");
    }
    if (!chooseFormat(w, h) || !mapBuffers()) {
        return false;
    }
    v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (xioctl(fd, VIDIOC_STREAMON, &type) < 0) {
        return fail("starting the stream");
    }
    streaming = true;
    packed.assign(static_cast<size_t>(width) * height * 3, 0);
    return true;
}

// Asks for the offered size closest to w by h, in BGR24 (converted by libv4l2).
bool V4l2Source::chooseFormat(int w, int h) {
    v4lconvert_data* convert = v4lconvert_create(fd);
    FrameSize chosen = closestFrameSize(offeredFrameSizes(convert), w, h);
    if (chosen.width == 0) {
        chosen = {w, h};
    }
    uint32_t native = nativeFormatFor(convert, chosen.width, chosen.height);
    v4lconvert_destroy(convert);

    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    format.fmt.pix.width = static_cast<uint32_t>(chosen.width);
    format.fmt.pix.height = static_cast<uint32_t>(chosen.height);
    format.fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;
    format.fmt.pix.field = V4L2_FIELD_ANY;
    if (xioctl(fd, VIDIOC_S_FMT, &format) < 0 || format.fmt.pix.pixelformat != V4L2_PIX_FMT_BGR24) {
        return fail("setting a 24-bit format");
    }
    width = static_cast<int>(format.fmt.pix.width);
    height = static_cast<int>(format.fmt.pix.height);
    stride = std::max(static_cast<int>(format.fmt.pix.bytesperline), width * 3);
    printSizeChoice(w, h, width, height);
    videoInputPrint("SETUP: Setting capture size to %i by %i \n", width, height);
    printMediaType(fourccName(native));
    return true;
}

bool V4l2Source::mapBuffers() {
    v4l2_requestbuffers request{};
    request.count = 4;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    if (xioctl(fd, VIDIOC_REQBUFS, &request) < 0 || request.count == 0) {
        return fail("requesting capture buffers");
    }
    buffers.resize(request.count);
    for (uint32_t i = 0; i < request.count; i++) {
        v4l2_buffer buffer{};
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        buffer.index = i;
        if (xioctl(fd, VIDIOC_QUERYBUF, &buffer) < 0) {
            return fail("querying a capture buffer");
        }
        buffers[i].length = buffer.length;
        buffers[i].start = v4l2_mmap(nullptr, buffer.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, buffer.m.offset);
        if (buffers[i].start == MAP_FAILED || xioctl(fd, VIDIOC_QBUF, &buffer) < 0) {
            return fail("mapping a capture buffer");
        }
    }
    return true;
}

void V4l2Source::start(SampleGrabberCallback* callback) {
    thread = std::thread([this, callback] { captureLoop(callback); });
}

// A passing read error is tried again a moment later; a camera that went away
// ends the thread, and the grabber looks for it to come back.
void V4l2Source::captureLoop(SampleGrabberCallback* callback) {
    while (!stopping) {
        pollfd waiting{fd, POLLIN, 0};
        int ready = poll(&waiting, 1, 200);
        if (ready == 0 || (ready < 0 && errno == EINTR)) {
            continue;
        }
        errno = 0;
        bool delivered = ready > 0 && !(waiting.revents & POLLNVAL) && deliverOne(callback);
        if (delivered) {
            continue;
        }
        if (cameraIsGone(errno) || (waiting.revents & POLLNVAL)) {
            lost = true;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool V4l2Source::deliverOne(SampleGrabberCallback* callback) {
    v4l2_buffer buffer{};
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    if (xioctl(fd, VIDIOC_DQBUF, &buffer) < 0) {
        return errno == EAGAIN;
    }
    if (buffer.bytesused >= static_cast<uint32_t>(stride) * (height - 1) + width * 3) {
        packRowsBottomUp(static_cast<unsigned char*>(buffers[buffer.index].start), stride, width, height,
                         packed.data());
        double seconds = buffer.timestamp.tv_sec + buffer.timestamp.tv_usec / 1e6;
        callback->SampleCB(seconds, packed.data(), static_cast<long>(packed.size()));
    }
    return xioctl(fd, VIDIOC_QBUF, &buffer) == 0;
}

} // namespace

// ---- Cameras ------------------------------------------------------------------

std::vector<CameraEntry> v4l2Cameras() {
    std::vector<CameraEntry> cameras;
    for (const std::string& path : videoNodes()) {
        std::string bus;
        std::string name = captureCardName(path, bus);
        if (name.empty()) {
            continue;
        }
        auto open = [path](int w, int h) -> std::unique_ptr<VideoSource> {
            auto source = std::make_unique<V4l2Source>(path);
            if (!source->open(w, h)) {
                return nullptr;
            }
            return source;
        };
        cameras.push_back({name, open, name + " at " + bus, path});
    }
    return cameras;
}
