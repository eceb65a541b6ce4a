#pragma once

#include <string>
#include <vector>

// Frame number (written by the frame runner after every displayed frame)
void setFrameNum(int n);
int ofGetFrameNum();                        // frames displayed so far

// Elapsed time since the window system was set up
void ofResetElapsedTimeCounter();           // called by ofSetupOpenGL; the counter also starts at load
int ofGetElapsedTimeMillis();
float ofGetElapsedTimef();                  // seconds

// Local time of day, read afresh on every call
int ofGetSeconds();                         // 0..60
int ofGetMinutes();                         // 0..59
int ofGetHours();                           // 0..23
int ofGetYear();                            // full year, e.g. 2026
int ofGetMonth();                           // 1..12
int ofGetDay();                             // 1..31
int ofGetWeekday();                         // 0..6, 0 is Sunday

// Files
std::string ofToDataPath(std::string path); // "data/" prefixed unless it starts with "/" or "data/"

// Text
std::string ofToString(double value, int precision);  // fixed point, exactly precision decimals
std::string ofToString(int value);

// Desktop
void ofLaunchBrowser(std::string url);      // returns at once; only "http://" URLs are opened
bool ofStartDetached(const std::vector<std::string>& arguments);   // program and its arguments, no shell;
                                            // returns at once, false if it could not be started
std::string ofGetVersionInfo();             // one line, ending with a line end
