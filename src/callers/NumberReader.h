// How the numbers of a region are read: Japan's compiled table
// (JapanNumbering.cpp), the digits alone (DigitsReader.cpp), or
// libphonenumber, loaded from a plugin the first time it is needed
// (NumberPlugin_posix.cpp, PhoneNumberPlugin.cpp).
#pragma once

#include <memory>
#include <string>

namespace telvane {

enum class ENumberKind {
    nkUnknown,
    nkFixedLine,
    nkMobile,
    nkFixedLineOrMobile,
    nkTollFree,
    nkPremiumRate,
    nkSharedCost,
    nkVoip,
    nkPersonal,
    nkPager,
    nkUan,
    nkVoicemail,
};

struct TNumberReading {
    bool Parsed = false;
    std::string National; // the readable form, when parsed
    std::string Area;     // UTF-8
    ENumberKind Kind = ENumberKind::nkUnknown;
    std::string Key; // E.164, or the digits when the number is too short for it
};

class INumberReader {
public:
    virtual ~INumberReader() = default;
    // numberText: ASCII digits with "+" and separators, no sub-address.
    virtual TNumberReading Read(const std::string& numberText) const = 0;
    // Any text from contacts (UTF-8).
    virtual std::string Key(const std::string& numberText) const = 0;
};

// Numbers as their digits; for Japan "+81" and the international prefix
// "010" are read the way they are dialled. No area, no kind, no grouping.
std::unique_ptr<INumberReader> MakeDigitsReader(bool japan);

// libphonenumber's reading for a region, from the plugin that links it,
// loaded once for the process; nothing where the platform has none or it
// cannot be loaded (NumberPluginProblem says why).
std::shared_ptr<const INumberReader> LoadNumberPlugin(const std::string& region, bool english);
// Why the plugin could not be loaded, in plain words; empty while it loaded
// or was not needed. Any thread.
std::string NumberPluginProblem();

// Keeps the digits of text, full-width digits as ASCII, and a "+" that comes
// before the first digit; at most kMaxKeyDigits digits.
std::string DigitsOf(const std::string& text);

} // namespace telvane

// The plugin's one entry point: a reader for a region ("JP") in Japanese or
// English; the caller owns it.
extern "C" telvane::INumberReader* TelvaneNumberReader(const char* region, int english);
