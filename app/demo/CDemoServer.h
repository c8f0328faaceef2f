// Serves the demo site that ships inside the program (Qt resources under
// ":/demo-site") on 127.0.0.1, on a port the system picks.
#pragma once

#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace pq {

class CDemoServer {
public:
    CDemoServer();
    ~CDemoServer();
    // False when no port could be had. delayMs slows every answer, as a
    // distant server would (for watching a search as it runs).
    bool Start(int delayMs = 0);
    void Stop();
    std::string Url(const std::string& path) const;

private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
};

}  // namespace pq
