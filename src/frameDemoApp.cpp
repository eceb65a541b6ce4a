#include "frameDemoApp.h"

#include "ofAppRunner.h"
#include "ofGraphics.h"
#include "ofUtils.h"

#include <cmath>

static const int stripeSize = 64;

void frameDemoApp::setup() {
    ofSetWindowTitle("Stompathon");
    ofBackground(30, 90, 50);
    background.loadImage("gameBackground.jpg");
    title.loadFont("vag.ttf", 32);
    pixels.resize(stripeSize * stripeSize * 3);
    for (int y = 0; y < stripeSize; y++) {
        for (int x = 0; x < stripeSize; x++) {
            unsigned char* pixel = &pixels[(y * stripeSize + x) * 3];
            bool lane = (y / 8) % 2 == 0;
            pixel[0] = lane ? 200 : 255;
            pixel[1] = lane ? 70 : 255;
            pixel[2] = lane ? 50 : 255;
        }
    }
    stripes.allocate(stripeSize, stripeSize, GL_RGB);
    stripes.loadData(pixels.data(), stripeSize, stripeSize, GL_RGB);
}

void frameDemoApp::update() {
    phase = ofGetElapsedTimef();
}

void frameDemoApp::draw() {
    ofSetColor(0xFFFFFF);
    background.draw(0, 0);
    ofEnableAlphaBlending();
    ofSetColor(0, 0, 0);
    title.drawString("Stompathon", 182, 222);
    ofSetColor(255, 220, 40);
    title.drawString("Stompathon", 180, 220);
    ofDisableAlphaBlending();
    drawShapes();
    ofSetColor(0xFFFFFF);
    stripes.draw(520, 40, 96, 96);
    drawStatus();
}

void frameDemoApp::keyPressed(int key) {
    lastKey = key;
    if (key == 'f') {
        ofToggleFullscreen();
    }
}

void frameDemoApp::mousePressed(int, int, int) {
    clicks++;
}

void frameDemoApp::drawShapes() {
    ofFill();
    ofSetColor(200, 70, 50);
    ofRect(40, 380, 560, 60);
    ofSetColor(0xFFFFFF);
    for (int lane = 1; lane < 4; lane++) {
        ofLine(40, 380 + lane * 15, 600, 380 + lane * 15);
    }

    float runnerX = 60 + (std::sin(phase) + 1) * 260;
    ofSetColor(250, 220, 40);
    ofCircle(runnerX, 350, 18);
    ofSetColor(40, 120, 230);
    ofEllipse(runnerX, 330, 8, 12);

    ofNoFill();
    ofEnableSmoothing();
    ofSetColor(40, 120, 230);
    ofCurve(0, 300, 60, 360, runnerX - 20, 360, runnerX + 200, 300);
    ofSetColor(255, 255, 255);
    ofTriangle(300, 160, 360, 260, 240, 260);
    ofSetRectMode(OF_RECTMODE_CENTER);
    ofRect(mouseX, mouseY, 20, 20);
    ofSetRectMode(OF_RECTMODE_CORNER);
    ofDisableSmoothing();
    ofFill();
}

void frameDemoApp::drawStatus() {
    std::string status = "fps: " + ofToString(ofGetFrameRate(), 1) +
                         "\nframe: " + ofToString(ofGetFrameNum()) +
                         "\nclicks: " + ofToString(clicks) +
                         "\nlast key: " + ofToString(lastKey) +
                         "\nf: full screen, Esc: quit";
    ofSetColor(0xFFFFFF);
    ofDrawBitmapString(status, 20, 30);
}
