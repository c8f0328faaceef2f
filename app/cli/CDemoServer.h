// Serves the demo site that ships inside the program (Qt resources under
// ":/demo-site") on 127.0.0.1, on a port the system picks.
#pragma once

#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace pq::cli {

class CDemoServer {
public:
    CDemoServer();
    ~CDemoServer();
    // False when no port could be had.
    bool Start();
    void Stop();
    std::string Url(const std::string& path) const;

private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
};

}  // namespace pq::cli
