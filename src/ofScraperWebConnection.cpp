#include "ofScraperWebConnection.h"

#include "ofxXmlSettings.h"

#include <cstdlib>
#include <curl/curl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

// ---- File-level state ---------------------------------------------------------

// The answer of the last string fetch, shared by every connection.
static std::string buffer;
// libcurl's error text; handed over, never read.
static char errorBuffer[CURL_ERROR_SIZE];

static const char* const userAgent = "Stompathon/1.0";
static long connectTimeoutMillis = 15000;
static long transferTimeoutMillis = 45000;

// ---- Helpers --------------------------------------------------------------------

// The options every fetch starts with.
static void setCommonOptions(CURL* curl, const std::string& url) {
    curl_easy_setopt(curl, CURLOPT_USERAGENT, userAgent);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HEADER, 0L);
}

// Without them a server that accepts the connection and never answers would
// hold the main loop, and with it the window, for ever.
static void setTimeoutOptions(CURL* curl) {
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, transferTimeoutMillis);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMillis);
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

static bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

// ---- ofScraperWebConnection -------------------------------------------------------

void ofScraperWebConnection::getWebPageAsString(std::string url) {
    buffer.clear();
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        return;
    }
    setCommonOptions(curl, url);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, stringWriter);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &buffer);
    setTimeoutOptions(curl);
    curl_easy_perform(curl);
    curl_easy_cleanup(curl);
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
        setCommonOptions(curl, url);
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

bool ScoreServerSettings::load(const std::string& file) {
    ofxXmlSettings settings;
    if (!settings.loadFile(file)) {
        return false;
    }
    url = settings.getValue("SERVER:URL", std::string(defaultUrl));
    signupUrl = settings.getValue("SERVER:SIGNUP", std::string(defaultUrl));
    return true;
}
