// The program's own texts, as the Shift_JIS bytes the monitor works with.
// Every byte is escaped so that no hex escape swallows the next character;
// the comment beside each constant gives the text decoded.
#pragma once

namespace telvane::texts {

// status: a new caller was detected
inline constexpr char kStatusNumberChanged[] = "\x94\xD4\x8D\x86\x95\xCF\x89\xBB"; // 番号変化
// status: the adapter gave no identity line
inline constexpr char kStatusCannotDetect[] = "\x8C\x9F\x8F\x6F\x95\x73\x89\xC2"; // 検出不可
// status: a watched line changed
inline constexpr char kStatusActivity[] = "\x93\xAE\x8D\xEC\x8C\x9F\x8F\x6F"; // 動作検出
// status: a query is under way
inline constexpr char kStatusQuerying[] = "\x92\xB2\x8D\xB8\x92\x86"; // 調査中
// number label when no port is chosen
inline constexpr char kNumberNoPort[] =
    "\x83\x7C\x81\x5B\x83\x67\x96\xA2\x8E\x77\x92\xE8"; // ポート未指定
// status when no port is chosen
inline constexpr char kStatusNoPort[] = "\x96\xA2\x8E\x77\x92\xE8"; // 未指定
// shown and logged in place of BUFFER EMPTY
inline constexpr char kNoNumberInformation[] =
    "\x94\xD4\x8D\x86\x8F\xEE\x95\xF1\x82\xC8\x82\xB5"; // 番号情報なし
// interval unit: minutes
inline constexpr char kUnitMinutes[] = "\x95\xAA"; // 分
// interval unit: seconds
inline constexpr char kUnitSeconds[] = "\x95\x62"; // 秒
// hint of the log check box, before the log's path
inline constexpr char kHintBefore[] = "\x92\x85\x90\x4D\x82\xF0\x20"; // 着信を
// hint of the log check box, after the log's path
inline constexpr char kHintAfter[] =
    "\x20\x82\xC9\x8B\x4C\x98\x5E\x82\xB5\x82\xDC\x82\xB7"; //  に記録します
// error: port text without a digit in fourth place
inline constexpr char kPortTextBefore[] = "\x83\x7C\x81\x5B\x83\x67\x20\x22"; // ポート "
inline constexpr char kPortTextAfter[] =
    "\x22\x20\x82\xCC\x34\x95\xB6\x8E\x9A\x96\xDA\x82\xAA\x90\x94\x8E\x9A\x82\xC5\x82\xCD\x82\xA0"
    "\x82\xE8\x82\xDC\x82\xB9\x82\xF1"; // " の4文字目が数字ではありません
// errors: interval text
inline constexpr char kIntervalBefore[] = "\x92\xB2\x8D\xB8\x8A\xD4\x8A\x75\x20\x22"; // 調査間隔 "
inline constexpr char kIntervalNotNumber[] =
    "\x22\x20\x82\xCC\x90\x94\x92\x6C\x82\xAA\x90\xB3\x82\xB5\x82\xAD\x82\xA0\x82\xE8\x82\xDC\x82"
    "\xB9\x82\xF1"; // " の数値が正しくありません
inline constexpr char kIntervalNegative[] =
    "\x22\x20\x82\xC9\x95\x89\x82\xCC\x92\x6C\x82\xCD\x8E\x77\x92\xE8\x82\xC5\x82\xAB\x82\xDC\x82"
    "\xB9\x82\xF1"; // " に負の値は指定できません
// error: the call log cannot be written
inline constexpr char kRingLogBefore[] =
    "\x92\x85\x90\x4D\x97\x9A\x97\xF0\x82\xF0\x20"; // 着信履歴を
inline constexpr char kRingLogAfter[] =
    "\x20\x82\xC9\x8F\x91\x82\xAB\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1"; //  に書き込めません
// notice: lines kept while the call log cannot be written
inline constexpr char kRingLogKeptBefore[] =
    "\x8F\x91\x82\xAB\x8D\x9E\x82\xDF\x82\xE9\x82\xE6\x82\xA4\x82\xC9\x82\xC8\x82\xE9\x82\xDC\x82"
    "\xC5\x8D\xC5\x91\xE5\x20"; // 書き込めるようになるまで最大
inline constexpr char kRingLogKeptAfter[] =
    "\x20\x8C\x8F\x82\xCC\x92\x85\x90\x4D\x82\xF0\x95\xDB\x97\xAF\x82\xB5\x81\x41\x82\xA0\x82"
    "\xD3\x82\xEA\x82\xBD\x95\xAA\x82\xCD\x8C\xC3\x82\xA2\x82\xE0\x82\xCC\x82\xA9\x82\xE7\x8E"
    "\xCC\x82\xC4\x82\xDC\x82\xB7"; //  件の着信を保留し、あふれた分は古いものから捨てます
// notice: lines lost when the call log could not be written for long
inline constexpr char kRingLogDroppedBefore[] =
    "\x92\x85\x90\x4D\x97\x9A\x97\xF0\x82\xC9\x8F\x91\x82\xAB\x8D\x9E\x82\xDF\x82\xC8\x82\xA9"
    "\x82\xC1\x82\xBD\x92\x85\x90\x4D\x20"; // 着信履歴に書き込めなかった着信
inline constexpr char kRingLogDroppedAfter[] =
    "\x20\x8C\x8F\x82\xF0\x8E\xCC\x82\xC4\x82\xDC\x82\xB5\x82\xBD"; //  件を捨てました
// error: the settings could not be saved
inline constexpr char kSettingsNotSaved[] = "\x90\xDD\x92\xE8\x82\xF0\x95\xDB\x91\xB6\x82\xC5\x82"
                                            "\xAB\x82\xDC\x82\xB9\x82\xF1"; // 設定を保存できません

// Not translated: the program has always shown this one in English.
inline constexpr char kIllegalInterval[] = "Illegal Interval";

inline constexpr char kRingLogFileName[] = "RingLog.txt";

} // namespace telvane::texts
