// A bare HTTP server for answers no well-behaved server library would send:
// header values with a bare CR, bodies that never end. It listens on
// 127.0.0.1 with an ephemeral port; each connection gets the raw bytes the
// test's function returns for the request target, or an endless body.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pq::test {

class RawHttpServer {
public:
    struct Answer {
        std::string bytes;     // status line, headers and body, sent as they are
        bool endless = false;  // after bytes, send filler until the client leaves
    };
    using Handler = std::function<Answer(const std::string& target)>;

    explicit RawHttpServer(Handler handler);
    ~RawHttpServer();
    RawHttpServer(const RawHttpServer&) = delete;
    RawHttpServer& operator=(const RawHttpServer&) = delete;

    std::string Url(const std::string& target) const {
        return "http://127.0.0.1:" + std::to_string(port_) + target;
    }
    // Bytes of endless bodies sent so far, over all connections.
    long long EndlessBytesSent() const { return endlessBytes_.load(); }

private:
    void AcceptLoop();
    void Serve(int fd);

    Handler handler_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<long long> endlessBytes_{0};
    std::thread acceptThread_;
    std::mutex mutex_;
    std::vector<std::thread> connections_;
};

}  // namespace pq::test
