// The call log "RingLog.txt": one line per detected call.
#pragma once

#include <filesystem>
#include <string>

namespace telvane {

// A field as the log holds it: Ctrl-Z (byte 26), CR and LF each become '?',
// every other byte stays.
std::string RingLogField(std::string field);

// One log line without its line end: the previous answered poll time, the
// ring time and the caller's number, separated by commas, nothing quoted.
std::string RingLogLine(const std::string& lastPollTime, const std::string& ringTime,
                        const std::string& callerNumber);

// Appends one line, ended by CR LF, to the log file. A Ctrl-Z (byte 26)
// within the file's last 128 bytes is cut off first, with everything after
// it. The file is created when missing and closed again before returning.
// displayName (Shift_JIS) names the file in the error, an EMonitorError,
// raised when the file cannot be opened, locked, cut or written.
void AppendRingLog(const std::filesystem::path& file, const std::string& displayName,
                   const std::string& lastPollTime, const std::string& ringTime,
                   const std::string& callerNumber);

// Appends whole lines, each already ended by CR LF, in one go and with the
// same cut and failure rules: on a failure none of them stays in the file.
void AppendRingLogText(const std::filesystem::path& file, const std::string& displayName,
                       const std::string& lines);

} // namespace telvane
