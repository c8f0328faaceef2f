// The error the worker thread framework throws.
#pragma once

#include <stdexcept>
#include <string>

namespace pq {

class CThread;

class CThreadException : public std::runtime_error {
public:
    enum Code : int {
        kCreateFailed = 1,
        kAlreadyStarted = 2,
        kKillFailed = 3,
        kEventFailed = 4,
        kPostFailed = 5,
    };

    CThreadException(CThread* thread, const std::string& message, int code)
        : std::runtime_error(message), thread_(thread), code_(code) {}

    CThread* Thread() const { return thread_; }
    int Code() const { return code_; }
    std::string Message() const { return what(); }

private:
    CThread* thread_;
    int code_;
};

}  // namespace pq
