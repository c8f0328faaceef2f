#include "tests/support/TestHttpServer.h"

#include <httplib.h>

#include <chrono>
#include <stdexcept>

namespace pq::test {

TestHttpServer::TestHttpServer() : server_(std::make_unique<httplib::Server>()) { Init(); }

TestHttpServer::TestHttpServer(const std::string& certPath, const std::string& keyPath)
    : tls_(true), server_(std::make_unique<httplib::SSLServer>(certPath.c_str(), keyPath.c_str())) {
    if (!server_->is_valid()) throw std::runtime_error("test server: bad certificate or key");
    Init();
}

void TestHttpServer::Init() {
    server_->new_task_queue = [] { return new httplib::ThreadPool(32); };
    // As servers built for kept-open connections do: no Nagle delay between
    // the headers and a small body.
    server_->set_tcp_nodelay(true);
    server_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        Route route;
        bool known = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++counts_[req.target];
            requests_.push_back(SeenRequest{req.method, req.target, req.version,
                                            req.get_header_value("User-Agent"),
                                            req.get_header_value("Accept"), req.remote_port});
            auto it = routes_.find(req.target);
            if (it != routes_.end()) {
                route = it->second;
                known = true;
            }
        }
        if (!known) {
            res.status = 404;
            res.set_content("<html><title>Not found</title></html>", "text/html");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (route.onRequest) route.onRequest();
        if (route.delayMs > 0 && !WaitUnlessStopping(route.delayMs)) {
            res.status = 503;
            return httplib::Server::HandlerResponse::Handled;
        }
        res.status = route.status;
        if (!route.location.empty()) res.set_header("Location", route.location);
        for (const auto& [k, v] : route.headers) res.set_header(k, v);
        auto body = std::make_shared<std::string>(route.body);
        if (route.stallAfter >= 0) {
            size_t sendFirst = std::min(body->size(), size_t(route.stallAfter));
            res.set_content_provider(
                body->size(), route.contentType,
                [this, body, sendFirst](size_t offset, size_t, httplib::DataSink& sink) {
                    if (offset < sendFirst) {
                        sink.write(body->data() + offset, sendFirst - offset);
                        return true;
                    }
                    WaitUnlessStopping(600000);
                    return false;
                });
        } else if (!route.contentLength) {
            res.set_content_provider(
                route.contentType, [body](size_t offset, httplib::DataSink& sink) {
                    if (offset < body->size())
                        sink.write(body->data() + offset, body->size() - offset);
                    else
                        sink.done();
                    return true;
                });
        } else {
            res.set_content(*body, route.contentType);
        }
        return httplib::Server::HandlerResponse::Handled;
    });
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("test server: cannot bind 127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // Connections are accepted as soon as the socket is bound; this only makes
    // sure the accept loop runs before the test goes on.
    for (int i = 0; i < 2000 && !server_->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TestHttpServer::~TestHttpServer() { Stop(); }

void TestHttpServer::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    stopCv_.notify_all();
    if (thread_.joinable()) {
        server_->stop();
        thread_.join();
    }
}

bool TestHttpServer::WaitUnlessStopping(int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !stopCv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

void TestHttpServer::Set(const std::string& target, Route route) {
    std::lock_guard<std::mutex> lock(mutex_);
    routes_[target] = std::move(route);
}

void TestHttpServer::Page(const std::string& target, const std::string& html) {
    Route r;
    r.body = html;
    Set(target, std::move(r));
}

void TestHttpServer::Redirect(const std::string& target, const std::string& location, int status) {
    Route r;
    r.status = status;
    r.location = location;
    Set(target, std::move(r));
}

int TestHttpServer::Count(const std::string& target) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = counts_.find(target);
    return it == counts_.end() ? 0 : it->second;
}

int TestHttpServer::TotalCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (const auto& [k, v] : counts_) n += v;
    return n;
}

std::vector<SeenRequest> TestHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

}  // namespace pq::test
