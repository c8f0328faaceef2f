#include "tests/support/RawHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace pq::test {

RawHttpServer::RawHttpServer(Handler handler) : handler_(std::move(handler)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) throw std::runtime_error("socket");
    int on = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // 127.0.0.1 only
    addr.sin_port = 0;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_, 16) != 0)
        throw std::runtime_error("bind");
    socklen_t len = sizeof addr;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

RawHttpServer::~RawHttpServer() {
    stop_ = true;
    acceptThread_.join();
    ::close(listenFd_);
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& t : connections_) t.join();
}

void RawHttpServer::AcceptLoop() {
    while (!stop_.load()) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::lock_guard<std::mutex> lock(mutex_);
        connections_.emplace_back([this, fd] { Serve(fd); });
    }
}

void RawHttpServer::Serve(int fd) {
    std::string request;
    char buf[4096];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (request.find("\r\n\r\n") == std::string::npos && !stop_.load() &&
           std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        request.append(buf, size_t(n));
    }
    std::string target;
    size_t sp = request.find(' ');
    if (sp != std::string::npos)
        target = request.substr(sp + 1, request.find(' ', sp + 1) - sp - 1);
    Answer a = handler_(target);
    bool ok = ::send(fd, a.bytes.data(), a.bytes.size(), MSG_NOSIGNAL) == ssize_t(a.bytes.size());
    // An endless body: filler until the client closes, bounded in time so a
    // broken client cannot keep the test running.
    const std::string filler(16384, 'x');
    const auto endBy = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (ok && a.endless && !stop_.load() && std::chrono::steady_clock::now() < endBy) {
        ssize_t n = ::send(fd, filler.data(), filler.size(), MSG_NOSIGNAL);
        ok = n > 0;
        if (ok) endlessBytes_.fetch_add(n);
    }
    ::close(fd);
}

}  // namespace pq::test
