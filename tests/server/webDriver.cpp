#include "webDriver.h"

#include "httpRequest.h"
#include "loopback.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <opencv2/imgcodecs.hpp>
#include <optional>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// The key under which the protocol hands out element references.
const char* const elementKey = "element-6066-11e4-a52e-4f735466cecf";

// ---- JSON: just enough to write commands and read the driver's answers ----

std::string quoted(const std::string& text) {
    static const char digits[] = "0123456789abcdef";
    std::string literal = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            literal += '\\';
            literal += char(c);
        } else if (c < 0x20) {
            literal += "\\u00";
            literal += digits[c >> 4];
            literal += digits[c & 15];
        } else {
            literal += char(c);     // UTF-8 passes as it is
        }
    }
    return literal + "\"";
}

size_t afterString(const std::string& json, size_t quote) {
    for (size_t i = quote + 1; i < json.size(); i++) {
        if (json[i] == '\\') {
            i++;
        } else if (json[i] == '"') {
            return i + 1;
        }
    }
    return json.size();
}

size_t afterValue(const std::string& json, size_t start) {
    if (start >= json.size()) {
        return json.size();
    }
    if (json[start] == '"') {
        return afterString(json, start);
    }
    if (json[start] == '{' || json[start] == '[') {
        int depth = 0;
        for (size_t i = start; i < json.size();) {
            char c = json[i];
            if (c == '"') {
                i = afterString(json, i);
                continue;
            }
            if (c == '{' || c == '[') {
                depth++;
            } else if ((c == '}' || c == ']') && --depth == 0) {
                return i + 1;
            }
            i++;
        }
        return json.size();
    }
    size_t end = json.find_first_of(",}] \t\r\n", start);
    return end == std::string::npos ? json.size() : end;
}

// The raw JSON of the first member called `key`, in document order. Strings
// are skipped whole, so a key-like text inside a value is never taken for one.
std::optional<std::string> member(const std::string& json, const std::string& key) {
    const std::string wanted = quoted(key);
    for (size_t i = 0; i < json.size();) {
        if (json[i] != '"') {
            i++;
            continue;
        }
        size_t end = afterString(json, i);
        size_t colon = json.find_first_not_of(" \t\r\n", end);
        if (colon != std::string::npos && json[colon] == ':' && json.compare(i, end - i, wanted) == 0) {
            size_t start = json.find_first_not_of(" \t\r\n", colon + 1);
            if (start == std::string::npos) {
                return std::nullopt;
            }
            return json.substr(start, afterValue(json, start) - start);
        }
        i = end;
    }
    return std::nullopt;
}

void appendUtf8(std::string& text, unsigned code) {
    if (code < 0x80) {
        text += char(code);
    } else if (code < 0x800) {
        text += char(0xC0 | (code >> 6));
        text += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += char(0xE0 | (code >> 12));
        text += char(0x80 | ((code >> 6) & 0x3F));
        text += char(0x80 | (code & 0x3F));
    } else {
        text += char(0xF0 | (code >> 18));
        text += char(0x80 | ((code >> 12) & 0x3F));
        text += char(0x80 | ((code >> 6) & 0x3F));
        text += char(0x80 | (code & 0x3F));
    }
}

unsigned hex4(const std::string& json, size_t at) {
    return unsigned(std::stoul(json.substr(at, 4), nullptr, 16));
}

// A JSON value as text: a string's characters (ChromeDriver writes "<" and
// others as \uXXXX), anything else as its JSON.
std::string textOf(const std::string& raw) {
    if (raw.empty() || raw[0] != '"') {
        return raw;
    }
    std::string text;
    for (size_t i = 1; i + 1 < raw.size(); i++) {
        if (raw[i] != '\\') {
            text += raw[i];
            continue;
        }
        char escaped = raw[++i];
        switch (escaped) {
        case 'b': text += '\b'; break;
        case 'f': text += '\f'; break;
        case 'n': text += '\n'; break;
        case 'r': text += '\r'; break;
        case 't': text += '\t'; break;
        case 'u': {
            unsigned code = hex4(raw, i + 1);
            i += 4;
            // Characters past U+FFFF come as two halves
            if (code >= 0xD800 && code < 0xDC00 && raw.compare(i + 1, 2, "\\u") == 0) {
                unsigned low = hex4(raw, i + 3);
                if (low >= 0xDC00 && low < 0xE000) {
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    i += 6;
                }
            }
            appendUtf8(text, code);
            break;
        }
        default: text += escaped;   // \" \\ \/
        }
    }
    return text;
}

std::vector<unsigned char> fromBase64(const std::string& text) {
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::vector<unsigned char> bytes;
    bytes.reserve(text.size() / 4 * 3);
    unsigned bits = 0;
    int pending = 0;
    for (char c : text) {
        size_t value = alphabet.find(c);
        if (value == std::string::npos) {
            continue;               // padding
        }
        bits = (bits << 6) | unsigned(value);
        pending += 6;
        if (pending >= 8) {
            pending -= 8;
            bytes.push_back((unsigned char)((bits >> pending) & 0xFF));
        }
    }
    return bytes;
}

// ---- HTTP and processes ----

// The default timeout lies past the page load and script timeouts the session
// asks for, so the browser's own, clearer error comes first.
HttpAnswer http(const std::string& method, const std::string& url, const std::string& body, long seconds = 40) {
    return httpRequest(method, url, body, "application/json; charset=utf-8", seconds);
}

std::string fileText(const std::string& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

WebDriver::WebDriver(int windowWidth, int windowHeight) {
    // Another process may take the free port before the driver binds it
    for (int attempt = 0; attempt < 3 && !startDriver(); attempt++) {
    }
    if (port == 0) {
        throw std::runtime_error("/usr/bin/chromedriver did not start: " + fileText(scratch.file("driver.log")));
    }
    const std::vector<std::string> flags = {
        "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
        "--disable-background-networking", "--no-first-run",
        // Chromium still looks up its vendors' and search engine's hosts at
        // start, and the first page waits up to 5 s for those lookups to fail
        // where there is no network: nothing resolves but the loopback address
        // the tests serve on, so no lookup leaves the machine
        "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1",
        "--user-data-dir=" + scratch.file("profile"),
        "--window-size=" + std::to_string(windowWidth) + "," + std::to_string(windowHeight)};
    std::string args;
    for (const std::string& flag : flags) {
        args += (args.empty() ? "" : ",") + quoted(flag);
    }
    // Without an implicit wait every find right after a click would race the
    // next page; a page load is bounded well below the test's own patience.
    std::string capabilities =
        R"({"capabilities":{"alwaysMatch":{"browserName":"chrome",)"
        R"("timeouts":{"implicit":5000,"pageLoad":20000,"script":10000},)"
        R"("goog:chromeOptions":{"binary":"/usr/bin/chromium","args":[)" + args + "]}}}}";
    try {
        std::string created = command("POST", "/session", capabilities);
        session = "/session/" + textOf(member(created, "sessionId").value_or(""));
    } catch (...) {
        stopDriver();
        throw;
    }
}

WebDriver::~WebDriver() {
    // Quitting lets the browser close its profile before the scratch folder goes
    if (!session.empty()) {
        http("DELETE", "http://127.0.0.1:" + std::to_string(port) + session, "", 5);
    }
    stopDriver();
}

// The driver runs under a keeper process that leads their process group: the
// browser's processes are the driver's children and stay in the group, but
// they would outlive a driver killed alone. The keeper dies with the test
// (PR_SET_PDEATHSIG) or with the driver, and takes the whole group with it.
bool WebDriver::startDriver() {
    int candidate = freeLoopbackPort();
    if (candidate == 0 || scratch.path().empty()) {
        return false;
    }
    std::string log = scratch.file("driver.log");
    std::string portFlag = "--port=" + std::to_string(candidate);
    pid_t test = getpid();
    keeper = fork();
    if (keeper == 0) {
        setpgid(0, 0);
        sigset_t endings;
        sigemptyset(&endings);
        sigaddset(&endings, SIGTERM);
        sigaddset(&endings, SIGCHLD);
        sigprocmask(SIG_BLOCK, &endings, nullptr);
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() == test) {    // else the test died before the line above
            pid_t driver = fork();
            if (driver == 0) {
                sigprocmask(SIG_UNBLOCK, &endings, nullptr);
                int logFd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
                dup2(logFd, STDOUT_FILENO);
                dup2(logFd, STDERR_FILENO);
                execl("/usr/bin/chromedriver", "chromedriver", portFlag.c_str(), (char*)nullptr);
                _exit(127);
            }
            int ending;
            sigwait(&endings, &ending);
        }
        kill(0, SIGKILL);
        _exit(0);
    }
    if (keeper < 0) {
        return false;
    }
    setpgid(keeper, keeper);        // so a kill of the group cannot miss it
    std::string status = "http://127.0.0.1:" + std::to_string(candidate) + "/status";
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(keeper, nullptr, WNOHANG) != 0) {
            keeper = -1;            // the driver ended, its port taken perhaps
            return false;
        }
        HttpAnswer reply = http("GET", status, "", 2);
        if (reply.status == 200 && member(reply.body, "ready").value_or("") == "true") {
            port = candidate;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    stopDriver();
    return false;
}

void WebDriver::stopDriver() {
    if (keeper > 0) {
        kill(-keeper, SIGKILL);
        waitpid(keeper, nullptr, 0);
        keeper = -1;
    }
}

std::string WebDriver::command(const std::string& method, const std::string& path, const std::string& body) {
    HttpAnswer reply = http(method, "http://127.0.0.1:" + std::to_string(port) + path, body);
    std::string value = member(reply.body, "value").value_or("");
    if (reply.status == 200) {
        return value;
    }
    std::string reason = reply.failure;
    if (reason.empty()) {
        reason = textOf(member(value, "error").value_or("HTTP " + std::to_string(reply.status))) + ": " +
                 textOf(member(value, "message").value_or(reply.body));
    }
    throw std::runtime_error(method + " " + path + ": " + reason);
}

void WebDriver::setWindowSize(int width, int height) {
    command("POST", session + "/window/rect",
            R"({"width":)" + std::to_string(width) + R"(,"height":)" + std::to_string(height) + "}");
}

void WebDriver::navigate(const std::string& url) {
    command("POST", session + "/url", R"({"url":)" + quoted(url) + "}");
}

cv::Mat WebDriver::screenshot() {
    std::vector<unsigned char> png = fromBase64(textOf(command("GET", session + "/screenshot")));
    cv::Mat picture = cv::imdecode(png, cv::IMREAD_COLOR);
    if (picture.empty()) {
        throw std::runtime_error("the screenshot is no PNG OpenCV can read");
    }
    return picture;
}

std::string WebDriver::script(const std::string& body, const std::vector<std::string>& args) {
    std::string list;
    for (const std::string& arg : args) {
        list += (list.empty() ? "" : ",") + quoted(arg);
    }
    return textOf(command("POST", session + "/execute/sync",
                          R"({"script":)" + quoted(body) + R"(,"args":[)" + list + "]}"));
}

std::string WebDriver::find(const std::string& cssSelector) {
    std::string found = command("POST", session + "/element",
                                R"({"using":"css selector","value":)" + quoted(cssSelector) + "}");
    return textOf(member(found, elementKey).value_or(""));
}

void WebDriver::sendKeys(const std::string& element, const std::string& text) {
    command("POST", session + "/element/" + element + "/value", R"({"text":)" + quoted(text) + "}");
}

void WebDriver::click(const std::string& element) {
    command("POST", session + "/element/" + element + "/click");
}
