// TComm and the POSIX backend on pseudo-terminals. Each test points COMn at
// the slave side of a fresh pseudo-terminal through a ports folder in a
// temporary XDG_CONFIG_HOME and plays the terminal adapter on the master
// side. No test opens a real serial device.

#include "CommMessages.h"
#include "TempFolder.h"
#include "comm/Comm.h"
#include "comm/CommPlatform.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

const std::string OpenErrorMinus1 = OpenError + "-1";
const std::string Query = "ATV1I4\\L0\\L1\r";

size_t CountEntries(const char* Folder) {
    size_t count = 0;
    if (DIR* dir = ::opendir(Folder)) {
        while (const dirent* entry = ::readdir(dir))
            count += entry->d_name[0] != '.';
        ::closedir(dir);
    }
    return count;
}

class CommPty : public ::testing::Test {
protected:
    // COM3 is a new pseudo-terminal's slave; the test keeps the master, and a
    // slave descriptor too, to look at the line settings.
    void SetUp() override {
        ::setenv("XDG_CONFIG_HOME", FConfigHome.Path().c_str(), 1);
        std::filesystem::create_directories(FPorts);
        char slaveName[128];
        ASSERT_EQ(::openpty(&Master, &Slave, slaveName, nullptr, nullptr), 0)
            << std::strerror(errno);
        Link("COM3", slaveName);
    }
    void TearDown() override {
        for (int fd : {Master, Slave})
            ::close(fd);
    }

    void Link(const std::string& Name, const std::string& Target) {
        std::filesystem::create_symlink(Target, FPorts / Name);
    }

    // Reads exactly Count bytes from the master, waiting at most 10 s.
    std::string ReadMaster(size_t Count) {
        std::string bytes;
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (bytes.size() < Count && std::chrono::steady_clock::now() < deadline) {
            pollfd fd{Master, POLLIN, 0};
            if (::poll(&fd, 1, 100) <= 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(Master, buffer, std::min(sizeof buffer, Count - bytes.size()));
            if (n <= 0)
                break;
            bytes.append(buffer, static_cast<size_t>(n));
        }
        return bytes;
    }

    // The other side goes away: both of the test's descriptors close.
    void HangUp() {
        for (int* fd : {&Master, &Slave}) {
            ::close(*fd);
            *fd = -1;
        }
    }

    void WriteMaster(const std::string& Bytes) {
        ASSERT_EQ(::write(Master, Bytes.data(), Bytes.size()), static_cast<ssize_t>(Bytes.size()));
    }

    termios SlaveSettings() const {
        termios settings{};
        EXPECT_EQ(::tcgetattr(Slave, &settings), 0);
        return settings;
    }

    // A receive handler that reads what is announced, at most Limit bytes.
    void ReadOnReceive(TComm& Comm, size_t Limit = 65536) {
        Comm.SetOnCommReceive([this, &Comm, Limit](TComm* Sender, uint16_t Size) {
            EXPECT_EQ(Sender, &Comm);
            EXPECT_GE(Size, 1);
            std::vector<char> buffer(std::min<size_t>(Size, Limit));
            const int32_t got = Sender->Read(buffer.data(), static_cast<int32_t>(buffer.size()));
            EXPECT_EQ(got, static_cast<int32_t>(buffer.size()));
            Received.Add(std::string(buffer.data(), static_cast<size_t>(std::max(got, 0))));
        });
    }

    int Master = -1;
    int Slave = -1;
    TLog Received; // outlives the components of a test

private:
    telvane::testing::TTempFolder FConfigHome;
    std::filesystem::path FPorts = FConfigHome.Path() / "Maruvo" / "Telvane" / "ports";
};

TEST_F(CommPty, DefaultsBecomeARawNineThousandSixHundredBaudLine) {
    TComm comm;
    comm.SetPort(3);
    comm.Open();
    const termios t = SlaveSettings();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
    EXPECT_NE(t.c_cflag & CLOCAL, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cc[VSTART], 0x11);
    EXPECT_EQ(t.c_cc[VSTOP], 0x13);
}

// The backend's own round trip of the device control block, including what
// termios has no place for.
TEST_F(CommPty, DeviceControlBlockSurvivesTheRoundTrip) {
    const std::shared_ptr<TCommPlatform> driver = CommNativePlatform();
    const TCommHandle port = driver->CreateFileA("COM3");
    ASSERT_GE(port, 0);
    struct TCase {
        uint32_t Rate;
        uint8_t Bits, Parity, Stop;
        uint32_t Flags;
    };
    const uint32_t handshake = DcbFlag::Binary | DcbFlag::Parity | DcbFlag::OutxCtsFlow |
                               (CommRts::Handshake << DcbFlag::RtsControlShift) |
                               (CommDtr::Enable << DcbFlag::DtrControlShift);
    const uint32_t xonXoff = DcbFlag::Binary | DcbFlag::OutX | DcbFlag::InX |
                             (CommRts::Enable << DcbFlag::RtsControlShift) |
                             (CommDtr::Handshake << DcbFlag::DtrControlShift) |
                             DcbFlag::OutxDsrFlow | DcbFlag::Null;
    // Pseudo-terminals keep 8 data bits without parity whatever they are told.
    const TCase cases[] = {
        {9600, 8, 0, 0, handshake}, {31250, 8, 0, 2, xonXoff}, {4000, 8, 0, 0, handshake},
        {230400, 8, 0, 2, xonXoff}, {110, 8, 0, 0, handshake},
    };
    for (const TCase& c : cases) {
        TCommDcb set{};
        ASSERT_TRUE(driver->GetCommState(port, set));
        set.BaudRate = c.Rate;
        set.ByteSize = c.Bits;
        set.Parity = c.Parity;
        set.StopBits = c.Stop;
        set.Flags = c.Flags;
        set.XonLim = 1024;
        set.XoffLim = 64632;
        set.XonChar = 0x11;
        set.XoffChar = 0x13;
        set.EvtChar = '\r';
        ASSERT_TRUE(driver->SetCommState(port, set)) << c.Rate;
        TCommDcb got{};
        ASSERT_TRUE(driver->GetCommState(port, got));
        EXPECT_EQ(std::memcmp(&got, &set, sizeof set), 0) << c.Rate;
    }
    TCommDcb refused{};
    ASSERT_TRUE(driver->GetCommState(port, refused));
    const TCommDcb before = refused;
    refused.ByteSize = 4;
    EXPECT_FALSE(driver->SetCommState(port, refused));
    EXPECT_EQ(driver->GetLastError().Kind, TCommErrorKind::InvalidParameter);
    TCommDcb after{};
    ASSERT_TRUE(driver->GetCommState(port, after));
    EXPECT_EQ(std::memcmp(&after, &before, sizeof after), 0);
    EXPECT_TRUE(driver->CloseHandle(port));
}

// The waiting rules the watch thread relies on: an empty mask ends a wait at
// once, a mask change ends only the wait pending at that moment.
TEST_F(CommPty, WaitEndsOnAnEmptyMaskAndOnAChangeWhilePending) {
    const std::shared_ptr<TCommPlatform> driver = CommNativePlatform();
    const TCommHandle port = driver->CreateFileA("COM3");
    ASSERT_GE(port, 0);
    uint32_t word = 0xFFFF;
    ASSERT_TRUE(driver->SetCommMask(port, 0));
    EXPECT_TRUE(driver->WaitCommEvent(port, word));
    EXPECT_EQ(word, 0u);

    ASSERT_TRUE(driver->SetCommMask(port, CommEv::Rxchar));
    std::mutex lock;
    std::condition_variable changed;
    std::vector<uint32_t> words;
    bool second = false;
    std::thread waiter([&] {
        for (int i = 0; i < 2; ++i) {
            uint32_t got = 0xFFFF;
            EXPECT_TRUE(driver->WaitCommEvent(port, got));
            std::unique_lock<std::mutex> guard(lock);
            words.push_back(got);
            changed.notify_all();
            changed.wait(guard, [&] { return second; });
        }
    });
    // Change the mask until the pending wait has ended.
    {
        std::unique_lock<std::mutex> guard(lock);
        while (words.empty()) {
            guard.unlock();
            EXPECT_TRUE(driver->SetCommMask(port, CommEv::Rxchar));
            guard.lock();
            changed.wait_for(guard, 10ms, [&] { return !words.empty(); });
        }
    }
    // A change while no wait is pending leaves the next wait alone.
    EXPECT_TRUE(driver->SetCommMask(port, CommEv::Rxchar));
    {
        std::lock_guard<std::mutex> guard(lock);
        second = true;
        changed.notify_all();
    }
    WriteMaster("z");
    waiter.join();
    EXPECT_EQ(words, (std::vector<uint32_t>{0, CommEv::Rxchar}));
    EXPECT_TRUE(driver->CloseHandle(port));
}

TEST_F(CommPty, BurstSplitOverManyNotificationsKeepsEveryByteInOrder) {
    std::string burst(256 * 1024, '\0');
    for (size_t i = 0; i < burst.size(); ++i)
        burst[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    TComm comm;
    comm.SetPort(3);
    ReadOnReceive(comm);
    comm.Open();
    std::thread writer([&] {
        size_t sent = 0;
        for (size_t chunk = 1; sent < burst.size(); chunk = chunk * 3 % 4093 + 1) {
            const size_t n = std::min(chunk, burst.size() - sent);
            ASSERT_EQ(::write(Master, burst.data() + sent, n), static_cast<ssize_t>(n));
            sent += n;
        }
    });
    writer.join();
    const std::string got = Received.WaitForBytes(burst.size());
    EXPECT_EQ(got.size(), burst.size());
    EXPECT_TRUE(got == burst) << "bytes lost or out of order";
    EXPECT_GT(Received.WaitFor(0).size(), 1u);
}

TEST_F(CommPty, BytesLeftQueuedAreAnnouncedOnlyWhenMoreArrive) {
    TComm comm;
    comm.SetPort(3);
    comm.SetOnCommReceive([this](TComm*, uint16_t Size) { Received.Add(std::to_string(Size)); });
    comm.Open();
    WriteMaster("a");
    EXPECT_EQ(Received.WaitFor(1), std::vector<std::string>{"1"});
    // Give a wait that wrongly announces old bytes time to do so.
    std::this_thread::sleep_for(50ms);
    WriteMaster("b");
    EXPECT_EQ(Received.WaitFor(2), (std::vector<std::string>{"1", "2"}));
}

TEST_F(CommPty, ReadWithoutHandlerDeliversWhatIsQueued) {
    TComm comm;
    comm.SetPort(3);
    comm.Open();
    WriteMaster("xyz");
    char buffer[10] = {};
    // Asks for more than will come: the read time-out ends it with the count.
    EXPECT_EQ(comm.Read(buffer, 10), 3);
    EXPECT_EQ(std::string(buffer, 3), "xyz");
    EXPECT_EQ(comm.Read(buffer, 0), 0);
}

TEST_F(CommPty, MissingOrBusyDevicesFailToOpen) {
    Link("COM4", "/nonexistent/tty");
    Link("COM5", "/etc/hostname"); // exists, but is no terminal
    TComm first;
    first.SetPort(3);
    first.Open(); // from now on COM3 is busy
    for (uint8_t port : {0, 3, 4, 5}) {
        TComm comm;
        comm.SetPort(port);
        try {
            comm.Open();
            ADD_FAILURE() << "COM" << int(port) << " must not open";
        } catch (const ECommOpenError& error) {
            EXPECT_EQ(error.ErrorCode(), -1) << int(port);
            EXPECT_EQ(error.what(), OpenErrorMinus1) << int(port);
        }
        EXPECT_FALSE(comm.IsOpen());
    }
    // The 13 bytes of the query reach the other side of the busy device.
    first.WriteString(Query);
    EXPECT_EQ(ReadMaster(13), Query);
}

TEST_F(CommPty, HangUpMidTransferEndsTheWatchInOrder) {
    TComm comm;
    comm.SetPort(3);
    ReadOnReceive(comm, 100);
    comm.Open();
    std::string sent(3000, 'h');
    WriteMaster(sent);
    HangUp(); // the adapter goes away mid-reply
    ASSERT_NE(comm.Watch(), nullptr);
    EXPECT_TRUE(comm.Watch()->WaitFor(10s)) << "the watch thread must end, not spin";
    const std::string got = Received.WaitForBytes(0);
    EXPECT_EQ(got, sent.substr(0, got.size()));
    EXPECT_THROW(comm.WriteString(Query), ECommReadWriteError);
    comm.Close();
    EXPECT_FALSE(comm.IsOpen());
}

// A hang-up of the line while the adapter's side stays open: every read
// fails from now on, and the watch thread must end instead of spinning.
TEST_F(CommPty, ReadErrorOnALiveLineEndsTheWatch) {
    TComm comm;
    comm.SetPort(3);
    ReadOnReceive(comm);
    comm.Open();
    ASSERT_EQ(::ioctl(Slave, TIOCVHANGUP), 0) << std::strerror(errno);
    ASSERT_NE(comm.Watch(), nullptr);
    EXPECT_TRUE(comm.Watch()->WaitFor(10s)) << "the watch thread must end on the error";
    comm.Close();
}

TEST_F(CommPty, WriteToASideThatStopsReadingRaisesAfterTheTimeOut) {
    TComm comm;
    comm.SetPort(3);
    comm.Open();
    const std::string block(4096, 'w');
    int32_t code = 0;
    // A pseudo-terminal holds a few blocks; 32 of them are far more.
    for (int writes = 0; writes < 32 && code == 0; ++writes) {
        try {
            comm.Write(block.data(), 4096);
        } catch (const ECommReadWriteError& error) {
            code = error.ErrorCode();
        }
    }
    EXPECT_EQ(code & CommCe::TxFull, CommCe::TxFull) << "a write cut short must raise";
    EXPECT_TRUE(comm.IsOpen());
}

TEST_F(CommPty, EventMaskChangeKeepsReceivingAndReportsTheEmptyQueue) {
    TComm comm;
    comm.SetPort(3);
    ReadOnReceive(comm);
    std::mutex lock;
    std::condition_variable changed;
    int transmitted = 0;
    comm.SetOnCommTransmit([&](TComm*, uint16_t Size) {
        EXPECT_EQ(Size, 0);
        std::lock_guard<std::mutex> guard(lock);
        ++transmitted;
        changed.notify_all();
    });
    comm.Open();
    comm.SetEventMask({evTxempty});
    comm.WriteString("x");
    EXPECT_EQ(ReadMaster(1), "x");
    {
        std::unique_lock<std::mutex> guard(lock);
        EXPECT_TRUE(changed.wait_for(guard, 10s, [&] { return transmitted > 0; }));
    }
    WriteMaster("y");
    EXPECT_EQ(Received.WaitForBytes(1), "y");
}

TEST_F(CommPty, CloseDiscardsBothQueues) {
    int packet = 1;
    ASSERT_EQ(::ioctl(Master, TIOCPKT, &packet), 0);
    ::fcntl(Master, F_SETFL, O_NONBLOCK);
    TComm comm;
    comm.SetPort(3);
    comm.Open();
    char buffer[64];
    while (::read(Master, buffer, sizeof buffer) > 0) {
    }
    comm.Close();
    ASSERT_GT(::read(Master, buffer, sizeof buffer), 0);
    EXPECT_EQ(buffer[0] & (TIOCPKT_FLUSHREAD | TIOCPKT_FLUSHWRITE),
              TIOCPKT_FLUSHREAD | TIOCPKT_FLUSHWRITE);
}

// Settings made while closed hold at every opening; a close ends the watch
// thread at once, and a thousand cycles leave nothing behind.
TEST_F(CommPty, ThousandCyclesKeepTheSettingsAndLeaveNoDescriptorOrThreadBehind) {
    TComm comm;
    comm.SetPort(3);
    ReadOnReceive(comm);
    comm.Open(); // ThreadSanitizer starts a thread of its own with the first one
    comm.Close();
    const size_t fds = CountEntries("/proc/self/fd");
    const size_t threads = CountEntries("/proc/self/task");
    comm.SetStopBits(csb2);
    comm.SetBaudRate(19200);
    std::string replies;
    for (int cycle = 0; cycle < 1000; ++cycle) {
        comm.Open();
        if (cycle % 999 == 0) {
            EXPECT_EQ(CountEntries("/proc/self/task"), threads + 1);
            const termios t = SlaveSettings();
            EXPECT_NE(t.c_cflag & CSTOPB, 0u) << "cycle " << cycle;
            EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200)) << "cycle " << cycle;
        }
        comm.WriteString("AT\r");
        ASSERT_EQ(ReadMaster(3), "AT\r") << "cycle " << cycle;
        WriteMaster("OK\r");
        replies += "OK\r";
        ASSERT_EQ(Received.WaitForBytes(replies.size()), replies) << "cycle " << cycle;
        comm.Close();
        if (cycle == 0) {
            EXPECT_EQ(CountEntries("/proc/self/task"), threads) << "Close must end the watch";
        }
    }
    EXPECT_EQ(CountEntries("/proc/self/fd"), fds);
    EXPECT_EQ(CountEntries("/proc/self/task"), threads);
    EXPECT_THROW(comm.WriteString(Query), ECommError);
}

} // namespace
