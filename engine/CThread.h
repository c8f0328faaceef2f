// A worker thread object driven by a queue of numeric commands, with a lock
// shared by all objects of the same class name. Built on std::thread: there
// is no forced termination, so Kill asks the thread to abort what it is doing
// (RequestAbort), makes it leave its loop, and joins it. No thread outlives
// its object and none is detached.
//
// Threads: Start, Stop, Kill, PostCommand and the destructor are called by
// the owner; WaitCommand and the class lock by the thread itself. One
// process-wide guard protects every object's handle, queue and status.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/CThreadException.h"

namespace pq {

namespace detail {
struct ClassLockEntry;
}

class CThread {
public:
    enum Command : int { kTimeout = 1, kStart = 2, kRun = 3, kPause = 4, kContinue = 5, kStop = 7 };
    enum Status : int { kStarted = 0, kIdle = 1, kRunning = 2, kPaused = 3, kContinuing = 4 };
    static constexpr int kStillActive = 259;
    static constexpr int kNeverRun = -2;

    explicit CThread(void* owner = nullptr, int parameter = 0);
    virtual ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // Creates and starts the thread; throws CThreadException (code 2 when it
    // is running already).
    void Start();
    // Posts the stop command and waits: wait 0 not at all, -1 until the
    // thread has ended, n at most n rounds of 100 ms. True when it has ended.
    bool Stop(int& exitCode, int wait);
    // Aborts the thread's work at once and waits for it to end; then the
    // exit code is exitCode, the class lock is released and OnKilled runs.
    // Never call it from the thread itself.
    void Kill(int exitCode, bool closeAnyway);

    bool PostCommand(int command, std::string& error);
    bool PostCommand(int command);
    bool PostCommandFirst(int command);
    bool WaitCommand(int& command, int timeoutMs);

    void ClassLock();
    void ClassUnlock();

    bool IsAlive() const;
    // Best effort: on Linux the idle priority (-15) is the lowest nice value.
    bool SetPriority(int priority);
    int GetStatus() const;
    void SetStatus(int status);
    int ExitCode() const;

    // How many objects hold the class lock of that name now (0: none).
    static int ClassLockUsers(const std::string& className);

protected:
    virtual int Run() = 0;
    virtual void OnKilled() {}
    // Called by Kill before it waits: end the work in flight at once.
    virtual void RequestAbort() {}

    bool commandSupport_ = false;
    bool classLockWanted_ = false;
    std::string className_;

private:
    void Body();
    void ResetLocked();
    void RegisterClassLockLocked();
    void UnregisterClassLockLocked();
    bool TakeCommandLocked(int& command);
    void Reap();

    void* owner_;
    int parameter_;
    std::thread thread_;
    bool handleOpen_ = false;  // the thread exists and has not finished its body
    std::atomic<int> nativeTid_{0};
    std::atomic<int> exitCode_{kNeverRun};
    std::atomic<int> status_{kIdle};
    bool eventCreated_ = false;
    std::condition_variable_any commandEvent_;
    std::condition_variable_any endedEvent_;
    std::deque<int> queue_;
    std::shared_ptr<detail::ClassLockEntry> lockEntry_;
};

// A CThread whose command loop calls Step again and again until it is told to
// stop. All objects share the class lock "CGDIThread".
class CGDIThread : public CThread {
public:
    CGDIThread();

protected:
    int Run() override;
    virtual void Step() = 0;
    virtual void AttachDC() {}
    virtual void DetachDC() {}
};

}  // namespace pq
