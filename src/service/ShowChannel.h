// How a later start of the program reaches the one running with the same
// settings: the first listens on a local socket, a later one asks it to bring
// its window to the front. The socket lives in the user's runtime folder.
// POSIX only; Windows finds the window itself.
#pragma once

#include <filesystem>

namespace telvane {

class TShowChannel {
public:
    explicit TShowChannel(std::filesystem::path socket) : Socket_(std::move(socket)) {}
    ~TShowChannel();
    TShowChannel(const TShowChannel&) = delete;
    TShowChannel& operator=(const TShowChannel&) = delete;

    // The first program: listens (a socket left by one that did not end
    // cleanly is replaced). Returns the descriptor that becomes readable
    // when a later start asks, or -1.
    int Listen();
    // Takes every request waiting; whether there was one.
    bool TakeRequests();
    // A later start: asks the first to show its window; whether it was
    // reached. The first may have just taken the lock and not yet listen.
    bool Ask() const;

private:
    std::filesystem::path Socket_;
    int Fd_ = -1;
};

} // namespace telvane
