#pragma once

#include "ofScraperWebConnection.h"

#include <memory>
#include <mutex>
#include <string>

// One request to the score server at a time, asked on a thread of its own so
// that the window goes on drawing and answering while the server takes its
// time. The answer is taken on the main-loop thread; the request keeps its own
// answer, shared with no other.
class ScoreRequest {
public:
    ScoreRequest() = default;
    ~ScoreRequest();                        // a request still running is dropped
    ScoreRequest(const ScoreRequest&) = delete;
    ScoreRequest& operator=(const ScoreRequest&) = delete;

    bool start(const std::string& url);     // false while one is running
    bool running() const;                   // started, and its answer not taken yet
    bool takeAnswer(WebAnswer& answer);     // true once, when the answer has come
    void drop();                            // forgets the running request; its answer is never taken
    bool waitFor(int milliseconds);         // true once the answer has come (for the end of the program)

private:
    struct Shared {
        std::mutex lock;
        bool done = false;
        WebAnswer answer;
    };

    std::shared_ptr<Shared> current;        // also held by the request's thread until it ends
};
