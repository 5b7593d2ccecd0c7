// The serial component's messages, in Shift_JIS.
#pragma once

#include <string>

namespace {

const std::string NotStarted = "\x92\xca\x90\x4d\x82\xaa\x8a\x4a\x8e\x6e\x82\xb3\x82\xea\x82\xc4"
                               "\x82\xa2\x82\xc8\x82\xa2\x81\x42"; // 通信が開始されていない。
const std::string TooLong = "\x91\x97\x90\x4d\x83\x66\x81\x5b\x83\x5e\x92\xb7\x82\xaa\x92\xb7"
                            "\x82\xb7\x82\xac\x82\xe9\x81\x42"; // 送信データ長が長すぎる。
const std::string OpenError = "\x83\x49\x81\x5b\x83\x76\x83\x93\x83\x47\x83\x89\x81\x5b"
                              " ErrorCode = "; // オープンエラー
const std::string ReadWriteError = "\x93\xfc\x8f\x6f\x97\xcd\x83\x47\x83\x89\x81\x5b"
                                   " ErrorCode = "; // 入出力エラー

} // namespace
