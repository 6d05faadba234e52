// The remembered address, against a registry key of the test's own.
#include "runtime/settings_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace oz {
namespace {

constexpr wchar_t kTestsKey[] = L"Software\\Ozarith tests";

// A key under HKEY_CURRENT_USER for this test only, gone before and after.
class TestKey {
public:
    TestKey() : path_(std::wstring(kTestsKey) + L"\\settings " + std::to_wstring(::GetCurrentProcessId())) {
        remove();
    }
    ~TestKey() {
        remove();
        ::RegDeleteKeyW(HKEY_CURRENT_USER, kTestsKey);  // only when no other run still uses it
    }
    TestKey(const TestKey&) = delete;
    TestKey& operator=(const TestKey&) = delete;

    std::string utf8() const { return std::string(path_.begin(), path_.end()); }

    // Stores data as it is, of any type, where the program keeps the address.
    void setRaw(DWORD type, const void* data, std::size_t bytes) const {
        const LSTATUS status =
            ::RegSetKeyValueW(HKEY_CURRENT_USER, path_.c_str(), std::wstring(kLastAddressValueName).c_str(), type,
                              data, static_cast<DWORD>(bytes));
        ASSERT_EQ(status, ERROR_SUCCESS);
    }
    void setRawText(DWORD type, const std::wstring& text, bool terminated = true) const {
        setRaw(type, text.c_str(), (text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
    }

private:
    void remove() const {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
        ::RegDeleteKeyW(HKEY_CURRENT_USER, path_.c_str());
    }

    std::wstring path_;  // ASCII only, so utf8() may copy it unit by unit
};

TEST(LastAddress, WhatWasWrittenIsReadBackAndTheRealKeyIsUntouched) {
    const TestKey key;
    const std::optional<std::string> real = readLastAddress();
    EXPECT_EQ(readLastAddress(key.utf8()), std::nullopt);
    const std::string longest(kMaxRememberedAddressBytes, '9');
    // Full-width text: three UTF-8 bytes a character, one UTF-16 unit.
    const std::string wideLongest = [] {
        std::string text;
        while (text.size() + 3 <= kMaxRememberedAddressBytes) text += "电";
        return text;
    }();
    for (const std::string address : {"192.168.1.5", "[fe80::1]:5555", "电视.local", "tv 😀", longest.c_str(),
                                      wideLongest.c_str()}) {
        SCOPED_TRACE(address);
        ASSERT_TRUE(writeLastAddress(address, key.utf8()));
        EXPECT_EQ(readLastAddress(key.utf8()), address);
    }
    EXPECT_EQ(readLastAddress(), real);
}

TEST(LastAddress, UnstorableAddressesAreRefusedAndTheStoredOneStays) {
    const TestKey key;
    ASSERT_TRUE(writeLastAddress("10.0.0.7", key.utf8()));
    const std::string refused[] = {
        "",
        std::string(kMaxRememberedAddressBytes + 1, '9'),
        std::string("1.2\0.3", 5),
        "1.2.3.\xFF",
    };
    for (const std::string& address : refused) {
        SCOPED_TRACE(testing::PrintToString(address));
        EXPECT_FALSE(writeLastAddress(address, key.utf8()));
        EXPECT_EQ(readLastAddress(key.utf8()), "10.0.0.7");
    }
}

TEST(LastAddress, StoredDataThatIsNoUsableAddressReadsAsNothing) {
    const DWORD number = 192;
    const std::vector<unsigned char> bytes = {'1', 0, '.', 0, '2', 0};
    const struct {
        const char* what;
        std::function<void(const TestKey&)> store;
    } cases[] = {
        {"a number", [&](const TestKey& k) { k.setRaw(REG_DWORD, &number, sizeof number); }},
        {"binary", [&](const TestKey& k) { k.setRaw(REG_BINARY, bytes.data(), bytes.size()); }},
        {"expandable", [](const TestKey& k) { k.setRawText(REG_EXPAND_SZ, L"%COMPUTERNAME%"); }},
        {"a list", [](const TestKey& k) { k.setRaw(REG_MULTI_SZ, L"1.2.3.4\0\0", 10 * sizeof(wchar_t)); }},
        {"empty", [](const TestKey& k) { k.setRawText(REG_SZ, L""); }},
        {"one over",
         [](const TestKey& k) { k.setRawText(REG_SZ, std::wstring(kMaxRememberedAddressBytes + 1, L'9')); }},
        {"far too long", [](const TestKey& k) { k.setRawText(REG_SZ, std::wstring(1 << 20, L'9')); }},
        {"wide, too many bytes", [](const TestKey& k) { k.setRawText(REG_SZ, std::wstring(100, L'电')); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const TestKey key;
        c.store(key);
        EXPECT_EQ(readLastAddress(key.utf8()), std::nullopt);
    }
}

TEST(LastAddress, StringsWithoutTheirEndOrWithANulInsideAreCut) {
    const TestKey key;
    key.setRawText(REG_SZ, L"192.168.1.5", false);
    EXPECT_EQ(readLastAddress(key.utf8()), "192.168.1.5");
    key.setRaw(REG_SZ, L"10.0.0.1\0junk", 14 * sizeof(wchar_t));
    EXPECT_EQ(readLastAddress(key.utf8()), "10.0.0.1");
}

}  // namespace
}  // namespace oz
