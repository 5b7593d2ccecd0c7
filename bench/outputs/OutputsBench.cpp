// Latency of the outputs from the moment a call is handed to them, and what
// they cost while idle. Run through run.sh, which starts a broker, a private
// session bus and dunst.
//
//   outputs-bench BROKER_PORT [CALLS]
#include "outputs/Outputs.h"
#include "qt/outputs/Notifier.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <mosquitto.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace telvane;
using namespace std::chrono;

namespace {

long long RealNanoseconds() {
    return duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
}

void Print(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s median %7.2f ms   worst %7.2f ms   (%zu calls)\n", what, ms[ms.size() / 2],
                ms.back(), ms.size());
}

long RssKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}

double CpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 +
           usage.ru_stime.tv_sec * 1e3 + usage.ru_stime.tv_usec / 1e3;
}

TCallEvent Call(int i) {
    TCallEvent event;
    event.Number = "03" + std::to_string(10000000 + i);
    event.Display = event.Number;
    event.Time = IsoNow();
    return event;
}

// The hook is date(1), run directly: it writes the moment it started.
void HookLatency(int calls, const std::string& folder) {
    const std::string log = folder + "/hook.log";
    THookRunner hook({"date", "+%s%N"}, log,
                     [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
    std::vector<double> ms;
    for (int i = 0; i < calls; ++i) {
        const long long start = RealNanoseconds();
        hook.Post(Call(i));
        hook.WaitIdle(seconds(30));
        std::ifstream in(log);
        std::string line, last;
        while (std::getline(in, line)) {
            if (!line.empty() && line[0] != '-') {
                last = line;
            }
        }
        ms.push_back((std::stoll(last) - start) / 1e6);
    }
    Print("call -> hook program running", ms);
}

// A hook that writes without end until its time is up: what reading and
// dropping its output costs, and what of it stays on disk.
void HookFlood(const std::string& folder) {
    const std::string log = folder + "/flood.log";
    THookLimits limits;
    limits.Timeout = seconds(5);
    THookRunner hook(
        {"yes"}, log, [](const std::string&) {}, limits);
    const double before = CpuMs();
    hook.Post(Call(0));
    hook.WaitIdle(seconds(30));
    std::ifstream last(log, std::ios::ate), older(log + ".1", std::ios::ate);
    std::printf("hook writing without end for 5 s: %.0f ms processor time, log %lld + %lld bytes\n",
                CpuMs() - before, static_cast<long long>(last.tellg()),
                static_cast<long long>(older.tellg()));
}

struct TSubscriber {
    std::mutex Mutex;
    std::condition_variable Changed;
    int Received = 0;
    bool Ready = false;
};

void MqttLatency(int calls, int port) {
    TSubscriber state;
    mosquitto_lib_init();
    mosquitto* sub = mosquitto_new(nullptr, true, &state);
    mosquitto_connect_callback_set(sub, [](mosquitto* m, void*, int) {
        mosquitto_subscribe(m, nullptr, "bench/tel/call", 1);
    });
    mosquitto_subscribe_callback_set(sub, [](mosquitto*, void* s, int, int, const int*) {
        auto* st = static_cast<TSubscriber*>(s);
        std::lock_guard lock(st->Mutex);
        st->Ready = true;
        st->Changed.notify_all();
    });
    mosquitto_message_callback_set(sub, [](mosquitto*, void* s, const mosquitto_message*) {
        auto* st = static_cast<TSubscriber*>(s);
        std::lock_guard lock(st->Mutex);
        ++st->Received;
        st->Changed.notify_all();
    });
    mosquitto_connect(sub, "127.0.0.1", port, 30);
    mosquitto_loop_start(sub);
    {
        std::unique_lock lock(state.Mutex);
        state.Changed.wait_for(lock, seconds(10), [&] { return state.Ready; });
    }
    auto publisher = MakeMqttPublisher(
        *ParseMqttUrl("mqtt://127.0.0.1:" + std::to_string(port)), "bench/tel", "bench",
        [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
    std::this_thread::sleep_for(milliseconds(500)); // connected
    std::vector<double> ms;
    for (int i = 0; i < calls; ++i) {
        const auto start = steady_clock::now();
        publisher->Publish(Call(i));
        std::unique_lock lock(state.Mutex);
        state.Changed.wait_for(lock, seconds(10), [&] { return state.Received > i; });
        ms.push_back(duration<double, std::milli>(steady_clock::now() - start).count());
    }
    Print("call -> MQTT message at a subscriber", ms);
    mosquitto_disconnect(sub);
    mosquitto_loop_stop(sub, false);
    mosquitto_destroy(sub);
}

void NotifyLatency(int calls) {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        std::puts("call -> desktop notification: no session bus, not measured");
        return;
    }
    TNotifier notifier;
    std::vector<double> ms;
    for (int i = 0; i < calls; ++i) {
        QEventLoop loop;
        QObject::connect(&notifier, &TNotifier::Shown, &loop, &QEventLoop::quit);
        const auto start = steady_clock::now();
        notifier.Show(QStringLiteral("bench"), QString::number(i), std::to_string(i));
        loop.exec();
        ms.push_back(duration<double, std::milli>(steady_clock::now() - start).count());
    }
    Print("call -> Notify answered by the server", ms);
}

void Idle(int port, const std::string& folder) {
    const long rssBefore = RssKiB();
    TOutputSettings settings;
    settings.HookCommand = "true";
    settings.HookLog = folder + "/idle.log";
    settings.MqttUrl = "mqtt://127.0.0.1:" + std::to_string(port);
    settings.MqttTopic = "bench/idle";
    settings.HostName = "bench";
    TOutputs outputs(settings, [](const std::string&) {});
    std::this_thread::sleep_for(seconds(1));
    const double cpuBefore = CpuMs();
    std::this_thread::sleep_for(seconds(20));
    std::printf("idle with hook and MQTT on, 20 s: %.1f ms processor time, %+ld KiB resident\n",
                CpuMs() - cpuBefore, RssKiB() - rssBefore);
}

// What a broker that is not there costs: the attempts and the waits
// between them.
void Unreachable() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    for (const std::string scheme : {"mqtt", "mqtts"}) {
        TOutputSettings settings;
        settings.MqttUrl = scheme + "://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
        settings.MqttTopic = "bench/unreachable";
        settings.HostName = "bench";
        TOutputs outputs(settings, [](const std::string&) {});
        std::this_thread::sleep_for(seconds(1));
        const double cpuBefore = CpuMs();
        std::this_thread::sleep_for(seconds(20));
        std::printf("%s:// with nothing listening, 20 s: %.1f ms processor time\n", scheme.c_str(),
                    CpuMs() - cpuBefore);
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("usage: outputs-bench BROKER_PORT [CALLS]\n", stderr);
        return 2;
    }
    const int port = std::stoi(argv[1]);
    const int calls = argc > 2 ? std::stoi(argv[2]) : 50;
    const std::string folder = qEnvironmentVariable("TMPDIR", QStringLiteral("/tmp")).toStdString();
    Idle(port, folder);
    Unreachable();
    HookLatency(calls, folder);
    HookFlood(folder);
    MqttLatency(calls, port);
    NotifyLatency(calls);
    return 0;
}
