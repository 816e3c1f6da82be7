// Starts each given program again and again, alternately, and measures from the instant before
// fork/exec to the program's "READY <monotonic seconds>" line: start-up until the logon window
// takes input. After the READY line it waits a moment in that state and reads the resident size
// (peak VmHWM and current VmRSS) and the CPU time used so far from /proc, then ends the program.
//
// Usage: bench_startup [--runs N] [--settle-ms MS] [--warmup N] program...
// Prints one line per program:
//   <program> runs=N startup_ms_median=… startup_ms_min=… startup_ms_p25=… startup_ms_p75=…
//   startup_ms_max=… cpu_ms_median=… hwm_kb_median=… rss_kb_median=…
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct Sample
{
    double startupMs = 0;
    double cpuMs = 0;
    long hwmKb = 0;
    long rssKb = 0;
};

double monotonicSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

long statusKb(pid_t pid, const std::string &field)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0)
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
    }
    return -1;
}

// User plus system CPU time of the whole process, in milliseconds.
double cpuMs(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream rest(text.substr(close + 2));
    std::string field;
    // Fields after the command: state is field 3; utime and stime are fields 14 and 15.
    unsigned long long utime = 0, stime = 0;
    for (int n = 3; n <= 15 && rest >> field; ++n) {
        if (n == 14)
            utime = std::stoull(field);
        if (n == 15)
            stime = std::stoull(field);
    }
    return double(utime + stime) * 1000.0 / double(::sysconf(_SC_CLK_TCK));
}

std::optional<Sample> runOnce(const std::string &program, int settleMs)
{
    int out[2];
    if (::pipe(out) != 0)
        return std::nullopt;
    const double started = monotonicSeconds();
    const pid_t child = ::fork();
    if (child < 0)
        return std::nullopt;
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::setenv("TIMORA_BENCH_READY", "1", 1);
        ::execl(program.c_str(), program.c_str(), nullptr);
        ::_exit(127);
    }
    ::close(out[1]);

    std::optional<Sample> sample;
    std::string buffer;
    const double deadline = started + 30;
    while (!sample && monotonicSeconds() < deadline) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0)
            continue;
        char chunk[256];
        const ssize_t n = ::read(out[0], chunk, sizeof chunk);
        if (n <= 0)
            break;
        buffer.append(chunk, size_t(n));
        const auto at = buffer.find("READY ");
        if (at != std::string::npos && buffer.find('\n', at) != std::string::npos) {
            const double ready = std::strtod(buffer.c_str() + at + 6, nullptr);
            sample = Sample{(ready - started) * 1000.0};
        }
    }
    if (sample) {
        sample->cpuMs = cpuMs(child);
        std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
        sample->hwmKb = statusKb(child, "VmHWM");
        sample->rssKb = statusKb(child, "VmRSS");
    } else {
        std::fprintf(stderr, "%s: no READY line within 30 s\n", program.c_str());
    }
    ::kill(child, SIGTERM);
    int status = 0;
    for (int i = 0; i < 50 && ::waitpid(child, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (::waitpid(child, &status, WNOHANG) == 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
    }
    ::close(out[0]);
    return sample;
}

double quantile(std::vector<double> values, double q)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const double at = q * double(values.size() - 1);
    const auto low = size_t(at);
    const auto high = std::min(low + 1, values.size() - 1);
    return values[low] + (values[high] - values[low]) * (at - double(low));
}

} // namespace

int main(int argc, char *argv[])
{
    int runs = 20;
    int settleMs = 1500;
    int warmup = 1;
    std::vector<std::string> programs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc)
            runs = std::atoi(argv[++i]);
        else if (arg == "--settle-ms" && i + 1 < argc)
            settleMs = std::atoi(argv[++i]);
        else if (arg == "--warmup" && i + 1 < argc)
            warmup = std::atoi(argv[++i]);
        else
            programs.push_back(arg);
    }
    if (programs.empty() || runs < 1) {
        std::fprintf(stderr, "usage: %s [--runs N] [--settle-ms MS] [--warmup N] program...\n",
                     argv[0]);
        return 2;
    }

    std::vector<std::vector<Sample>> samples(programs.size());
    for (int round = -warmup; round < runs; ++round) {
        for (size_t p = 0; p < programs.size(); ++p) {
            const auto sample = runOnce(programs[p], settleMs);
            if (!sample)
                return 1;
            if (round >= 0)
                samples[p].push_back(*sample);
            // Let the X server and the window manager forget the last window.
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
    }

    for (size_t p = 0; p < programs.size(); ++p) {
        std::vector<double> startup, cpu, hwm, rss;
        for (const Sample &s : samples[p]) {
            startup.push_back(s.startupMs);
            cpu.push_back(s.cpuMs);
            hwm.push_back(double(s.hwmKb));
            rss.push_back(double(s.rssKb));
        }
        std::printf("%s runs=%zu startup_ms_median=%.1f startup_ms_min=%.1f startup_ms_p25=%.1f "
                    "startup_ms_p75=%.1f startup_ms_max=%.1f cpu_ms_median=%.0f "
                    "hwm_kb_median=%.0f rss_kb_median=%.0f\n",
                    programs[p].c_str(), startup.size(), quantile(startup, 0.5),
                    quantile(startup, 0), quantile(startup, 0.25), quantile(startup, 0.75),
                    quantile(startup, 1), quantile(cpu, 0.5), quantile(hwm, 0.5),
                    quantile(rss, 0.5));
    }
    return 0;
}
