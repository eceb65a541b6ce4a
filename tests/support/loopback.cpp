#include "loopback.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

static sockaddr_in loopbackAddress(int port) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// The kernel hands out a free port, which is closed again at once.
int freeLoopbackPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopbackAddress(0);
    socklen_t size = sizeof(address);
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

bool loopbackAccepts(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopbackAddress(port);
    bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return connected;
}

CannedServer::CannedServer(std::vector<std::string> answers) : responses(std::move(answers)) {
    listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopbackAddress(0);
    socklen_t size = sizeof(address);
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), size) == 0 && listen(listener, 16) == 0 &&
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
        thread = std::thread([this] { serve(); });
    }
}

CannedServer::~CannedServer() {
    stopping = true;
    if (thread.joinable()) {
        thread.join();
    }
    for (int fd : heldOpen) {
        close(fd);
    }
    close(listener);
}

std::string CannedServer::base() const {
    return "http://127.0.0.1:" + std::to_string(port) + "/";
}

std::vector<std::string> CannedServer::requestLines() const {
    std::lock_guard<std::mutex> guard(lock);
    return lines;
}

// Reads each request's head before answering, so the client never meets a
// connection reset while it is still sending.
void CannedServer::serve() {
    while (!stopping) {
        pollfd waiting{listener, POLLIN, 0};
        if (poll(&waiting, 1, 50) <= 0) {
            continue;
        }
        int client = accept(listener, nullptr, nullptr);
        std::string head;
        char chunk[4096];
        ssize_t got;
        while (head.find("\r\n\r\n") == std::string::npos && (got = read(client, chunk, sizeof chunk)) > 0) {
            head.append(chunk, static_cast<size_t>(got));
        }
        std::string response;
        {
            std::lock_guard<std::mutex> guard(lock);
            lines.push_back(head.substr(0, head.find("\r\n")));
            response = responses[std::min(lines.size(), responses.size()) - 1];
        }
        if (response.empty()) {
            heldOpen.push_back(client);
            continue;
        }
        // A client may hang up before the end: no signal, just stop writing.
        size_t sent = 0;
        while (sent < response.size() && (got = send(client, &response[sent], response.size() - sent, MSG_NOSIGNAL)) > 0) {
            sent += static_cast<size_t>(got);
        }
        close(client);
    }
}
