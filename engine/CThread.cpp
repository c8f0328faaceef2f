#include "engine/CThread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <system_error>

namespace pq {

namespace {

// The process-wide guard of every CThread's handle, event, queue and status,
// and of the class lock registry.
std::mutex& Guard() {
    static std::mutex m;
    return m;
}

}  // namespace

namespace detail {
struct ClassLockEntry {
    std::recursive_mutex section;
    int users = 0;
};
}  // namespace detail

namespace {
// Class name -> the lock all objects of that class share, with its users.
std::map<std::string, std::shared_ptr<detail::ClassLockEntry>>& Registry() {
    static std::map<std::string, std::shared_ptr<detail::ClassLockEntry>> r;
    return r;
}
}  // namespace

CThread::CThread(void* owner, int parameter) : owner_(owner), parameter_(parameter) {
    std::lock_guard<std::mutex> lock(Guard());
    ResetLocked();
}

CThread::~CThread() {
    // A derived object is already gone here; its thread must have been
    // stopped or killed by the derived destructor. This is the last guard.
    if (thread_.joinable()) {
        try {
            Kill(0, true);
        } catch (...) {
        }
    }
    std::lock_guard<std::mutex> lock(Guard());
    eventCreated_ = false;
    ResetLocked();
}

void CThread::ResetLocked() {
    handleOpen_ = false;
    nativeTid_ = 0;
    status_ = kIdle;
    lockEntry_.reset();
    queue_.clear();
}

void CThread::RegisterClassLockLocked() {
    if (!classLockWanted_) return;
    auto& reg = Registry();
    auto it = reg.find(className_);
    if (it == reg.end())
        it = reg.emplace(className_, std::make_shared<detail::ClassLockEntry>()).first;
    ++it->second->users;
    lockEntry_ = it->second;
}

void CThread::UnregisterClassLockLocked() {
    if (!lockEntry_) return;
    auto& reg = Registry();
    auto it = reg.find(className_);
    if (it != reg.end() && it->second == lockEntry_) {
        if (it->second->users < 2)
            reg.erase(it);
        else
            --it->second->users;
    }
    lockEntry_.reset();
}

int CThread::ClassLockUsers(const std::string& className) {
    std::lock_guard<std::mutex> lock(Guard());
    auto it = Registry().find(className);
    return it == Registry().end() ? 0 : it->second->users;
}

bool CThread::IsAlive() const {
    std::lock_guard<std::mutex> lock(Guard());
    return handleOpen_ && exitCode_ == kStillActive;
}

void CThread::Reap() {
    // Joins a thread whose body has finished (or is about to); never called
    // with the guard held, since the body's last step takes it.
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void CThread::Start() {
    {
        std::lock_guard<std::mutex> lock(Guard());
        if (handleOpen_ && exitCode_ == kStillActive)
            throw CThreadException(this, "Thread is already started!",
                                   CThreadException::kAlreadyStarted);
    }
    Reap();  // an earlier run of this object
    std::lock_guard<std::mutex> lock(Guard());
    ResetLocked();
    if (commandSupport_) eventCreated_ = true;
    RegisterClassLockLocked();
    exitCode_ = kStillActive;
    handleOpen_ = true;
    try {
        thread_ = std::thread([this] { Body(); });
    } catch (const std::system_error& e) {
        UnregisterClassLockLocked();
        ResetLocked();
        exitCode_ = kNeverRun;
        throw CThreadException(this, e.what(), CThreadException::kCreateFailed);
    }
    if (commandSupport_) {
        // Post the start command (it cannot fail here: the queue is ours).
        queue_.push_back(kStart);
        commandEvent_.notify_all();
    }
    status_ = kStarted;
}

void CThread::Body() {
    nativeTid_ = int(::syscall(SYS_gettid));
    int code = Run();
    {
        std::lock_guard<std::mutex> lock(Guard());
        UnregisterClassLockLocked();
        ResetLocked();
        exitCode_ = code;
    }
    endedEvent_.notify_all();
}

bool CThread::Stop(int& exitCode, int wait) {
    {
        std::unique_lock<std::mutex> lock(Guard());
        if (!(handleOpen_ && exitCode_ == kStillActive)) {
            lock.unlock();
            Reap();
            lock.lock();
            exitCode = exitCode_;
            ResetLocked();
            return true;
        }
    }
    std::string error;
    if (!PostCommand(kStop, error)) {
        exitCode = exitCode_;
        throw CThreadException(this, error, CThreadException::kPostFailed);
    }
    {
        std::unique_lock<std::mutex> lock(Guard());
        for (int round = 0; wait != 0 && (wait < 0 || round < wait); ++round) {
            if (!(handleOpen_ && exitCode_ == kStillActive)) break;
            endedEvent_.wait_for(lock, std::chrono::milliseconds(100));
        }
        exitCode = exitCode_;
        if (exitCode == kStillActive) return false;
    }
    Reap();
    return true;
}

void CThread::Kill(int exitCode, bool closeAnyway) {
    if (thread_.joinable() && thread_.get_id() == std::this_thread::get_id()) {
        // Joining itself would never return.
        if (!closeAnyway)
            throw CThreadException(this, "A thread cannot kill itself",
                                   CThreadException::kKillFailed);
        return;
    }
    bool hadThread = thread_.joinable();
    if (hadThread) {
        RequestAbort();
        {
            std::lock_guard<std::mutex> lock(Guard());
            if (commandSupport_ && eventCreated_) {
                queue_.push_front(kStop);
                commandEvent_.notify_all();
            }
        }
        thread_.join();
    }
    {
        std::lock_guard<std::mutex> lock(Guard());
        UnregisterClassLockLocked();
        ResetLocked();
        exitCode_ = exitCode;
    }
    if (hadThread) OnKilled();
}

bool CThread::PostCommand(int command) {
    std::string error;
    return PostCommand(command, error);
}

bool CThread::PostCommand(int command, std::string& error) {
    error.clear();
    std::lock_guard<std::mutex> lock(Guard());
    if (!commandSupport_ || !eventCreated_ || command == 0) return true;
    if (!queue_.empty() && queue_.back() == command) return true;
    queue_.push_back(command);
    commandEvent_.notify_all();
    return true;
}

bool CThread::PostCommandFirst(int command) {
    std::lock_guard<std::mutex> lock(Guard());
    if (!handleOpen_ || !commandSupport_ || command == 0) return false;
    queue_.push_front(command);
    commandEvent_.notify_all();
    return true;
}

bool CThread::TakeCommandLocked(int& command) {
    if (!commandSupport_ || queue_.empty()) {
        command = 0;
        return false;
    }
    command = queue_.front();
    queue_.pop_front();
    return true;
}

bool CThread::WaitCommand(int& command, int timeoutMs) {
    std::unique_lock<std::mutex> lock(Guard());
    if (!commandSupport_ || !eventCreated_) {
        command = 0;
        return false;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (TakeCommandLocked(command)) return true;
        if (commandEvent_.wait_until(lock, deadline) == std::cv_status::timeout) {
            if (TakeCommandLocked(command)) return true;
            command = kTimeout;
            return true;
        }
    }
}

void CThread::ClassLock() {
    std::shared_ptr<detail::ClassLockEntry> entry;
    {
        std::lock_guard<std::mutex> lock(Guard());
        entry = lockEntry_;
    }
    if (entry) entry->section.lock();
}

void CThread::ClassUnlock() {
    std::shared_ptr<detail::ClassLockEntry> entry;
    {
        std::lock_guard<std::mutex> lock(Guard());
        entry = lockEntry_;
    }
    if (entry) entry->section.unlock();
}

bool CThread::SetPriority(int priority) {
    int tid = nativeTid_.load();
    for (int i = 0; tid == 0 && i < 100 && IsAlive(); ++i) {
        // The thread records its id as its first act.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        tid = nativeTid_.load();
    }
    if (tid == 0) return false;
    // Map the scale from -15 (idle) .. 15 (time critical) onto nice 19 .. -20;
    // raising priority needs privileges and may fail, which is fine.
    int nice = priority <= -15 ? 19 : (priority >= 15 ? -20 : -priority);
    return ::setpriority(PRIO_PROCESS, id_t(tid), nice) == 0;
}

int CThread::GetStatus() const { return status_.load(); }
void CThread::SetStatus(int status) { status_ = status; }
int CThread::ExitCode() const { return exitCode_.load(); }

CGDIThread::CGDIThread() {
    className_ = "CGDIThread";
    commandSupport_ = true;
    classLockWanted_ = true;
}

int CGDIThread::Run() {
    AttachDC();
    for (;;) {
        int command = 0;
        WaitCommand(command, 0);
        bool leave = false;
        switch (command) {
            case kTimeout:
                if (GetStatus() != kPaused) Step();
                break;
            case kRun:
                if (GetStatus() != kPaused) {
                    SetStatus(kRunning);
                    Step();
                }
                break;
            case kPause:
                if (GetStatus() != kPaused) SetStatus(kPaused);
                break;
            case kContinue:
                if (GetStatus() == kPaused) {
                    SetStatus(kContinuing);
                    PostCommandFirst(kRun);
                }
                break;
            case kStart:
                PostCommandFirst(kRun);
                break;
            case kStop:
                leave = true;
                break;
            default:
                break;
        }
        if (leave) break;
    }
    DetachDC();
    return 0;
}

}  // namespace pq
