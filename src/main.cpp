#include "ofAppRunner.h"
#include "testApp.h"

int main() {
    ofSetupOpenGL(640, 480, OF_WINDOW);
    ofRunApp(new testApp());
    return 0;
}
