#pragma once

#include <string>

// One HTTP answer as a test sees it.
struct HttpAnswer {
    long status = 0;                    // 0 when no answer came
    std::string body;
    std::string failure;                // why no answer came
};

// One blocking request with libcurl, for what the game's own client cannot do
// (POST, other methods, statuses). A body is sent with `contentType` when the
// method is POST; the answer waits at most `timeoutSeconds`.
HttpAnswer httpRequest(const std::string& method, const std::string& url, const std::string& body = "",
                       const std::string& contentType = "", long timeoutSeconds = 30);
