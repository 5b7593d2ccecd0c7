#include "Control.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <sstream>

namespace tasim {
namespace {

// The first word of a line and the rest, without the blank between them.
std::pair<std::string, std::string> Split(const std::string& line) {
    const auto end = line.find(' ');
    if (end == std::string::npos) {
        return {line, ""};
    }
    return {line.substr(0, end), line.substr(end + 1)};
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return "";
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool ParseNumber(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && value >= 0;
}

bool ParseSwitch(const std::string& text, bool& value) {
    if (text == "on") {
        value = true;
        return true;
    }
    if (text == "off") {
        value = false;
        return true;
    }
    return false;
}

const char* LineEndName(TLineEnd end) {
    switch (end) {
    case TLineEnd::LfCr:
        return "lfcr";
    case TLineEnd::Cr:
        return "cr";
    case TLineEnd::CrLf:
        break;
    }
    return "crlf";
}

} // namespace

TControl::TControl(TPtyAdapter& adapter, TPrint print, std::uint32_t seed)
    : Adapter_(adapter), Print_(std::move(print)), Random_(seed) {}

const char* TControl::Help() {
    return "Control commands, one a line (stdin, --control FIFO, --script FILE):\n"
           "  caller TEXT          a new caller: the calling-party line ends in TEXT\n"
           "                       (blanks, commas and a sub-address after \"/\" kept)\n"
           "  ring [TEXT]          the same; without TEXT a made-up number\n"
           "  empty                the calling-party line says BUFFER EMPTY\n"
           "  withheld REASON      a withheld number: the line ends in REASON (P, O, ...)\n"
           "  called TEXT          the called-party line ends in TEXT\n"
           "  identity aterm|ins|TEXT   the adapter's first line\n"
           "  error|silent|noend|hangup [N|always]\n"
           "                       the next N replies (default 1) are only ERROR, nothing,\n"
           "                       the listing without OK, or half the listing and then\n"
           "                       a hang-up (the adapter comes back on a new\n"
           "                       pseudo-terminal and the COMn link follows it)\n"
           "  listing              every reply is the whole listing again\n"
           "  echo on|off          echo the command line first (default on)\n"
           "  eol crlf|lfcr|cr     line ends (default crlf)\n"
           "  delay MS             time per byte, decimals allowed (default 1)\n"
           "  slow [MS]            the same, default 20: longer than the program waits\n"
           "  bursts on|off        random chunks instead of an even byte rate\n"
           "  ringlines N          N unsolicited RING lines among the listing\n"
           "  noise on|off         lines of stray and zero bytes, and look-alike lines\n"
           "  ring-every SECONDS   a made-up caller every SECONDS (0 stops)\n"
           "  wait MS              hold back the following lines for MS\n"
           "  wait-commands N      hold them back until N commands came in all\n"
           "  wait-replies N       hold them back until N replies went out whole\n"
           "  status               print the settings\n"
           "  quit                 end ta-sim\n"
           "  # ...                a comment\n";
}

void TControl::Add(const std::string& line) {
    Lines_.push_back(line);
}

std::optional<TControl::TClock::time_point> TControl::NextDeadline() const {
    std::optional<TClock::time_point> deadline = WaitUntil_;
    if (RingEvery_.count() > 0 && (!deadline || NextRing_ < *deadline)) {
        deadline = NextRing_;
    }
    return deadline;
}

std::string TControl::MadeUpNumber() {
    std::uniform_int_distribution<int> digit(0, 9);
    std::uniform_int_distribution<int> area(1, 9);
    std::string number = "0" + std::to_string(area(Random_));
    while (number.size() < 10) {
        number += static_cast<char>('0' + digit(Random_));
    }
    return number;
}

void TControl::RingIfDue() {
    if (RingEvery_.count() <= 0 || TClock::now() < NextRing_) {
        return;
    }
    const std::string number = MadeUpNumber();
    Adapter_.Ring(number);
    Print_("ring " + number);
    NextRing_ += RingEvery_;
    if (NextRing_ < TClock::now()) {
        NextRing_ = TClock::now() + RingEvery_;
    }
}

void TControl::Run() {
    RingIfDue();
    while (!Quit_) {
        if (WaitUntil_) {
            if (TClock::now() < *WaitUntil_) {
                return;
            }
            WaitUntil_.reset();
        }
        if (WaitCommands_ > 0) {
            if (Adapter_.Commands() < WaitCommands_) {
                return;
            }
            WaitCommands_ = 0;
        }
        if (WaitReplies_ > 0) {
            if (Adapter_.Replies() < WaitReplies_) {
                return;
            }
            WaitReplies_ = 0;
        }
        if (Lines_.empty()) {
            return;
        }
        const std::string line = Lines_.front();
        Lines_.pop_front();
        Execute(line);
    }
}

void TControl::Execute(const std::string& raw) {
    const std::string line = Trimmed(raw);
    if (line.empty() || line[0] == '#') {
        return;
    }
    // The caller's text is taken as it stands, blanks included.
    const auto [word, rest] = Split(line);
    const TCommandLine command{word, Trimmed(rest),
                               raw.substr(raw.find(word) + word.size() + (rest.empty() ? 0 : 1))};
    static const std::pair<const char*, THandler> kCommands[] = {
        {"caller", &TControl::RunCaller},       {"withheld", &TControl::RunCaller},
        {"ring", &TControl::RunRing},           {"empty", &TControl::RunEmpty},
        {"called", &TControl::RunCalled},       {"identity", &TControl::RunIdentity},
        {"error", &TControl::RunReplyMode},     {"silent", &TControl::RunReplyMode},
        {"noend", &TControl::RunReplyMode},     {"hangup", &TControl::RunReplyMode},
        {"listing", &TControl::RunListing},     {"ok", &TControl::RunListing},
        {"echo", &TControl::RunStyleSwitch},    {"bursts", &TControl::RunStyleSwitch},
        {"noise", &TControl::RunStyleSwitch},   {"eol", &TControl::RunLineEnd},
        {"ringlines", &TControl::RunRingLines}, {"delay", &TControl::RunByteDelay},
        {"slow", &TControl::RunByteDelay},      {"ring-every", &TControl::RunRingEvery},
        {"wait", &TControl::RunWait},           {"wait-commands", &TControl::RunWait},
        {"wait-replies", &TControl::RunWait},   {"status", &TControl::RunStatus},
        {"quit", &TControl::RunQuit},
    };
    const auto known = std::find_if(std::begin(kCommands), std::end(kCommands),
                                    [&](const auto& entry) { return command.Word == entry.first; });
    if (known == std::end(kCommands) || !(this->*known->second)(command)) {
        Print_("error bad control line: " + line);
    }
}

bool TControl::RunCaller(const TCommandLine& command) {
    Adapter_.Ring(command.Text);
    Print_("caller " + command.Text);
    return true;
}

bool TControl::RunRing(const TCommandLine& command) {
    if (!command.Argument.empty()) {
        return RunCaller(command);
    }
    const std::string made = MadeUpNumber();
    Adapter_.Ring(made);
    Print_("caller " + made);
    return true;
}

bool TControl::RunEmpty(const TCommandLine&) {
    Adapter_.Ring("BUFFER EMPTY");
    Print_("caller BUFFER EMPTY");
    return true;
}

bool TControl::RunCalled(const TCommandLine& command) {
    Adapter_.SetCalled(command.Text);
    Print_("called " + command.Text);
    return true;
}

bool TControl::RunIdentity(const TCommandLine& command) {
    const std::string& argument = command.Argument;
    const std::string identity = argument == "aterm" ? "AtermIT SIMULATED ADAPTER"
                                 : argument == "ins" ? "INS SIMULATED ADAPTER"
                                                     : argument;
    if (identity.empty()) {
        return false;
    }
    Adapter_.SetIdentity(identity);
    Print_("identity " + identity);
    return true;
}

// error, silent, noend or hangup: for the next replies or for all of them.
bool TControl::RunReplyMode(const TCommandLine& command) {
    const std::string& word = command.Word;
    const TReplyMode mode = word == "error"    ? TReplyMode::Error
                            : word == "silent" ? TReplyMode::Silent
                            : word == "noend"  ? TReplyMode::NoEndLine
                                               : TReplyMode::HangUp;
    if (command.Argument == "always") {
        Adapter_.SetMode(mode);
        Print_("mode " + word + " always");
        return true;
    }
    int count = 1;
    if (!command.Argument.empty()) {
        double number = 0;
        if (!ParseNumber(command.Argument, number) || number < 1) {
            return false;
        }
        count = static_cast<int>(number);
    }
    Adapter_.QueueMode(mode, count);
    Print_("mode " + word + " next " + std::to_string(count));
    return true;
}

bool TControl::RunListing(const TCommandLine&) {
    Adapter_.SetMode(TReplyMode::Listing);
    Print_("mode listing always");
    return true;
}

// echo, bursts or noise, on or off.
bool TControl::RunStyleSwitch(const TCommandLine& command) {
    bool flag = false;
    if (!ParseSwitch(command.Argument, flag)) {
        return false;
    }
    bool TReplyStyle::*const field = command.Word == "echo"     ? &TReplyStyle::Echo
                                     : command.Word == "bursts" ? &TReplyStyle::Bursts
                                                                : &TReplyStyle::Noise;
    TReplyStyle style = Adapter_.Style();
    style.*field = flag;
    Adapter_.SetStyle(style);
    Print_(command.Word + " " + command.Argument);
    return true;
}

bool TControl::RunLineEnd(const TCommandLine& command) {
    static const std::pair<const char*, TLineEnd> kLineEnds[] = {
        {"crlf", TLineEnd::CrLf}, {"lfcr", TLineEnd::LfCr}, {"cr", TLineEnd::Cr}};
    for (const auto& [name, end] : kLineEnds) {
        if (command.Argument == name) {
            TReplyStyle style = Adapter_.Style();
            style.LineEnd = end;
            Adapter_.SetStyle(style);
            Print_("eol " + command.Argument);
            return true;
        }
    }
    return false;
}

bool TControl::RunRingLines(const TCommandLine& command) {
    double number = 0;
    if (!ParseNumber(command.Argument, number)) {
        return false;
    }
    TReplyStyle style = Adapter_.Style();
    style.RingLines = static_cast<int>(number);
    Adapter_.SetStyle(style);
    Print_("ringlines " + std::to_string(style.RingLines));
    return true;
}

// delay MS, or slow [MS] whose default is longer than the program waits.
bool TControl::RunByteDelay(const TCommandLine& command) {
    double number = 20;
    const bool slowByDefault = command.Word == "slow" && command.Argument.empty();
    if (!slowByDefault && !ParseNumber(command.Argument, number)) {
        return false;
    }
    Adapter_.SetByteDelay(std::chrono::microseconds(static_cast<long long>(number * 1000)));
    std::ostringstream shown;
    shown << "delay " << number << " ms per byte";
    Print_(shown.str());
    return true;
}

bool TControl::RunRingEvery(const TCommandLine& command) {
    double number = 0;
    if (!ParseNumber(command.Argument, number)) {
        return false;
    }
    RingEvery_ = std::chrono::milliseconds(static_cast<long long>(number * 1000));
    NextRing_ = TClock::now() + RingEvery_;
    Print_("ring-every " + command.Argument + " s");
    return true;
}

// wait MS, wait-commands N or wait-replies N: only noted here; Run holds
// back the lines after it.
bool TControl::RunWait(const TCommandLine& command) {
    double number = 0;
    if (!ParseNumber(command.Argument, number)) {
        return false;
    }
    if (command.Word == "wait") {
        WaitUntil_ =
            TClock::now() + std::chrono::microseconds(static_cast<long long>(number * 1000));
    } else if (command.Word == "wait-commands") {
        WaitCommands_ = static_cast<int>(number);
    } else {
        WaitReplies_ = static_cast<int>(number);
    }
    return true;
}

bool TControl::RunStatus(const TCommandLine&) {
    const TReplyStyle style = Adapter_.Style();
    std::ostringstream shown;
    shown << "status pty=" << Adapter_.SlavePath() << " commands=" << Adapter_.Commands()
          << " hangups=" << Adapter_.HangUps() << " caller=" << Adapter_.Caller()
          << " echo=" << (style.Echo ? "on" : "off") << " eol=" << LineEndName(style.LineEnd)
          << " bursts=" << (style.Bursts ? "on" : "off") << " ringlines=" << style.RingLines
          << " noise=" << (style.Noise ? "on" : "off");
    Print_(shown.str());
    return true;
}

bool TControl::RunQuit(const TCommandLine&) {
    Quit_ = true;
    return true;
}

} // namespace tasim
