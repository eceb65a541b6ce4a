#include "scoreRequest.h"

#include <chrono>
#include <curl/curl.h>
#include <thread>

// libcurl's global set-up is not safe to run on two threads at once, so the
// main-loop thread does it before the first request thread starts.
static void setUpLibraryOnce() {
    static bool done = false;
    if (!done) {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        done = true;
    }
}

ScoreRequest::~ScoreRequest() {
    drop();
}

// The thread holds the shared answer, not this object, so dropping the request
// or ending the program never waits for the server.
bool ScoreRequest::start(const std::string& url) {
    if (running()) {
        return false;
    }
    setUpLibraryOnce();
    std::shared_ptr<Shared> shared = std::make_shared<Shared>();
    current = shared;
    std::thread([shared, url] {
        WebAnswer answer = fetchAnswer(url);
        std::lock_guard<std::mutex> guard(shared->lock);
        shared->answer = answer;
        shared->done = true;
    }).detach();
    return true;
}

bool ScoreRequest::running() const {
    return current != nullptr;
}

bool ScoreRequest::takeAnswer(WebAnswer& answer) {
    if (current == nullptr) {
        return false;
    }
    std::lock_guard<std::mutex> guard(current->lock);
    if (!current->done) {
        return false;
    }
    answer = current->answer;
    current.reset();
    return true;
}

void ScoreRequest::drop() {
    current.reset();
}

bool ScoreRequest::waitFor(int milliseconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (current != nullptr && std::chrono::steady_clock::now() < deadline) {
        {
            std::lock_guard<std::mutex> guard(current->lock);
            if (current->done) {
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}
