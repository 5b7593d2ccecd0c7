// Figures of the serial component on a pseudo-terminal, at the default line
// settings:
//   1. CPU time and wake-ups of the watch thread while the port is open and
//      idle for 10 s;
//   2. latency from a byte written on the other side to OnCommReceive,
//      median and worst of 1000;
//   3. throughput of 1 MiB received and of 1 MiB sent.
// COMn is pointed at the pseudo-terminal through a temporary ports folder,
// exactly as the tests do; no real serial device is opened.

#include "comm/Comm.h"

#include <dirent.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

std::set<std::string> Tasks() {
    std::set<std::string> tasks;
    if (DIR* dir = ::opendir("/proc/self/task")) {
        while (const dirent* entry = ::readdir(dir))
            if (entry->d_name[0] != '.')
                tasks.insert(entry->d_name);
        ::closedir(dir);
    }
    return tasks;
}

// Nanoseconds on the CPU, from the scheduler's statistics of one thread.
unsigned long long ThreadCpuNs(const std::string& Tid) {
    std::ifstream in("/proc/self/task/" + Tid + "/schedstat");
    unsigned long long ns = 0;
    in >> ns;
    return ns;
}

// Voluntary plus involuntary context switches: how often the thread woke.
unsigned long long ThreadSwitches(const std::string& Tid) {
    std::ifstream in("/proc/self/task/" + Tid + "/status");
    std::string line;
    unsigned long long total = 0;
    while (std::getline(in, line)) {
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
            line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
            total += std::strtoull(line.substr(line.find(':') + 1).c_str(), nullptr, 10);
    }
    return total;
}

double Micros(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

class TPseudoTerminal {
public:
    TPseudoTerminal() {
        char folder[] = "/tmp/telvane-bench-XXXXXX";
        if (!::mkdtemp(folder) || ::openpty(&Master, &FSlave, FName, nullptr, nullptr) != 0) {
            std::perror("set-up");
            std::exit(1);
        }
        FFolder = folder;
        const std::string ports = FFolder + "/Maruvo/Telvane/ports";
        std::filesystem::create_directories(ports);
        std::filesystem::create_symlink(FName, ports + "/COM3");
        ::setenv("XDG_CONFIG_HOME", FFolder.c_str(), 1);
    }
    ~TPseudoTerminal() {
        ::close(Master);
        ::close(FSlave);
        std::error_code ignored;
        std::filesystem::remove_all(FFolder, ignored);
    }
    void ReadExactly(size_t Count) {
        std::vector<char> buffer(65536);
        while (Count > 0) {
            const ssize_t n = ::read(Master, buffer.data(), std::min(buffer.size(), Count));
            if (n <= 0) {
                std::perror("read");
                std::exit(1);
            }
            Count -= static_cast<size_t>(n);
        }
    }
    void WriteAll(const char* Bytes, size_t Count) {
        while (Count > 0) {
            const ssize_t n = ::write(Master, Bytes, Count);
            if (n <= 0) {
                std::perror("write");
                std::exit(1);
            }
            Bytes += n;
            Count -= static_cast<size_t>(n);
        }
    }

    int Master = -1;

private:
    int FSlave = -1;
    char FName[128] = {};
    std::string FFolder;
};

void IdleWatch() {
    TPseudoTerminal pty;
    TComm comm;
    comm.SetPort(3);
    comm.SetOnCommReceive([](TComm*, uint16_t) {});
    const std::set<std::string> before = Tasks();
    comm.Open();
    std::string watch;
    for (const std::string& tid : Tasks())
        if (!before.count(tid))
            watch = tid;
    if (watch.empty()) {
        std::puts("idle: the watch thread was not found");
        return;
    }
    const unsigned long long cpu0 = ThreadCpuNs(watch);
    const unsigned long long switches0 = ThreadSwitches(watch);
    rusage usage0{};
    ::getrusage(RUSAGE_SELF, &usage0);
    std::this_thread::sleep_for(10s);
    const unsigned long long cpu = ThreadCpuNs(watch) - cpu0;
    const unsigned long long switches = ThreadSwitches(watch) - switches0;
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto processUs = [](const rusage& u) {
        return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000000LL + u.ru_utime.tv_usec +
               u.ru_stime.tv_usec;
    };
    std::printf("idle 10 s: watch thread CPU %.1f us, %llu wake-ups; whole process CPU %lld us\n",
                static_cast<double>(cpu) / 1000.0, switches, processUs(usage) - processUs(usage0));
    comm.Close();
}

void Latency() {
    TPseudoTerminal pty;
    TComm comm;
    comm.SetPort(3);
    std::mutex lock;
    std::condition_variable arrived;
    Clock::time_point at;
    bool seen = false;
    comm.SetOnCommReceive([&](TComm* Sender, uint16_t Size) {
        const Clock::time_point now = Clock::now();
        char buffer[64];
        Sender->Read(buffer, std::min<int32_t>(Size, sizeof buffer));
        std::lock_guard<std::mutex> guard(lock);
        at = now;
        seen = true;
        arrived.notify_all();
    });
    comm.Open();
    std::vector<double> samples;
    for (int i = 0; i < 1000; ++i) {
        const Clock::time_point sent = Clock::now();
        pty.WriteAll("x", 1);
        std::unique_lock<std::mutex> guard(lock);
        if (!arrived.wait_for(guard, 5s, [&] { return seen; })) {
            std::puts("latency: a byte was not announced");
            return;
        }
        samples.push_back(Micros(at - sent));
        seen = false;
    }
    comm.Close();
    std::sort(samples.begin(), samples.end());
    std::printf(
        "latency byte -> OnCommReceive (1000): median %.1f us, p99 %.1f us, worst %.1f us\n",
        samples[samples.size() / 2], samples[samples.size() * 99 / 100], samples.back());
}

void Throughput() {
    constexpr size_t Total = 1024 * 1024;
    const std::string block(4096, 'T');
    {
        TPseudoTerminal pty;
        TComm comm;
        comm.SetPort(3);
        std::mutex lock;
        std::condition_variable done;
        size_t received = 0;
        comm.SetOnCommReceive([&](TComm* Sender, uint16_t Size) {
            std::vector<char> buffer(Size);
            const int32_t got = Sender->Read(buffer.data(), Size);
            std::lock_guard<std::mutex> guard(lock);
            received += static_cast<size_t>(std::max(got, 0));
            done.notify_all();
        });
        comm.Open();
        const Clock::time_point start = Clock::now();
        std::thread writer([&] {
            for (size_t sent = 0; sent < Total; sent += block.size())
                pty.WriteAll(block.data(), block.size());
        });
        std::unique_lock<std::mutex> guard(lock);
        done.wait_for(guard, 60s, [&] { return received >= Total; });
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        guard.unlock();
        writer.join();
        std::printf("receive 1 MiB: %.1f ms, %.1f MiB/s\n", seconds * 1000.0, 1.0 / seconds);
        comm.Close();
    }
    {
        TPseudoTerminal pty;
        TComm comm;
        comm.SetPort(3);
        comm.Open();
        const Clock::time_point start = Clock::now();
        std::thread reader([&] { pty.ReadExactly(Total); });
        for (size_t sent = 0; sent < Total; sent += block.size())
            comm.Write(block.data(), static_cast<int32_t>(block.size()));
        reader.join();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("send 1 MiB:    %.1f ms, %.1f MiB/s\n", seconds * 1000.0, 1.0 / seconds);
        comm.Close();
    }
}

} // namespace

int main() {
    IdleWatch();
    Latency();
    Throughput();
    return 0;
}
