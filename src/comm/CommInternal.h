#pragma once

// Shared by the sources of the serial component only.

#include <exception>

// The component's messages, in Shift_JIS.
namespace CommTexts {
// "オープンエラー ErrorCode = " (open error)
inline constexpr char OpenError[] = "\x83\x49\x81\x5b\x83\x76\x83\x93\x83\x47\x83\x89\x81\x5b"
                                    " ErrorCode = ";
// "入出力エラー ErrorCode = " (input/output error)
inline constexpr char ReadWriteError[] = "\x93\xfc\x8f\x6f\x97\xcd\x83\x47\x83\x89\x81\x5b"
                                         " ErrorCode = ";
// "通信が開始されていない。" (communication has not been started)
inline constexpr char NotStarted[] =
    "\x92\xca\x90\x4d\x82\xaa\x8a\x4a\x8e\x6e\x82\xb3\x82\xea\x82\xc4\x82\xa2\x82\xc8\x82\xa2"
    "\x81\x42";
// "送信データ長が長すぎる。" (the data to send is too long)
inline constexpr char TooLong[] =
    "\x91\x97\x90\x4d\x83\x66\x81\x5b\x83\x5e\x92\xb7\x82\xaa\x92\xb7\x82\xb7\x82\xac\x82\xe9"
    "\x81\x42";
// "ﾕｰｻﾞｰ定義" (user-defined), five half-width katakana and two kanji
inline constexpr char UserDefined[] = "\xd5\xb0\xbb\xde\xb0\x92\xe8\x8b\x60";
} // namespace CommTexts

// Hands an exception caught on the watch thread to the installed error
// handler. Never raises.
void ReportCommError(const std::exception& Error) noexcept;
