// Who called: loading a 10,000-card phonebook (UTF-8, and UTF-16 as Windows
// address books save it), looking a caller up in it,
// opening a 100,000-line call log, the memory the phonebook holds, and
// reading a Japanese caller with libphonenumber or the compiled table.
#include "callers/CallLogIndex.h"
#include "callers/CallerDirectory.h"
#include "callers/JapanNumbering.h"
#include "callers/NumberKnowledge.h"
#include "callers/NumberReader.h"
#include "callers/Phonebook.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

using namespace telvane;

constexpr int kCards = 10000;
constexpr int kLogLines = 100000;

const std::filesystem::path& Folder() {
    static const std::filesystem::path folder = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "telvane-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        return std::filesystem::path(pattern);
    }();
    return folder;
}

// Tokyo numbers 03-1000-0000 upwards; every card also has a mobile number.
std::string Landline(int i) {
    return "03-" + std::to_string(1000 + i / 10000) + "-" +
           std::to_string(10000 + i % 10000).substr(1);
}

// A phone export's shape: FN, N, two TEL lines, a mail address, a note.
const std::filesystem::path& PhonebookFile() {
    static const std::filesystem::path file = [] {
        const auto path = Folder() / "phonebook.vcf";
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < kCards; ++i) {
            out << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:山田 太郎 " << i << "\r\nN:山田;太郎 " << i
                << ";;;\r\nTEL;TYPE=HOME,VOICE:" << Landline(i) << "\r\nTEL;TYPE=CELL:090-"
                << 2000 + i % 8000 << "-" << 1000 + i % 9000 << "\r\nEMAIL;TYPE=INTERNET:taro" << i
                << "@example.com\r\nNOTE:A note that a phone keeps with the "
                   "contact.\r\nEND:VCARD\r\n";
        }
        return path;
    }();
    return file;
}

// The same cards in UTF-16 LE with a byte order mark (the cards hold no
// character beyond U+FFFF).
const std::filesystem::path& Utf16PhonebookFile() {
    static const std::filesystem::path file = [] {
        const auto path = Folder() / "phonebook-utf16.vcf";
        std::ifstream in(PhonebookFile(), std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        std::string bytes = "\xFF\xFE";
        for (std::size_t i = 0; i < text.size();) {
            const auto lead = static_cast<unsigned char>(text[i]);
            const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : 3;
            unsigned unit = length == 1 ? lead : length == 2 ? lead & 0x1F : lead & 0x0F;
            for (std::size_t k = 1; k < length; ++k) {
                unit = (unit << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
            }
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>(unit >> 8);
            i += length;
        }
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }();
    return file;
}

const std::filesystem::path& LogFile() {
    static const std::filesystem::path file = [] {
        const auto path = Folder() / "RingLog.txt";
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < kLogLines; ++i) {
            std::string digits = Landline(i % 1000);
            digits.erase(std::remove(digits.begin(), digits.end(), '-'), digits.end());
            out << "2026/03/01 09:00:00,2026/03/01 09:05:00," << digits << "\r\n";
        }
        return path;
    }();
    return file;
}

const TNumberKnowledge& Numbers() {
    static const TNumberKnowledge numbers("JP", "ja");
    return numbers;
}

long ResidentKilobytes() {
    long pages = 0;
    long resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(statm);
    }
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// First, so that no earlier load has left memory to reuse. Resident memory
// before and after loading (the file is made beforehand, and
// the number knowledge has read its tables for one number already).
void BM_PhonebookResidentMemory(benchmark::State& state) {
    PhonebookFile();
    benchmark::DoNotOptimize(Numbers().Describe("0310005678"));
    for (auto _ : state) {
        const long before = ResidentKilobytes();
        TPhonebook book;
        book.Load(PhonebookFile(), Numbers());
        const long after = ResidentKilobytes();
        state.counters["rss_before_kB"] = static_cast<double>(before);
        state.counters["rss_extra_kB"] = static_cast<double>(after - before);
        benchmark::DoNotOptimize(book);
    }
}
BENCHMARK(BM_PhonebookResidentMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// Argument 1: the file in UTF-16.
void BM_LoadPhonebook10000Cards(benchmark::State& state) {
    const auto& file = state.range(0) != 0 ? Utf16PhonebookFile() : PhonebookFile();
    for (auto _ : state) {
        TPhonebook book;
        if (book.Load(file, Numbers()).has_value() || book.size() != kCards) {
            state.SkipWithError("the phonebook did not load");
        }
        benchmark::DoNotOptimize(book);
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(file)));
}
BENCHMARK(BM_LoadPhonebook10000Cards)
    ->ArgName("utf16")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

// Looking a key up, and the whole way from the caller text to the name.
void BM_LookUp(benchmark::State& state) {
    TPhonebook book;
    book.Load(PhonebookFile(), Numbers());
    const bool withDescribe = state.range(0) != 0;
    const std::string caller = "0310005678";
    const std::string key = Numbers().Describe(caller).MatchKey;
    for (auto _ : state) {
        const auto name = book.NameFor(withDescribe ? Numbers().Describe(caller).MatchKey : key);
        if (!name) {
            state.SkipWithError("the caller was not found");
        }
        benchmark::DoNotOptimize(name);
    }
}
BENCHMARK(BM_LookUp)->ArgName("with_describe")->Arg(0)->Arg(1);

// A hostile or broken number of 15, 30 and 60 KB: as a contacts TEL value
// (MatchKey) and as the caller text the adapter sent (Describe).
void BM_NormaliseLongNumber(benchmark::State& state) {
    const std::string number = "+81" + std::string(static_cast<std::size_t>(state.range(0)), '3');
    const bool asCaller = state.range(1) != 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(asCaller ? Numbers().Describe(number).MatchKey
                                          : Numbers().MatchKey(number));
    }
}
BENCHMARK(BM_NormaliseLongNumber)
    ->ArgNames({"bytes", "as_caller"})
    ->ArgsProduct({{15000, 30000, 60000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// A caller looked up while the directory reads the 10,000 cards again and
// again on its own thread: the asking thread never waits for a read.
void BM_DescribeWhileReading(benchmark::State& state) {
    std::atomic<int> reads{0};
    TCallerDirectory directory({"JP", "ja", PhonebookFile(), {}}, [&reads] { ++reads; });
    for (auto _ : state) {
        directory.Reload();
        benchmark::DoNotOptimize(directory.Describe("0310005678"));
    }
    state.counters["reads_done"] = reads.load();
}
BENCHMARK(BM_DescribeWhileReading)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(5);

void BM_OpenHistory100000Lines(benchmark::State& state) {
    const auto& file = LogFile();
    const bool withCounts = state.range(0) != 0;
    for (auto _ : state) {
        TCallLogIndex index(file);
        index.Update(withCounts ? &Numbers() : nullptr);
        if (index.Calls() != kLogLines) {
            state.SkipWithError("the log did not read");
        }
        benchmark::DoNotOptimize(index.CountOf(index.CallerOf(index.Calls() - 1)));
    }
}
BENCHMARK(BM_OpenHistory100000Lines)
    ->ArgName("with_counts")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

// One caller text to its description (national format, kind, area, key),
// in turn over landlines, a mobile, a toll-free and a "+81" number:
// libphonenumber from its plugin (table:0) against the table compiled out of
// its data, the whole of Describe (table:1).
void BM_ReadJapaneseCaller(benchmark::State& state) {
    const auto reader = LoadNumberPlugin("JP", false);
    const TNumberKnowledge numbers("JP", "ja");
    const bool table = state.range(0) != 0;
    if (!table && !reader) {
        state.SkipWithError("no libphonenumber plugin");
        return;
    }
    const std::string callers[] = {"0312345678", "0155231234",      "09012345678",
                                   "0120123456", "+81 6-1234-5678", "0467231234"};
    std::size_t next = 0;
    for (auto _ : state) {
        const std::string& caller = callers[next++ % std::size(callers)];
        if (table) {
            benchmark::DoNotOptimize(numbers.Describe(caller));
        } else {
            benchmark::DoNotOptimize(reader->Read(caller));
        }
    }
}
BENCHMARK(BM_ReadJapaneseCaller)->ArgName("table")->Arg(0)->Arg(1);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(Folder(), ignored);
    return 0;
}
