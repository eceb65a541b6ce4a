#include "ofScraperWebConnection.h"

#include "ofxXmlSettings.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <curl/curl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

// ---- File-level state ---------------------------------------------------------

// The answer of the last string fetch, shared by every connection.
static std::string buffer;

static const char* const userAgent = "Stompathon/1.0";
static std::atomic<long> connectTimeoutMillis{15000};
static std::atomic<long> transferTimeoutMillis{45000};

// ---- Helpers --------------------------------------------------------------------

// The options every fetch starts with; libcurl's error text goes to a buffer of
// the fetch's own, never read.
static void setCommonOptions(CURL* curl, const std::string& url, char (&errorText)[CURL_ERROR_SIZE]) {
    curl_easy_setopt(curl, CURLOPT_USERAGENT, userAgent);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HEADER, 0L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
}

// Without them a server that accepts the connection and never answers would
// hold a request for ever.
static void setTimeoutOptions(CURL* curl) {
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, transferTimeoutMillis.load());
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMillis.load());
}

// What the file would have had if opened for writing directly: its old mode when
// it exists, else what the umask lets a new file have.
static mode_t newFileMode(const std::string& filename) {
    struct stat old;
    if (stat(filename.c_str(), &old) == 0) {
        return old.st_mode & 07777;
    }
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Keeps what fits below maxAnswerBytes; a short count ends the transfer there.
static size_t limitedWriter(char* data, size_t size, size_t nmemb, std::string* target) {
    size_t room = WebAnswer::maxAnswerBytes - std::min(target->size(), WebAnswer::maxAnswerBytes);
    target->append(data, std::min(room, size * nmemb));
    return std::min(room, size * nmemb);
}

// "http://host:port" of a URL: a redirect must stay within it.
static std::string originOf(const std::string& url) {
    size_t start = url.find("://");
    size_t end = start == std::string::npos ? 0 : url.find_first_of("/?#", start + 3);
    std::string origin = url.substr(0, end);
    std::transform(origin.begin(), origin.end(), origin.begin(), [](unsigned char c) { return std::tolower(c); });
    return origin;
}

// One request without following redirects; where a redirect leads, if anywhere.
static WebAnswer fetchOnce(const std::string& url, std::string& redirect) {
    WebAnswer answer;
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        return answer;
    }
    char errorText[CURL_ERROR_SIZE];
    setCommonOptions(curl, url, errorText);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, limitedWriter);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer.body);
    setTimeoutOptions(curl);
    CURLcode result = curl_easy_perform(curl);
    if (result == CURLE_OK || (result == CURLE_WRITE_ERROR && answer.body.size() == WebAnswer::maxAnswerBytes)) {
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
        char* location = nullptr;
        curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &location);
        redirect = location != nullptr ? location : "";
    }
    curl_easy_cleanup(curl);
    return answer;
}

static bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

// ---- Answers --------------------------------------------------------------------------

WebAnswer fetchAnswer(const std::string& url) {
    std::string at = url, redirect;
    WebAnswer answer = fetchOnce(at, redirect);
    for (int followed = 0; !redirect.empty() && answer.status / 100 == 3; followed++) {
        if (followed == WebAnswer::maxRedirects || originOf(redirect) != originOf(url)) {
            return WebAnswer();
        }
        at = redirect;
        answer = fetchOnce(at, redirect);
    }
    return answer;
}

std::string printableAnswer(const std::string& body) {
    std::string shown = body.substr(0, 200);
    for (char& c : shown) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 127) {
            c = '?';
        }
    }
    return shown;
}

// ---- ofScraperWebConnection -------------------------------------------------------

void ofScraperWebConnection::getWebPageAsString(std::string url) {
    buffer.clear();
    WebAnswer answer = fetchAnswer(url);
    if (answer.status == 200) {
        buffer = answer.body;
    }
}

std::string ofScraperWebConnection::getString() {
    return buffer;
}

// The body goes into a temporary file beside the target, which replaces the
// target only when the whole transfer succeeded: a failed download never
// wipes a file that was there.
void ofScraperWebConnection::getWebPageToFile(std::string url, std::string filename) {
    std::string partial = filename + ".part-XXXXXX";
    int fd = mkstemp(&partial[0]);
    if (fd >= 0) {
        fchmod(fd, newFileMode(filename));
    }
    FILE* file = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (file == nullptr) {
        std::printf("ofScraperWebConnection: cannot open %s for writing\n", filename.c_str());
        if (fd >= 0) {
            close(fd);
            unlink(partial.c_str());
        }
        return;
    }
    CURLcode result = CURLE_FAILED_INIT;
    if (CURL* curl = curl_easy_init()) {
        char errorText[CURL_ERROR_SIZE];
        setCommonOptions(curl, url, errorText);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, fileWriter);
        curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, file);
        curl_easy_setopt(curl, CURLOPT_FILETIME, 1L);
        setTimeoutOptions(curl);
        result = curl_easy_perform(curl);
        curl_easy_cleanup(curl);
    }
    bool written = std::fclose(file) == 0;
    if (result != CURLE_OK || !written || std::rename(partial.c_str(), filename.c_str()) != 0) {
        unlink(partial.c_str());
    }
}

size_t ofScraperWebConnection::stringWriter(char* data, size_t size, size_t nmemb, std::string* target) {
    if (target == nullptr) {
        return 0;
    }
    target->append(data, size * nmemb);
    return size * nmemb;
}

size_t ofScraperWebConnection::fileWriter(char* data, size_t size, size_t nmemb, FILE* stream) {
    return std::fwrite(data, size, nmemb, stream);
}

void ofScraperWebConnection::setTimeouts(long connectMillis, long transferMillis) {
    connectTimeoutMillis = connectMillis;
    transferTimeoutMillis = transferMillis;
}

// ---- The score server's requests --------------------------------------------------

std::string scoreServerAuthUrl(const std::string& baseUrl, const std::string& username,
                               const std::string& password) {
    return baseUrl + "report.php?action=auth&username=" + percentEncode(username) +
           "&password=" + percentEncode(password);
}

std::string scoreServerReportUrl(const std::string& baseUrl, const std::string& username,
                                 const std::string& password, int finishTimeMs) {
    return baseUrl + "report.php?action=report&username=" + percentEncode(username) +
           "&password=" + percentEncode(password) + "&score=" + percentEncode(scoreText(finishTimeMs));
}

std::string scoreText(int finishTimeMs) {
    std::ostringstream out;
    out << finishTimeMs / 1000.0f;
    return out.str();
}

std::string percentEncode(const std::string& value) {
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    for (unsigned char c : value) {
        if (isUnreserved(c)) {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += hex[c >> 4];
            encoded += hex[c & 15];
        }
    }
    return encoded;
}

std::string hostOf(const std::string& url) {
    size_t start = url.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    size_t end = url.find_first_of(":/?#", start);
    return url.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// ---- ScoreServerSettings ------------------------------------------------------------

static bool beginsWith(const std::string& text, const char* start) {
    return text.compare(0, std::strlen(start), start) == 0;
}

// The key's URL when it passes, else the default and one line naming the rule.
static std::string acceptedUrl(const std::string& url, bool passes, const char* key, const char* rule) {
    if (passes) {
        return url;
    }
    std::printf("server.xml: %s must begin with %s - using %s instead\n", key, rule, ScoreServerSettings::defaultUrl);
    return ScoreServerSettings::defaultUrl;
}

bool ScoreServerSettings::load(const std::string& file) {
    ofxXmlSettings settings;
    if (!settings.loadFile(file)) {
        return false;
    }
    std::string base = settings.getValue("SERVER:URL", std::string(defaultUrl));
    std::string signup = settings.getValue("SERVER:SIGNUP", std::string(defaultUrl));
    url = acceptedUrl(base, beginsWith(base, "http://") || beginsWith(base, "https://"), "URL", "http:// or https://");
    signupUrl = acceptedUrl(signup, beginsWith(signup, "http://"), "SIGNUP", "http://");
    return true;
}
