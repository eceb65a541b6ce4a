// Uploading and drawing a camera-sized picture through ofTexture, against the
// same work done with bare GL calls in the same run (the reference).
#include "ofAppRunner.h"
#include "ofGraphics.h"
#include "ofTexture.h"

#include <GL/glew.h>
#include <benchmark/benchmark.h>
#include <vector>

static const int cameraWidth = 320;
static const int cameraHeight = 240;

static std::vector<unsigned char> cameraPicture() {
    std::vector<unsigned char> rgb(cameraWidth * cameraHeight * 3);
    for (size_t i = 0; i < rgb.size(); i++) {
        rgb[i] = static_cast<unsigned char>(i * 7);
    }
    return rgb;
}

static void ReferenceBareGlUploadAndDraw(benchmark::State& state) {
    std::vector<unsigned char> picture = cameraPicture();
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, name);
    glTexImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, GL_RGB, cameraWidth, cameraHeight, 0, GL_RGB,
                 GL_UNSIGNED_BYTE, nullptr);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (auto _ : state) {
        glEnable(GL_TEXTURE_RECTANGLE_ARB);
        glTexSubImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, 0, 0, cameraWidth, cameraHeight, GL_RGB,
                        GL_UNSIGNED_BYTE, picture.data());
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex2i(160, 20);
        glTexCoord2f(cameraWidth, 0);
        glVertex2i(480, 20);
        glTexCoord2f(cameraWidth, cameraHeight);
        glVertex2i(480, 260);
        glTexCoord2f(0, cameraHeight);
        glVertex2i(160, 260);
        glEnd();
        glDisable(GL_TEXTURE_RECTANGLE_ARB);
        glFinish();
    }
    glDeleteTextures(1, &name);
}

static void TextureUploadAndDraw(benchmark::State& state) {
    std::vector<unsigned char> picture = cameraPicture();
    ofSetTextureRectangleAllowed(state.range(0) != 0);
    ofTexture texture;
    texture.allocate(cameraWidth, cameraHeight, GL_RGB);
    for (auto _ : state) {
        texture.loadData(picture.data(), cameraWidth, cameraHeight, GL_RGB);
        texture.draw(160, 20);
        glFinish();
    }
    ofSetTextureRectangleAllowed(true);
}

BENCHMARK(ReferenceBareGlUploadAndDraw);
BENCHMARK(TextureUploadAndDraw)->Arg(1)->ArgName("rectangle");
BENCHMARK(TextureUploadAndDraw)->Arg(0)->ArgName("rectangle");

int main(int argc, char** argv) {
    ofSetupOpenGL(640, 480, OF_WINDOW);
    ofSetupScreen();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
