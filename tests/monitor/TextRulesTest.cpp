// The small text rules of the query cycle: caller number, poll interval,
// port number, error report text, show-all report.
#include "monitor/CallerNumber.h"
#include "monitor/MonitorError.h"
#include "monitor/PollInterval.h"
#include "monitor/PortText.h"
#include "monitor/ShowAllReport.h"
#include "monitor/Texts.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace telvane {
namespace {

const std::string kMin = texts::kUnitMinutes;
const std::string kSec = texts::kUnitSeconds;

TEST(CallerNumber, ExtractionRules) {
    const std::string noInfo = texts::kNoNumberInformation;
    const struct {
        std::string Line;
        std::string Number;
    } cases[] = {
        {"RECEIVE CALLING PARTY = 0123456789", "0123456789"},
        {"RECEIVE CALLING PARTY", ""},
        {"RECEIVE CALLING PARTY =", ""},
        {"RECEIVE CALLING PARTY =    ", ""},
        {"RECEIVE CALLING PARTY =  012 345 ", "012 345 "},
        {"RECEIVE CALLING PARTY = 0312/1234", "0312/1234"},
        {"RECEIVE CALLING PARTY = a=b", "a=b"},
        {"RECEIVE CALLING PARTY =BUFFER EMPTY", noInfo},
        {"RECEIVE CALLING PARTY =      BUFFER EMPTY", noInfo},
        {"RECEIVE CALLING PARTY = BUFFER EMPTY ", "BUFFER EMPTY "},
        {"RECEIVE CALLING PARTY = BUFFER EMPTYX", "BUFFER EMPTYX"},
        {"RECEIVE CALLING PARTY = \tBUFFER EMPTY", "\tBUFFER EMPTY"},
        {"RECEIVE CALLING PARTY = 012,345", "012,345"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractCallerNumber(c.Line), c.Number) << c.Line;
    }
}

TEST(CallerNumber, TakesAtMostAThousandBytesCountedBeforeBlanksGo) {
    const std::string digits(1500, '9');
    EXPECT_EQ(ExtractCallerNumber("X=" + digits), std::string(1000, '9'));
    // The cap applies before the leading blanks are dropped.
    EXPECT_EQ(ExtractCallerNumber("X=" + std::string(10, ' ') + digits), std::string(990, '9'));
}

TEST(PollInterval, EveryItemOfTheList) {
    const struct {
        std::string Text;
        std::uint32_t Ms;
    } items[] = {{"30" + kMin, 1800000}, {"20" + kMin, 1200000}, {"15" + kMin, 900000},
                 {"10" + kMin, 600000},  {" 5" + kMin, 300000},  {" 3" + kMin, 180000},
                 {" 2" + kMin, 120000},  {" 1" + kMin, 60000},   {"30" + kSec, 30000},
                 {"20" + kSec, 20000},   {"15" + kSec, 15000},   {"99" + kMin, 5940000},
                 {" 0" + kMin, 0},       {"+5" + kSec, 5000},    {"-0" + kMin, 0}};
    for (const auto& item : items) {
        const auto factor = IntervalUnitFactor(item.Text);
        ASSERT_TRUE(factor.has_value()) << item.Text;
        EXPECT_EQ(PollIntervalMs(item.Text, *factor), item.Ms) << item.Text;
    }
}

TEST(PollInterval, UnitMustStandInBytesThreeAndFour) {
    EXPECT_EQ(IntervalUnitFactor("5" + kMin), std::nullopt);
    EXPECT_EQ(IntervalUnitFactor(" 5"), std::nullopt);
    EXPECT_EQ(IntervalUnitFactor(""), std::nullopt);
    EXPECT_EQ(IntervalUnitFactor(" 5min"), std::nullopt);
    EXPECT_EQ(IntervalUnitFactor(" 5" + kMin + "x"), 60000u);
}

TEST(PollInterval, BadNumbersRaiseAnErrorNamingTheText) {
    const std::string bad[] = {"5" + kMin,  "x5" + kMin, "",         "  " + kMin,
                               "5 " + kMin, "--" + kMin, "+" + kMin, "-"};
    for (const auto& text : bad) {
        try {
            PollIntervalMs(text, 60000);
            ADD_FAILURE() << "accepted " << text;
        } catch (const EMonitorError& error) {
            EXPECT_NE(std::string(error.what()).find(text), std::string::npos);
            EXPECT_NE(std::string(error.what()).find(texts::kIntervalNotNumber), std::string::npos);
        }
    }
    try {
        PollIntervalMs("-5" + kMin, 60000);
        ADD_FAILURE() << "accepted a negative interval";
    } catch (const EMonitorError& error) {
        EXPECT_NE(std::string(error.what()).find(texts::kIntervalNegative), std::string::npos);
    }
}

TEST(PortText, OnlyTheFourthByteCounts) {
    EXPECT_EQ(PortNumberFromText("COM1"), 1);
    EXPECT_EQ(PortNumberFromText("COM9"), 9);
    EXPECT_EQ(PortNumberFromText("COM12"), 1);
    EXPECT_EQ(PortNumberFromText("COM0"), 0);
    EXPECT_EQ(PortNumberFromText("xyz7abc"), 7);
    for (const std::string bad : {"C", "COM", "COMx", "COM ", "COM-1", "COM+"}) {
        try {
            PortNumberFromText(bad);
            ADD_FAILURE() << "accepted " << bad;
        } catch (const EMonitorError& error) {
            EXPECT_EQ(std::string(error.what()),
                      std::string(texts::kPortTextBefore) + bad + texts::kPortTextAfter);
        }
    }
}

TEST(ErrorReport, PeriodAppendedWhenTheLastCharacterSortsAfterIt) {
    EXPECT_EQ(ErrorReportText("Disk full"), "Disk full.");
    EXPECT_EQ(ErrorReportText("Done."), "Done.");
    EXPECT_EQ(ErrorReportText("Why?!"), "Why?!");
    EXPECT_EQ(ErrorReportText("ends in -"), "ends in -");
    EXPECT_EQ(ErrorReportText(""), "");
    // The Shift_JIS full stop (81 42) sorts after "." by its lead byte,
    // although its trail byte alone would be a "B".
    EXPECT_EQ(ErrorReportText("\x81\x42"), "\x81\x42.");
    // A trail byte equal to "!" still belongs to a double-byte character.
    EXPECT_EQ(ErrorReportText("\x83\x21"), "\x83\x21.");
}

TEST(ShowAllReport, ExactText) {
    TSnapshot previous;
    previous[0] = "AtermIT";
    previous[10] = "RECEIVE CALLING PARTY = 1";
    EXPECT_EQ(ShowAllReport("2026/03/01 09:05:00", "", previous),
              "(Now: 2026/03/01 09:05:00)\n\nAt: \n\nAtermIT\n\n\n\n\n\n\n\n\n\n"
              "RECEIVE CALLING PARTY = 1\n");
}

} // namespace
} // namespace telvane
