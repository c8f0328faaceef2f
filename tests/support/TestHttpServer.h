// An HTTP server for tests, on 127.0.0.1 with an ephemeral port. A test sets
// routes (exact request targets, query included) with the answer to give;
// unknown targets get 404. Nothing here talks to any other address.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class Server;
}

namespace pq::test {

struct Route {
    int status = 200;
    std::string body;
    std::string contentType = "text/html";
    bool contentLength =
        true;              // false: no Content-Length, the end of the body closes the connection
    std::string location;  // sent as the Location header when not empty
    int delayMs = 0;       // wait before answering
    int stallAfter = -1;   // send this many bytes of the body, then send nothing more
    std::vector<std::pair<std::string, std::string>> headers;
    std::function<void()> onRequest;  // called (on a server thread) before answering
};

struct SeenRequest {
    std::string method;
    std::string target;
    std::string version;
    std::string userAgent;
    std::string accept;
    int remotePort = 0;  // the client's end of the connection
};

class TestHttpServer {
public:
    TestHttpServer();
    // An HTTPS server with the given certificate and key (PEM files).
    TestHttpServer(const std::string& certPath, const std::string& keyPath);
    ~TestHttpServer();

    void Set(const std::string& target, Route route);
    // Shorthands for the common answers.
    void Page(const std::string& target, const std::string& html);
    void Redirect(const std::string& target, const std::string& location, int status = 302);

    int Port() const { return port_; }
    std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string Url(const std::string& target) const {
        return (tls_ ? "https://" : "http://") + HostPort() + target;
    }

    int Count(const std::string& target) const;
    int TotalCount() const;
    std::vector<SeenRequest> Requests() const;

    // Ends stalls and delays in progress and stops the server.
    void Stop();

private:
    void Init();
    bool WaitUnlessStopping(int ms);

    bool tls_ = false;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable stopCv_;
    bool stopping_ = false;
    std::map<std::string, Route> routes_;
    std::map<std::string, int> counts_;
    std::vector<SeenRequest> requests_;
};

}  // namespace pq::test
