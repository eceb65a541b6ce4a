#include "ofUtils.h"

#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

// ---- File-level state -------------------------------------------------------

static int numFrames = 0;
static std::chrono::steady_clock::time_point startTime = std::chrono::steady_clock::now();

// ---- Helpers ----------------------------------------------------------------

static std::tm localTimeNow() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

// Runs in the grandchild: the URL goes to the desktop's handler as one argument,
// never through a shell, with the standard streams detached from ours.
static void execBrowserHandler(const std::string& url) {
    int devNull = open("/dev/null", O_RDWR);
    if (devNull >= 0) {
        dup2(devNull, STDIN_FILENO);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
    }
    execlp("xdg-open", "xdg-open", url.c_str(), static_cast<char*>(nullptr));
    _exit(127);
}

// Double fork: the intermediate child exits at once and is reaped here, so the
// handler (which may block until the browser closes) belongs to init and never
// becomes our zombie.
static void startDetached(const std::string& url) {
    std::fflush(stdout);
    pid_t child = fork();
    if (child < 0) {
        return;
    }
    if (child == 0) {
        setsid();
        signal(SIGCHLD, SIG_DFL);
        pid_t grandchild = fork();
        if (grandchild == 0) {
            execBrowserHandler(url);
        }
        _exit(0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

// ---- Frame number -------------------------------------------------------------

void setFrameNum(int n) {
    numFrames = n;
}

int ofGetFrameNum() {
    return numFrames;
}

// ---- Elapsed time -------------------------------------------------------------

void ofResetElapsedTimeCounter() {
    startTime = std::chrono::steady_clock::now();
}

int ofGetElapsedTimeMillis() {
    auto elapsed = std::chrono::steady_clock::now() - startTime;
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

float ofGetElapsedTimef() {
    return ofGetElapsedTimeMillis() / 1000.0f;
}

// ---- Local time of day ----------------------------------------------------------

int ofGetSeconds() {
    return localTimeNow().tm_sec;
}

int ofGetMinutes() {
    return localTimeNow().tm_min;
}

int ofGetHours() {
    return localTimeNow().tm_hour;
}

int ofGetYear() {
    return localTimeNow().tm_year + 1900;
}

int ofGetMonth() {
    return localTimeNow().tm_mon + 1;
}

int ofGetDay() {
    return localTimeNow().tm_mday;
}

int ofGetWeekday() {
    return localTimeNow().tm_wday;
}

// ---- Files ----------------------------------------------------------------------

std::string ofToDataPath(std::string path) {
    bool absolute = !path.empty() && path[0] == '/';
    bool inDataDir = path.compare(0, 5, "data/") == 0;
    if (absolute || inDataDir) {
        return path;
    }
    return "data/" + path;
}

// ---- Text -------------------------------------------------------------------------

std::string ofToString(double value, int precision) {
    std::ostringstream out;
    out.setf(std::ios::fixed, std::ios::floatfield);
    out.precision(precision);
    out << value;
    return out.str();
}

std::string ofToString(int value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

// ---- Desktop ----------------------------------------------------------------------

void ofLaunchBrowser(std::string url) {
    if (url.compare(0, 7, "http://") != 0) {
        std::printf("ofLaunchBrowser: url must begin http://\n");
        return;
    }
    startDetached(url);
}

std::string ofGetVersionInfo() {
    return "Stompathon application frame, version 0.1\n";
}
