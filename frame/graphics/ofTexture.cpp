#include "ofTexture.h"

#include "ofGraphics.h"
#include "../app/ofAppRunner.h"
#include "../utils/ofMath.h"

#include <cstdio>

// ---- File-level state ----------------------------------------------------------

static bool bRectangleAllowed = true;

// ---- Helpers ----------------------------------------------------------------------

static bool rectangleTexturesAvailable() {
    return bRectangleAllowed && GLEW_ARB_texture_rectangle;
}

static GLenum chooseTarget() {
    return rectangleTexturesAvailable() ? GL_TEXTURE_RECTANGLE_ARB : GL_TEXTURE_2D;
}

// Accepts an upload of w by h into the texture's storage: records its size and
// the texture coordinates of the used area. Refuses it with one console line,
// changing nothing, when it does not fit.
static bool acceptUpload(ofTexture& texture, int w, int h) {
    if (w > texture.allocWidth || h > texture.allocHeight) {
        std::printf("image data too big for allocated texture. not uploading... \n");
        return false;
    }
    texture.width = w;
    texture.height = h;
    if (texture.target == GL_TEXTURE_RECTANGLE_ARB) {
        texture.texCoordMaxX = static_cast<float>(w);
        texture.texCoordMaxY = static_cast<float>(h);
    } else {
        texture.texCoordMaxX = static_cast<float>(w) / texture.allocWidth;
        texture.texCoordMaxY = static_cast<float>(h) / texture.allocHeight;
    }
    return true;
}

// ---- ofTexture ----------------------------------------------------------------------

ofTexture::ofTexture()
    : target(chooseTarget()), texCoordMaxX(0), texCoordMaxY(0), allocWidth(0), allocHeight(0),
      width(0), height(0), textureId(0), flipped(false) {
}

ofTexture::ofTexture(const ofTexture&) : ofTexture() {
}

ofTexture& ofTexture::operator=(const ofTexture&) {
    return *this;
}

ofTexture::~ofTexture() {
    clear();
}

void ofTexture::allocate(int w, int h, int internalGlDataType) {
    if (rectangleTexturesAvailable()) {
        allocWidth = w;
        allocHeight = h;
        texCoordMaxX = static_cast<float>(w);
        texCoordMaxY = static_cast<float>(h);
    } else {
        allocWidth = ofNextPow2(w);
        allocHeight = ofNextPow2(h);
        texCoordMaxX = 1.0f;
        texCoordMaxY = 1.0f;
    }
    target = chooseTarget();

    clear();
    glGenTextures(1, &textureId);
    glEnable(target);
    glBindTexture(target, textureId);
    glTexImage2D(target, 0, internalGlDataType, allocWidth, allocHeight, 0, GL_LUMINANCE,
                 GL_UNSIGNED_BYTE, nullptr);
    glTexParameterf(target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameterf(target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameterf(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameterf(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(target);

    width = w;
    height = h;
    flipped = false;
}

void ofTexture::clear() {
    if (textureId != 0) {
        glDeleteTextures(1, &textureId);
        textureId = 0;
    }
    width = 0;
    height = 0;
    flipped = false;
}

void ofTexture::loadData(unsigned char* data, int w, int h, int glDataType) {
    if (!acceptUpload(*this, w, h)) {
        return;
    }

    GLint savedAlignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &savedAlignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glEnable(target);
    glBindTexture(target, textureId);
    glTexSubImage2D(target, 0, 0, 0, w, h, glDataType, GL_UNSIGNED_BYTE, data);
    glDisable(target);
    glPixelStorei(GL_UNPACK_ALIGNMENT, savedAlignment);

    flipped = false;
}

void ofTexture::loadScreenData(int x, int y, int w, int h) {
    int glY = ofGetHeight() - y - h;
    flipped = true;
    if (!acceptUpload(*this, w, h)) {
        return;
    }

    glEnable(target);
    glBindTexture(target, textureId);
    glCopyTexSubImage2D(target, 0, 0, 0, x, glY, w, h);
    glDisable(target);
}

void ofTexture::draw(float x, float y, float w, float h) {
    glEnable(target);
    glBindTexture(target, textureId);

    int wholeWidth = static_cast<int>(w);
    int wholeHeight = static_cast<int>(h);
    int left = 0, top = 0, right = wholeWidth, bottom = wholeHeight;
    if (ofGetRectMode() == OF_RECTMODE_CENTER) {
        left = -wholeWidth / 2;
        right = wholeWidth / 2;
        top = -wholeHeight / 2;
        bottom = wholeHeight / 2;
    }
    if (flipped) {
        int swap = top;
        top = bottom;
        bottom = swap;
    }

    // Power-of-two storage is sampled one texel in from each edge, so linear
    // filtering never reaches the undefined texels beyond the picture.
    float insetX = 0, insetY = 0;
    if (target == GL_TEXTURE_2D) {
        insetX = 1.0f / allocWidth;
        insetY = 1.0f / allocHeight;
    }
    float s0 = insetX, t0 = insetY;
    float s1 = texCoordMaxX - insetX, t1 = texCoordMaxY - insetY;

    glPushMatrix();
    glTranslated(x, y, 0);
    glBegin(GL_QUADS);
    glTexCoord2f(s0, t0);
    glVertex3i(left, top, 0);
    glTexCoord2f(s1, t0);
    glVertex3i(right, top, 0);
    glTexCoord2f(s1, t1);
    glVertex3i(right, bottom, 0);
    glTexCoord2f(s0, t1);
    glVertex3i(left, bottom, 0);
    glEnd();
    glPopMatrix();
    glDisable(target);
}

void ofTexture::draw(float x, float y) {
    draw(x, y, static_cast<float>(width), static_cast<float>(height));
}

// ---- Rectangle texture switch -----------------------------------------------------------

void ofSetTextureRectangleAllowed(bool allowed) {
    bRectangleAllowed = allowed;
}
