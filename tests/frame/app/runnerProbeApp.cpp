// Prints every call the frame runner makes on it, a line each, for the runner
// test to read back. PROBE_HOLD: setup waits (at most 5 s) for a file "go" in the
// working folder; PROBE_FPS: the frame-rate limit; PROBE_NO_AUTO_BACKGROUND: no
// automatic background, and each draw prints the colour under the square it paints.
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
        paintsOverOwnBackground = std::getenv("PROBE_NO_AUTO_BACKGROUND") != nullptr;
        ofSetBackgroundAuto(!paintsOverOwnBackground);
        std::printf("setup frame=%d\n", ofGetFrameNum());
        for (int i = 0; i < 500 && std::getenv("PROBE_HOLD") != nullptr && access("go", F_OK) != 0; i++) {
            usleep(10000);
        }
    }

    void draw() override {
        std::printf("draw frame=%d\ntime %.3f fps %.2f\n", ofGetFrameNum(), ofGetElapsedTimef(), ofGetFrameRate());
        if (paintsOverOwnBackground) {
            // What the frame holds at (5, 5) before this draw paints there in red
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
    void mouseDragged(int x, int y, int button) override {
        std::printf("dragged %d %d %d mouse=%d,%d\n", x, y, button, mouseX, mouseY);
    }
    void mousePressed(int x, int y, int button) override {
        std::printf("pressed %d %d %d mouse=%d,%d\n", x, y, button, mouseX, mouseY);
    }
    void mouseReleased() override { std::printf("released mouse=%d,%d\n", mouseX, mouseY); }

private:
    bool paintsOverOwnBackground = false;
};

int main() {
    // A line at a time: the test reads the console while the program runs.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    ofSetupOpenGL(640, 480, OF_WINDOW);
    ofRunApp(new runnerProbeApp());
}
