#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/CThread.h"

namespace pq {
namespace {

// Records the commands it receives once released.
class RecordingThread : public CThread {
public:
    RecordingThread() { commandSupport_ = true; }
    ~RecordingThread() override {
        Release();
        int code;
        Stop(code, -1);
    }
    void Release() {
        if (!released.exchange(true)) release.set_value();
    }
    std::promise<void> release;
    std::atomic<bool> released{false};
    std::vector<int> seen;

protected:
    int Run() override {
        release.get_future().wait();
        int c = 0;
        while (WaitCommand(c, 0) && c != kTimeout) seen.push_back(c);
        return 5;
    }
};

class Stepper : public CGDIThread {
public:
    ~Stepper() override { Kill(0, true); }
    std::atomic<int> steps{0};
    std::atomic<bool> inStep{false};
    std::atomic<int> overlaps{0};
    std::atomic<bool> stopSelfAfter{false};

protected:
    void Step() override {
        ClassLock();
        if (inStep.exchange(true)) ++overlaps;
        ++steps;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        inStep = false;
        if (stopSelfAfter.load() && steps > 3) PostCommand(kStop);
        ClassUnlock();
    }
};

TEST(CThread, StartingARunningObjectThrowsCodeTwo) {
    Stepper s;
    s.Start();
    try {
        s.Start();
        FAIL() << "no exception";
    } catch (const CThreadException& e) {
        EXPECT_EQ(e.Code(), CThreadException::kAlreadyStarted);
        EXPECT_EQ(e.Message(), "Thread is already started!");
        EXPECT_EQ(e.Thread(), &s);
    }
    int code = -9;
    EXPECT_TRUE(s.Stop(code, -1));
    EXPECT_EQ(code, 0);
}

TEST(CThread, StopWithoutWaitReturnsAtOnceAndWaitForeverReturnsTheExitCode) {
    Stepper s;
    EXPECT_EQ(s.ExitCode(), CThread::kNeverRun);
    s.Start();
    EXPECT_TRUE(s.IsAlive());
    EXPECT_EQ(s.ExitCode(), CThread::kStillActive);
    while (s.steps < 2) std::this_thread::yield();
    int code = -9;
    bool ended = s.Stop(code, 0);
    if (!ended) {
        EXPECT_EQ(code, CThread::kStillActive);
    }
    EXPECT_TRUE(s.Stop(code, -1));
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(s.IsAlive());
    EXPECT_EQ(s.GetStatus(), CThread::kIdle);
    // An ended object can be started again.
    s.Start();
    EXPECT_TRUE(s.IsAlive());
    EXPECT_TRUE(s.Stop(code, 50));
}

TEST(CThread, CommandsQueueWithoutRepeatsAndFirstGoesFirst) {
    RecordingThread t;
    t.Start();
    EXPECT_TRUE(t.PostCommand(CThread::kPause));
    EXPECT_TRUE(t.PostCommand(CThread::kPause));
    EXPECT_TRUE(t.PostCommand(CThread::kContinue));
    EXPECT_TRUE(t.PostCommandFirst(CThread::kRun));
    EXPECT_TRUE(t.PostCommand(0));
    t.Release();
    while (t.IsAlive()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    int code = 0;
    EXPECT_TRUE(t.Stop(code, -1));
    EXPECT_EQ(code, 5);
    EXPECT_EQ(t.seen, (std::vector<int>{CThread::kRun, CThread::kStart, CThread::kPause,
                                        CThread::kContinue}));
}

TEST(CThread, ClassLockIsSharedAndGoesWithItsLastUser) {
    const std::string name = "CGDIThread";
    EXPECT_EQ(CThread::ClassLockUsers(name), 0);
    {
        Stepper a, b, c;
        a.Start();
        b.Start();
        c.Start();
        EXPECT_EQ(CThread::ClassLockUsers(name), 3);
        while (a.steps < 20 || b.steps < 20 || c.steps < 20)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        int code;
        a.Stop(code, -1);
        EXPECT_EQ(CThread::ClassLockUsers(name), 2);
        b.Stop(code, -1);
        c.Stop(code, -1);
        EXPECT_EQ(CThread::ClassLockUsers(name), 0) << "the last user's end deletes the lock";
        EXPECT_EQ(a.overlaps + b.overlaps + c.overlaps, 0) << "steps under the lock never overlap";
        a.Start();
        EXPECT_EQ(CThread::ClassLockUsers(name), 1) << "starting again creates it anew";
    }
    EXPECT_EQ(CThread::ClassLockUsers(name), 0);
}

TEST(CThread, AWorkerCanEndItselfByPostingStop) {
    Stepper s;
    s.stopSelfAfter = true;
    s.Start();
    int code = -1;
    EXPECT_TRUE(s.Stop(code, -1));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(CThread::ClassLockUsers("CGDIThread"), 0);
}

TEST(CThread, KillEndsARunningThreadAndStoresTheCode) {
    class Killed : public Stepper {
    public:
        ~Killed() override { Kill(0, true); }
        std::atomic<int> killed{0};

    protected:
        void OnKilled() override { ++killed; }
    } k;
    k.Start();
    while (k.steps < 1) std::this_thread::yield();
    k.Kill(77, false);
    EXPECT_FALSE(k.IsAlive());
    EXPECT_EQ(k.ExitCode(), 77);
    EXPECT_EQ(k.killed, 1);
    EXPECT_EQ(CThread::ClassLockUsers("CGDIThread"), 0);
    // On an object whose thread has ended it only stores the code.
    k.Kill(12, false);
    EXPECT_EQ(k.ExitCode(), 12);
    EXPECT_EQ(k.killed, 1);
}

TEST(CThread, PauseStopsStepsAndContinueResumes) {
    Stepper s;
    s.Start();
    while (s.steps < 2) std::this_thread::yield();
    s.PostCommand(CThread::kPause);
    while (s.GetStatus() != CThread::kPaused) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    int frozen = s.steps;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(s.steps, frozen);
    s.PostCommand(CThread::kContinue);
    while (s.steps <= frozen) std::this_thread::yield();
    int code;
    EXPECT_TRUE(s.Stop(code, -1));
}

}  // namespace
}  // namespace pq
