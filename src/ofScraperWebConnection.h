#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// One answer of a web server, as the game takes it from any server: at most
// maxAnswerBytes of the body (the transfer ends there), redirects followed at
// most maxRedirects times and only within the same scheme, host and port.
struct WebAnswer {
    static constexpr size_t maxAnswerBytes = 64 * 1024;
    static constexpr int maxRedirects = 3;

    long status = 0;                                // HTTP status; 0 when no answer came
    std::string body;                               // cut at maxAnswerBytes
};

WebAnswer fetchAnswer(const std::string& url);      // one blocking GET; safe on any thread
std::string printableAnswer(const std::string& body);   // its first 200 characters, control
                                                    // characters (line ends too) as '?'

// A small HTTP client over libcurl: one blocking GET per call, on the calling
// thread. The body of the last string fetch is kept in one process-wide buffer
// shared by every instance (main-loop thread only); nothing is ever thrown, and
// only an answer with status 200 counts: anything else leaves the buffer empty.
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
// SERVER:URL (an http:// or https:// base URL ending with the "/" before
// "report.php") and SERVER:SIGNUP (the http:// sign-up page); a missing key, or
// one of another scheme (with one console line), gives the default
struct ScoreServerSettings {
    static constexpr const char* defaultUrl = "http://localhost:8000/";

    bool load(const std::string& file = "server.xml");  // false when unreadable: defaults kept

    std::string url = defaultUrl;                   // base of report.php
    std::string signupUrl = defaultUrl;             // opened by the login screen's sign-up line
};
