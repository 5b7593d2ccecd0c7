// A terminal adapter played on a pseudo-terminal: the program under test
// opens the slave side as its serial port; this side reads the query
// command and answers with a diagnosis listing.
//
// Everything the adapter does runs on one thread of its own, which sleeps in
// poll() until the program writes, or until it is time for the next byte of
// a paced reply. What the adapter says and how it says it can be changed from
// any thread at any time; a reply uses what was set when its command came.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace tasim {

// What the adapter does with a query.
enum class TReplyMode {
    Listing,   // the whole listing, ended by "OK"
    Error,     // only "ERROR"
    Silent,    // nothing at all
    NoEndLine, // the listing without its final line
    HangUp,    // the first half of the listing, then the line goes dead
};

// How the adapter ends its lines.
enum class TLineEnd { CrLf, LfCr, Cr };

// How the adapter shapes a reply, apart from what the listing says.
struct TReplyStyle {
    bool Echo = true;                  // the command line first, as modems do
    TLineEnd LineEnd = TLineEnd::CrLf; // after every line, the echo included
    int RingLines = 0;                 // unsolicited "RING" lines among the listing
    bool Noise = false;                // lines of stray bytes, zero bytes included
    bool Bursts = false;               // random chunks instead of an even byte rate
};

const char* ModeName(TReplyMode mode);

class TPtyAdapter {
public:
    // One line of text per thing that happens ("command 3", "sent 3 ...").
    // Called on the adapter's thread, and on the caller's thread for LinkAs.
    using TEventHandler = std::function<void(const std::string& event)>;

    TPtyAdapter();
    explicit TPtyAdapter(TEventHandler onEvent);
    ~TPtyAdapter();
    TPtyAdapter(const TPtyAdapter&) = delete;
    TPtyAdapter& operator=(const TPtyAdapter&) = delete;

    // The device path of the slave side, for example /dev/pts/7. It changes
    // after a hang-up, when the adapter comes back on a new pseudo-terminal.
    std::string SlavePath() const;
    // Makes COMn of a ports folder a symbolic link to the slave side. The link
    // follows the adapter to its new pseudo-terminal after a hang-up, and is
    // removed when the adapter ends.
    void LinkAs(const std::filesystem::path& portsFolder, int comNumber);

    // The value after "=" of the calling-party line: a new caller.
    void Ring(const std::string& number);
    std::string Caller() const;
    // The value after "=" of the called-party line.
    void SetCalled(const std::string& number);
    // The first line of the listing, beginning "AtermIT" or "INS".
    void SetIdentity(const std::string& line);

    // What every reply does from now on; forgets queued modes.
    void SetMode(TReplyMode mode);
    // What the next count replies do; after them the set mode applies again.
    void QueueMode(TReplyMode mode, int count);
    void SetStyle(const TReplyStyle& style);
    TReplyStyle Style() const;
    // Time per byte of output: 0 answers at once. A 9600 bit/s line takes
    // about 1 ms a byte.
    void SetByteDelay(std::chrono::microseconds delay);
    // Seeds the choices of burst sizes, so that a run can be repeated.
    void SetSeed(std::uint32_t seed);

    // The listing the adapter sends now, CR LF ended.
    std::string Listing() const;
    // How many query commands arrived so far.
    int Commands() const;
    // Waits until at least count commands arrived; false on timeout.
    bool WaitForCommands(int count, std::chrono::milliseconds timeout) const;
    // Every byte received from the program so far.
    std::string Received() const;
    // How many replies went out whole so far.
    int Replies() const;
    // How many times the adapter hung up.
    int HangUps() const;

private:
    enum class TSent { Whole, Stopped, Stalled, Failed };
    struct TSendResult {
        TSent How;
        std::size_t Bytes;
        int Error; // errno of a failed write
    };

    void OpenPty();
    void Relink();
    void Emit(const std::string& event) const;
    void Run();
    // Answers one command; false when the adapter is being stopped.
    bool Answer(int command);
    TSendResult Send(const std::string& bytes);
    void HangUpNow(int command);
    // Sleeps for the given time unless the adapter is stopped meanwhile.
    bool Pause(std::chrono::microseconds time) const;
    std::vector<std::string> ListingLines() const; // Mutex_ held

    TEventHandler OnEvent_;
    int StopPipe_[2] = {-1, -1};
    // Master_ and SlaveKeeper_ are replaced only by the adapter's thread
    // (after a hang-up), under Mutex_.
    int Master_ = -1;
    // The adapter keeps the slave open itself, so that the master side never
    // sees a hang-up between the program's queries.
    int SlaveKeeper_ = -1;
    std::string SlavePath_;
    std::filesystem::path Link_;
    mutable std::mutex Mutex_;
    mutable std::condition_variable Changed_;
    std::string Identity_ = "AtermIT SIMULATED ADAPTER";
    std::string Caller_ = "BUFFER EMPTY";
    std::string Called_ = "0312345678";
    int Rings_ = 0;
    TReplyMode Mode_ = TReplyMode::Listing;
    std::deque<TReplyMode> Queued_;
    TReplyStyle Style_;
    std::chrono::microseconds ByteDelay_{0};
    std::mt19937 Random_{20260301};
    std::string Received_;
    std::string Pending_;
    int Commands_ = 0;
    int Replies_ = 0;
    int HangUps_ = 0;
    std::thread Thread_;
};

} // namespace tasim
