// The registry store under a key of its own in HKEY_CURRENT_USER: what the
// program writes comes back byte for byte, in the kinds other programs see.
#include "win32/RegistrySettingsStore.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>

namespace telvane::win32 {
namespace {

class RegistrySettingsStoreTest : public ::testing::Test {
protected:
    const std::wstring Parent = L"Software\\TelvaneTest" + std::to_wstring(::GetCurrentProcessId());
    const std::string Path = "\\" + std::string(Parent.begin(), Parent.end()) + "\\Telvane\\1.0";
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, Parent.c_str()); }

    // The kind and raw bytes of a value, as another program reads them.
    std::pair<DWORD, std::wstring> Raw(const wchar_t* name) const {
        const std::wstring key = Parent + L"\\Telvane\\1.0";
        DWORD kind = 0;
        wchar_t data[64] = {};
        DWORD size = sizeof data;
        ::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &kind, data,
                       &size);
        if (kind == REG_DWORD) {
            DWORD number = 0;
            std::memcpy(&number, data, sizeof number);
            return {kind, std::to_wstring(number)};
        }
        return {kind, data};
    }
};

TEST_F(RegistrySettingsStoreTest, OpensWithoutCreatingAndKeepsTextsAndFlags) {
    TRegistrySettingsStore store;
    ASSERT_FALSE(store.OpenKey(Path, false));
    HKEY probe = nullptr;
    EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER, Parent.c_str(), 0, KEY_READ, &probe),
              ERROR_SUCCESS)
        << "opening without creating created the key";

    // " 5分", "番号情報なし" and half-width katakana "ﾌｧｲﾙ" in Shift_JIS.
    const std::string interval = " 5\x95\xAA";
    const std::string japanese = "\x94\xD4\x8D\x86\x8F\xEE\x95\xF1\x82\xC8\x82\xB5";
    const std::string katakana = "\xCC\xA7\xB2\xD9";
    ASSERT_TRUE(store.OpenKey(Path, true));
    store.WriteText("Interval", interval);
    store.WriteText("Magic10", japanese);
    store.WriteText("Magic0", katakana);
    store.WriteText("DateTime", "");
    store.WriteFlag("LogRing", true);
    store.WriteFlag("Dream", false);
    // An added setting in UTF-8 with a character that Shift_JIS lacks.
    store.WriteUtf8Text("Phonebook", "C:\\Jos\xC3\xA9\\book.vcf");
    store.CloseKey();

    EXPECT_EQ(Raw(L"Phonebook"),
              std::make_pair(DWORD{REG_SZ}, std::wstring(L"C:\\Jos\u00E9\\book.vcf")));
    ASSERT_TRUE(store.OpenKey(Path, false));
    EXPECT_EQ(store.ReadUtf8Text("Phonebook"), std::string("C:\\Jos\xC3\xA9\\book.vcf"));
    store.CloseKey();
    EXPECT_EQ(Raw(L"Interval"), std::make_pair(DWORD{REG_SZ}, std::wstring(L" 5分")));
    EXPECT_EQ(Raw(L"Magic10"), std::make_pair(DWORD{REG_SZ}, std::wstring(L"番号情報なし")));
    EXPECT_EQ(Raw(L"LogRing"), std::make_pair(DWORD{REG_DWORD}, std::wstring(L"1")));
    EXPECT_EQ(Raw(L"Dream"), std::make_pair(DWORD{REG_DWORD}, std::wstring(L"0")));

    ASSERT_TRUE(store.OpenKey(Path, false));
    EXPECT_EQ(store.ReadText("Interval"), interval);
    EXPECT_EQ(store.ReadText("Magic10"), japanese);
    EXPECT_EQ(store.ReadText("Magic0"), katakana);
    EXPECT_TRUE(store.ValueExists("DateTime"));
    EXPECT_EQ(store.ReadText("DateTime"), "");
    EXPECT_EQ(store.ReadFlag("LogRing"), true);
    EXPECT_EQ(store.ReadFlag("Dream"), false);
    EXPECT_FALSE(store.ValueExists("Port"));
    EXPECT_EQ(store.ReadText("Port"), std::nullopt);
}

TEST_F(RegistrySettingsStoreTest, ReadsValuesOfOtherKindsWhereTheyMakeSense) {
    HKEY key = nullptr;
    const std::wstring path = Parent + L"\\Telvane\\1.0";
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                &key, nullptr),
              ERROR_SUCCESS);
    const DWORD two = 2;
    const BYTE binary[] = {1, 2};
    ::RegSetValueExW(key, L"LogRing", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&two), 4);
    ::RegSetValueExW(key, L"Dream", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"1"), 4);
    ::RegSetValueExW(key, L"Port", 0, REG_BINARY, binary, 2);
    ::RegCloseKey(key);

    TRegistrySettingsStore store;
    ASSERT_TRUE(store.OpenKey(Path, false));
    EXPECT_EQ(store.ReadFlag("LogRing"), true);
    EXPECT_EQ(store.ReadText("LogRing"), "2");
    EXPECT_EQ(store.ReadFlag("Dream"), true);
    EXPECT_TRUE(store.ValueExists("Port"));
    EXPECT_EQ(store.ReadText("Port"), std::string("\x01\x02"));
    EXPECT_EQ(store.ReadFlag("Port"), std::nullopt);
}

TEST_F(RegistrySettingsStoreTest, AdapterLinesThatAreNoShiftJisComeBackByteForByte) {
    // A cut-off lead byte, a NUL and bytes no code page maps: a changed line
    // read back would be taken for a new caller at the next start.
    const std::string lines[] = {"RECEIVE CALLING PARTY=0312\x82", std::string("A\0B", 3),
                                 "INS \x81\x20\xFD"};
    TRegistrySettingsStore store;
    ASSERT_TRUE(store.OpenKey(Path, true));
    for (std::size_t i = 0; i < std::size(lines); ++i) {
        store.WriteText("Magic" + std::to_string(i), lines[i]);
    }
    store.CloseKey();
    ASSERT_TRUE(store.OpenKey(Path, false));
    for (std::size_t i = 0; i < std::size(lines); ++i) {
        EXPECT_EQ(store.ReadText("Magic" + std::to_string(i)), lines[i]) << i;
    }
}

} // namespace
} // namespace telvane::win32
