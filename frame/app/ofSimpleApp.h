#pragma once

// The base class of applications: the frame runner calls these operations on
// the main-loop thread. All of them do nothing here.
class ofSimpleApp {
public:
    virtual ~ofSimpleApp() {}

    // Lifecycle
    virtual void setup() {}                 // once, before the main loop
    virtual void update() {}                // once per idle pass
    virtual void draw() {}                  // once per displayed frame
    virtual void exit() {}                  // once, at process exit

    // Keyboard: characters 0..255, function and arrow keys as their code + 256
    virtual void keyPressed(int key) { (void)key; }
    virtual void keyReleased(int key) { (void)key; }

    // Mouse: window pixels, top-left origin; buttons 0 left, 1 middle, 2 right
    virtual void mouseMoved(int x, int y) { (void)x; (void)y; }
    virtual void mouseDragged(int x, int y, int button) { (void)x; (void)y; (void)button; }
    virtual void mousePressed(int x, int y, int button) { (void)x; (void)y; (void)button; }
    virtual void mouseReleased() {}

    // Audio streams (never called by the runner)
    virtual void audioReceived(float* input, int bufferSize, int nChannels) {
        (void)input; (void)bufferSize; (void)nChannels;
    }
    virtual void audioRequested(float* output, int bufferSize, int nChannels) {
        (void)output; (void)bufferSize; (void)nChannels;
    }

    int mouseX = 0;     // last mouse position delivered by the runner
    int mouseY = 0;
};
