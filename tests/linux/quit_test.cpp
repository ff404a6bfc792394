// Quitting while a fetch waits: the program ends promptly, its worker left behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

namespace {

TEST(LinuxQuit, ProgramEndsWhileItsFetchStillWaits) {
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::execl(CRAWLERVIEW_QUIT_PROBE, CRAWLERVIEW_QUIT_PROBE, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);

    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    int status = 0;
    std::thread reaper([&] {
        int s = 0;
        ::waitpid(pid, &s, 0);
        std::lock_guard lock(mutex);
        status = s;
        done = true;
        ended.notify_all();
    });
    {
        // Far below the fetch's 90-second period: only giving up at the quit ends it this soon.
        std::unique_lock lock(mutex);
        if (!ended.wait_for(lock, std::chrono::seconds(45), [&] { return done; })) {
            ::kill(pid, SIGKILL);
            ended.wait(lock, [&] { return done; });
            ADD_FAILURE() << "the program was still running 45 s after it was told to quit";
        }
    }
    reaper.join();
    std::string printed;
    char buffer[256];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
        printed.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(printed, "fetch returned 0 bytes\n");
}

}  // namespace
