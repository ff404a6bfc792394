// Prints, in one run against nginx and the scripted server on loopback:
// - fetchPage of a 16 MiB body against `curl -s -o /dev/null` of the same URL (medians, ratio);
// - CPU time of the calling thread while a fetch waits 5 s on a server that never answers;
// - the memory high-water mark (RSS) that the first 16 MiB fetch adds.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "fetch/fetch_page.hpp"
#include "support/nginx_server.hpp"
#include "support/scripted_server.hpp"

namespace {

constexpr std::size_t kBodyBytes = 16u * 1024 * 1024;
constexpr int kRounds = 7;

double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

long maxRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double threadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::size_t fetchSize(const std::string& url, int timeoutSeconds = 60) {
    crawlerview::FetchRequest request;
    request.url = url;
    request.timeoutSeconds = timeoutSeconds;
    return crawlerview::fetchPage(request).size();
}

bool runCurl(const std::string& url) {
    const pid_t pid = fork();
    if (pid == 0) {
        execlp("curl", "curl", "-s", "-o", "/dev/null", url.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main() {
    crawlerview::testing::NginxServer nginx(kBodyBytes);
    crawlerview::testing::ScriptedServer scripted;
    if (!nginx.start() || !scripted.start()) {
        std::fprintf(stderr, "servers did not start: %s\n", nginx.error().c_str());
        return 1;
    }
    const std::string url = nginx.url(crawlerview::testing::kBigPage);

    const long rssBefore = maxRssKiB();
    if (fetchSize(url) != kBodyBytes) {
        std::fprintf(stderr, "the 16 MiB fetch came back short\n");
        return 1;
    }
    const long rssAfter = maxRssKiB();
    const double added = static_cast<double>(rssAfter - rssBefore) / 1024.0;
    std::printf(
        "memory: high-water mark %.1f MiB before, %.1f MiB after the 16 MiB fetch: "
        "+%.1f MiB = %.2fx the body (target < 5x)\n",
        rssBefore / 1024.0, rssAfter / 1024.0, added, added / 16.0);

    std::vector<double> ours, theirs;
    for (int i = 0; i < kRounds; ++i) {
        auto start = std::chrono::steady_clock::now();
        fetchSize(url);
        ours.push_back(seconds(std::chrono::steady_clock::now() - start));
        start = std::chrono::steady_clock::now();
        if (!runCurl(url)) {
            std::fprintf(stderr, "curl failed\n");
            return 1;
        }
        theirs.push_back(seconds(std::chrono::steady_clock::now() - start));
    }
    const double oursMedian = median(ours), theirsMedian = median(theirs);
    std::printf(
        "speed: fetchPage of 16 MiB %.1f ms, curl -s -o /dev/null %.1f ms (medians of %d): "
        "ratio %.2f (target <= 1.25)\n",
        oursMedian * 1e3, theirsMedian * 1e3, kRounds, oursMedian / theirsMedian);

    const double threadBefore = threadCpuSeconds(), processBefore = processCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    fetchSize(scripted.url("/silent"), 5);
    const double waited = seconds(std::chrono::steady_clock::now() - start);
    std::printf(
        "waiting: %.2f s on a silent server cost the calling thread %.2f ms CPU "
        "(target < 50 ms), the whole process %.2f ms\n",
        waited, (threadCpuSeconds() - threadBefore) * 1e3,
        (processCpuSeconds() - processBefore) * 1e3);
    return 0;
}
