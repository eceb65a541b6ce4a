#pragma once

#include "scratchFolder.h"

#include <opencv2/core.hpp>
#include <string>
#include <sys/types.h>
#include <vector>

// A headless Chromium with a profile of its own, driven over the W3C WebDriver
// protocol through its own ChromeDriver on a free loopback port, for tests that
// look at a page the way a player does. Every call waits for the browser's
// answer; a command the browser refuses throws std::runtime_error with its
// reason. The destructor ends the browser and its driver; if the test dies
// first, the system ends them.
class WebDriver {
public:
    WebDriver(int windowWidth, int windowHeight);   // throws when no browser starts
    ~WebDriver();
    WebDriver(const WebDriver&) = delete;
    WebDriver& operator=(const WebDriver&) = delete;

    // The window and its page
    void setWindowSize(int width, int height);  // the viewport is the window less its frame
    void navigate(const std::string& url);      // returns once the page has loaded
    cv::Mat screenshot();                       // the viewport, BGR, in device pixels

    // Runs a function body in the page, with `args` as arguments[0], [1]...;
    // its return value as text: a string as it is, anything else as JSON.
    std::string script(const std::string& body, const std::vector<std::string>& args = {});

    // Elements, found by CSS selector; waits up to 5 s for one to appear, so a
    // find right after a click also waits for the page the click brings.
    std::string find(const std::string& cssSelector);   // the browser's reference to the first match
    void sendKeys(const std::string& element, const std::string& text);
    void click(const std::string& element);

private:
    bool startDriver();
    void stopDriver();
    std::string command(const std::string& method, const std::string& path, const std::string& body = "{}");

    ScratchFolder scratch{"stompathon-browser"};
    pid_t keeper = -1;          // leads the process group of the driver and its browser
    int port = 0;
    std::string session;        // "/session/ID", the prefix of the session's commands
};
