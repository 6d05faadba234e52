#pragma once
// The key adb itself uses for this user, so that a TV that already trusts this computer's adb
// trusts the built-in client too, and an adb installed later shares the key made here:
//   %ANDROID_USER_HOME%\adbkey, else %USERPROFILE%\.android\adbkey (PEM, PKCS#8), and
//   adbkey.pub beside it (adb's public key line, " user@host", line end).
// A missing key is made with CNG and written atomically; an existing one is never replaced.
#include <optional>
#include <string>
#include <string_view>

#include "runtime/cng_rsa_win.h"

namespace oz {

struct AdbIdentity {
    CngRsaKey key;
    std::string publicKeyText;  // adbkey.pub's line without its line end
};

enum class KeyStoreStatus { Loaded, Created, NoHomeFolder, Unreadable, Malformed, CannotWrite, CngFailed };

// A short English reason for the log.
std::string_view describe(KeyStoreStatus status);

struct KeyStoreResult {
    KeyStoreStatus status = KeyStoreStatus::NoHomeFolder;
    std::optional<AdbIdentity> identity;  // with Loaded and Created
};

// The folder from the environment; nullopt when neither variable is set.
std::optional<std::wstring> adbKeyFolder();

// "USERNAME@COMPUTERNAME" from the environment, as adb names keys; "unknown" for a missing part.
std::string adbKeyOwnerName();

KeyStoreResult loadOrCreateAdbKey(const std::wstring& folder, const std::string& ownerName);
// The same in adbKeyFolder(), named after adbKeyOwnerName().
KeyStoreResult loadOrCreateAdbKey();

}  // namespace oz
