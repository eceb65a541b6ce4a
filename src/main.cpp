#include "frameDemoApp.h"
#include "ofAppRunner.h"

int main() {
    ofSetupOpenGL(640, 480, OF_WINDOW);
    ofRunApp(new frameDemoApp());
    return 0;
}
