#include "httpRequest.h"

#include <curl/curl.h>

namespace {

size_t appendTo(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

}  // namespace

HttpAnswer httpRequest(const std::string& method, const std::string& url, const std::string& body,
                       const std::string& contentType, long timeoutSeconds) {
    HttpAnswer answer;
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        answer.failure = "libcurl did not start";
        return answer;
    }
    const std::string contentHeader = "Content-Type: " + contentType;
    curl_slist* headers = curl_slist_append(nullptr, contentHeader.c_str());
    headers = curl_slist_append(headers, "Expect:");   // no 100-continue round trip
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendTo);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer.body);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, timeoutSeconds);
    if (method == "POST") {
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, long(body.size()));
    } else if (method != "GET") {
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.c_str());
    }
    CURLcode result = curl_easy_perform(curl);
    if (result == CURLE_OK) {
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
    } else {
        answer.failure = curl_easy_strerror(result);
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return answer;
}
