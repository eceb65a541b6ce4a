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
#include <vector>

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

// Tells ofStartDetached why the program did not start; the pipe stays empty
// when it did.
static void reportError(int reportFd) {
    int error = errno;
    ssize_t written = write(reportFd, &error, sizeof(error));
    (void)written;
}

// Runs in the grandchild: the arguments go to the program as they are, never
// through a shell, with the standard streams detached from ours. A successful
// exec closes the pipe.
static void execDetached(const std::vector<std::string>& arguments, int reportFd) {
    int devNull = open("/dev/null", O_RDWR);
    if (devNull >= 0) {
        dup2(devNull, STDIN_FILENO);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    reportError(reportFd);
    _exit(127);
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

// Double fork: the intermediate child exits at once and is reaped here, so the
// program (which may run as long as it likes) belongs to init and never
// becomes our zombie.
bool ofStartDetached(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        return false;
    }
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        return false;
    }
    std::fflush(stdout);
    pid_t child = fork();
    if (child == 0) {
        setsid();
        signal(SIGCHLD, SIG_DFL);
        pid_t program = fork();
        if (program == 0) {
            execDetached(arguments, report[1]);
        }
        if (program < 0) {
            reportError(report[1]);
        }
        _exit(0);
    }
    close(report[1]);
    int status = 0;
    while (child > 0 && waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    while ((got = read(report[0], &error, sizeof(error))) < 0 && errno == EINTR) {
    }
    close(report[0]);
    return child > 0 && got == 0;
}

void ofLaunchBrowser(std::string url) {
    if (url.compare(0, 7, "http://") != 0) {
        std::printf("ofLaunchBrowser: url must begin http://\n");
        return;
    }
    ofStartDetached({"xdg-open", url});
}

std::string ofGetVersionInfo() {
    return "Stompathon application frame, version 0.1\n";
}
