#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// A small HTTP client over libcurl: one blocking GET per call, on the calling
// thread. The body of the last string fetch is kept in one process-wide buffer
// shared by every instance; nothing is ever thrown, and a failed transfer simply
// leaves whatever body arrived (possibly none).
class ofScraperWebConnection {
public:
    // Fetching
    void getWebPageAsString(std::string url);       // empties the shared answer first, then fills it
    std::string getString();                        // a copy of the last string fetch's answer
    void getWebPageToFile(std::string url, std::string filename);  // body into the file, replaced
                                                    // only when the whole transfer succeeds

    // libcurl write callbacks
    static size_t stringWriter(char* data, size_t size, size_t nmemb, std::string* target);
                                                    // 0 for a null target, else the bytes appended
    static size_t fileWriter(char* data, size_t size, size_t nmemb, FILE* stream);
                                                    // whole items written

    // Timeouts of every fetch, in milliseconds (15000 to connect, 45000 in all by
    // default); tests shorten them to keep a server that never answers brief
    static void setTimeouts(long connectMillis, long transferMillis);
};

// The score server: its two requests, each value percent-encoded
std::string scoreServerAuthUrl(const std::string& baseUrl, const std::string& username,
                               const std::string& password);
std::string scoreServerReportUrl(const std::string& baseUrl, const std::string& username,
                                 const std::string& password, int finishTimeMs);
std::string scoreText(int finishTimeMs);            // seconds as a stream writes a float: 12.345, 9
std::string percentEncode(const std::string& value);  // RFC 3986 unreserved bytes kept, others %XX
std::string hostOf(const std::string& url);         // "http://host:port/path" gives "host"

// Where the score server is: "server.xml" in the data directory, keys
// SERVER:URL (base URL ending with the "/" before "report.php") and
// SERVER:SIGNUP (the sign-up page); each missing key gives the default
struct ScoreServerSettings {
    static constexpr const char* defaultUrl = "http://localhost:8000/";

    bool load(const std::string& file = "server.xml");  // false when unreadable: defaults kept

    std::string url = defaultUrl;                   // base of report.php
    std::string signupUrl = defaultUrl;             // opened by the login screen's sign-up line
};
