// The following window of follow-latency.sh: the Qt window and service, built
// as main() builds them, over a settings file whose Follow names the
// Telvane to follow. Prints on stdout, each line stamped with the seconds
// since the epoch (with microseconds):
//
//   <time> number|status <text>   the label paints a text other than the
//                                 one it painted before (stamped as it
//                                 starts to paint: the new text reaching
//                                 the screen, not merely the label's memory)
//   <time> grown <size>           the publisher's call log grew (a thread
//                                 of its own, woken by inotify)
//
//   follow_window SETTINGS_FILE FOLDER PUBLISHERS_LOG
//   (FOLDER: where the window's own RingLog.txt goes)
#include "BenchProgram.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

namespace {

using TClock = std::chrono::system_clock;

void Print(TClock::time_point at, const std::string& what) {
    const long long micros =
        std::chrono::duration_cast<std::chrono::microseconds>(at.time_since_epoch()).count();
    // One call: the two threads' lines never mix.
    std::printf("%lld.%06lld %s\n", micros / 1000000, micros % 1000000, what.c_str());
    std::fflush(stdout);
}

// Tells every growth of a file, from a thread that waits for nothing else.
class TGrowthWatch {
public:
    explicit TGrowthWatch(const std::filesystem::path& file)
        : File_(file), Inotify_(::inotify_init1(IN_CLOEXEC)), Stop_(::eventfd(0, EFD_CLOEXEC)) {
        if (Inotify_ < 0 || Stop_ < 0 ||
            ::inotify_add_watch(Inotify_, file.parent_path().c_str(), IN_MODIFY) < 0) {
            std::perror("follow_window: cannot watch the publisher's log");
            std::exit(1);
        }
        Thread_ = std::thread([this] { Run(); });
    }
    ~TGrowthWatch() {
        const std::uint64_t one = 1;
        if (::write(Stop_, &one, sizeof one) == sizeof one) {
            Thread_.join();
        } else {
            Thread_.detach();
        }
        ::close(Inotify_);
        ::close(Stop_);
    }

private:
    void Run() {
        alignas(inotify_event) char events[4096];
        std::uintmax_t size = 0;
        for (;;) {
            pollfd fds[] = {{Inotify_, POLLIN, 0}, {Stop_, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 || fds[1].revents != 0 ||
                ::read(Inotify_, events, sizeof events) <= 0) {
                return;
            }
            // Stamped before anything else; the size only says whether it grew.
            const auto now = TClock::now();
            std::error_code error;
            const std::uintmax_t grown = std::filesystem::file_size(File_, error);
            if (!error && grown > size) {
                size = grown;
                Print(now, "grown " + std::to_string(size));
            }
        }
    }

    std::filesystem::path File_;
    int Inotify_;
    int Stop_;
    std::thread Thread_;
};

class TPaintedText final : public QObject {
public:
    TPaintedText(QLabel* label, const char* name) : QObject(label), Label_(label), Name_(name) {
        label->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && Label_->text() != Painted_) {
            Painted_ = Label_->text();
            Print(TClock::now(), std::string(Name_) + " " + Painted_.toStdString());
        }
        return false;
    }

private:
    QLabel* Label_;
    const char* Name_;
    QString Painted_;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s SETTINGS_FILE FOLDER PUBLISHERS_LOG\n", argv[0]);
        return 2;
    }
    TGrowthWatch publisher(argv[3]);
    QApplication app(argc, argv);
    telvane::TBenchProgram program(argv[1], argv[2]);
    new TPaintedText(program.Form.findChild<QLabel*>(QStringLiteral("NumberLabel")), "number");
    new TPaintedText(program.Form.findChild<QLabel*>(QStringLiteral("StatusLabel")), "status");
    program.Service->Start();
    program.Form.show();
    return app.exec();
}
