#include "app/demo/CDemoServer.h"

#include <httplib.h>

#include <QFile>
#include <QString>
#include <chrono>

namespace pq {

namespace {

const char* ContentType(const std::string& path) {
    auto ends = [&](const char* s) {
        std::string e(s);
        return path.size() >= e.size() && path.compare(path.size() - e.size(), e.size(), e) == 0;
    };
    if (ends(".html")) return "text/html";
    if (ends(".gif")) return "image/gif";
    if (ends(".jpg") || ends(".jpeg")) return "image/jpeg";
    if (ends(".bmp")) return "image/bmp";
    return "application/octet-stream";
}

}  // namespace

CDemoServer::CDemoServer() : server_(std::make_unique<httplib::Server>()) {
    // Each kept-open connection of a search holds one server thread.
    server_->new_task_queue = [] { return new httplib::ThreadPool(32); };
    // As servers built for kept-open connections do: no Nagle delay between
    // the headers and a small body.
    server_->set_tcp_nodelay(true);
}

CDemoServer::~CDemoServer() { Stop(); }

bool CDemoServer::Start(int delayMs) {
    server_->Get(".*", [delayMs](const httplib::Request& req, httplib::Response& res) {
        if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        std::string path = req.path;
        if (path.empty() || path.back() == '/') path += "index.html";
        // Resource paths have no "..": a request cannot leave the site.
        if (path.find("..") != std::string::npos) {
            res.status = 404;
            return;
        }
        QFile file(":/demo-site" + QString::fromStdString(path));
        if (!file.open(QIODevice::ReadOnly)) {
            res.status = 404;
            res.set_content("<html><title>Not found</title></html>", "text/html");
            return;
        }
        QByteArray data = file.readAll();
        res.set_content(std::string(data.constData(), size_t(data.size())), ContentType(path));
    });
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) return false;
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    for (int i = 0; i < 2000 && !server_->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void CDemoServer::Stop() {
    if (thread_.joinable()) {
        server_->stop();
        thread_.join();
    }
}

std::string CDemoServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

}  // namespace pq
