// A small application that writes every call the frame runner makes on it as
// one line to a log file, so that the runner test can drive a real window and
// read back what arrived. Environment:
//   PROBE_LOG    log file (standard error when unset)
//   PROBE_TITLE  window title, so the test can find the window
//   PROBE_GO     when set, setup waits (at most 5 s) until this file exists
//   PROBE_FPS    when set, the frame-rate limit requested in setup
//   PROBE_NO_AUTO_BACKGROUND  when set, the automatic background is switched off;
//                each draw then logs the colour it finds under a square it paints
#include "ofAppRunner.h"
#include "ofGraphics.h"
#include "ofUtils.h"

#include <GL/glew.h>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

static FILE* logFile = stderr;

// One line per call, flushed at once: the process may be killed or end inside
// exit() at any moment.
static void logLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(logFile, format, args);
    va_end(args);
    std::fputc('\n', logFile);
    std::fflush(logFile);
}

static void waitForGoFile(const char* path) {
    for (int i = 0; i < 500 && access(path, F_OK) != 0; i++) {
        usleep(10000);
    }
}

class runnerProbeApp : public ofSimpleApp {
public:
    ~runnerProbeApp() override { logLine("destructor"); }

    void setup() override {
        if (const char* title = std::getenv("PROBE_TITLE")) {
            ofSetWindowTitle(title);
        }
        if (const char* fps = std::getenv("PROBE_FPS")) {
            ofSetFrameRate(std::atoi(fps));
        }
        paintsOverOwnBackground = std::getenv("PROBE_NO_AUTO_BACKGROUND") != nullptr;
        if (paintsOverOwnBackground) {
            ofSetBackgroundAuto(false);
        }
        logLine("setup frame=%d", ofGetFrameNum());
        if (const char* go = std::getenv("PROBE_GO")) {
            waitForGoFile(go);
        }
    }

    void draw() override {
        logLine("draw frame=%d t=%.3f fps=%.2f", ofGetFrameNum(), ofGetElapsedTimef(), ofGetFrameRate());
        if (paintsOverOwnBackground) {
            logFoundColourThenPaint();
        }
    }

    void exit() override { logLine("exit"); }

    void keyPressed(int key) override { logLine("keyPressed %d", key); }
    void keyReleased(int key) override { logLine("keyReleased %d", key); }

    void mouseMoved(int x, int y) override { logLine("moved %d %d mouse=%d,%d", x, y, mouseX, mouseY); }
    void mouseDragged(int x, int y, int button) override {
        logLine("dragged %d %d %d mouse=%d,%d", x, y, button, mouseX, mouseY);
    }
    void mousePressed(int x, int y, int button) override {
        logLine("pressed %d %d %d mouse=%d,%d", x, y, button, mouseX, mouseY);
    }
    void mouseReleased() override { logLine("released mouse=%d,%d", mouseX, mouseY); }

private:
    // What the frame holds at (5, 5) before this draw paints there in red.
    void logFoundColourThenPaint() {
        unsigned char rgb[3] = {0, 0, 0};
        glReadBuffer(GL_BACK);
        glReadPixels(5, ofGetHeight() - 1 - 5, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
        logLine("found %d %d %d", rgb[0], rgb[1], rgb[2]);
        ofSetColor(255, 0, 0);
        ofRect(0, 0, 20, 20);
    }

    bool paintsOverOwnBackground = false;
};

int main() {
    if (const char* path = std::getenv("PROBE_LOG")) {
        if (FILE* file = std::fopen(path, "w")) {
            logFile = file;
        }
    }
    ofSetupOpenGL(640, 480, OF_WINDOW);
    ofRunApp(new runnerProbeApp());
    return 0;
}
