// Prints every call the runner makes on it. PROBE_HOLD: setup waits (at most 5 s) for a file "go";
// PROBE_FPS: the frame-rate limit; PROBE_NO_AUTO_BACKGROUND: each draw prints what it paints over.
#include "ofAppRunner.h"
#include "ofGraphics.h"
#include "ofUtils.h"

#include <GL/glew.h>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

class runnerProbeApp : public ofSimpleApp {
public:
    ~runnerProbeApp() override { std::printf("destructor\n"); }

    void setup() override {
        const char* fps = std::getenv("PROBE_FPS");
        ofSetFrameRate(fps != nullptr ? std::atoi(fps) : 0);
        ofSetBackgroundAuto(std::getenv("PROBE_NO_AUTO_BACKGROUND") == nullptr);
        std::printf("setup frame=%d\n", ofGetFrameNum());
        for (int i = 0; i < 500 && std::getenv("PROBE_HOLD") != nullptr && access("go", F_OK) != 0; i++) {
            usleep(10000);
        }
    }

    void draw() override {
        std::printf("draw frame=%d\ntime %.3f\n", ofGetFrameNum(), ofGetElapsedTimef());
        if (!ofbClearBg()) {
            unsigned char rgb[3] = {0, 0, 0};
            glReadPixels(5, ofGetHeight() - 1 - 5, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
            std::printf("found %d %d %d\n", rgb[0], rgb[1], rgb[2]);
            ofSetColor(255, 0, 0);
            ofRect(0, 0, 20, 20);
        }
    }

    void exit() override { std::printf("exit\n"); }

    void keyPressed(int key) override { std::printf("keyPressed %d\n", key); }
    void keyReleased(int key) override { std::printf("keyReleased %d\n", key); }

    void mouseMoved(int x, int y) override { std::printf("moved %d %d mouse=%d,%d\n", x, y, mouseX, mouseY); }
    void mouseDragged(int x, int y, int button) override { std::printf("dragged %d %d %d\n", x, y, button); }
    void mousePressed(int x, int y, int button) override { std::printf("pressed %d %d %d\n", x, y, button); }
    void mouseReleased() override { std::printf("released mouse=%d,%d\n", mouseX, mouseY); }
};

int main() {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);      // the test reads the console while the program runs
    ofSetupOpenGL(640, 480, OF_WINDOW);
    ofRunApp(new runnerProbeApp());
}
