#include "runtime/adb_key_store_win.h"

#include <utility>

#include "core/android_pubkey.h"
#include "core/rsa_key.h"
#include "runtime/environment_win.h"
#include "runtime/handles_win.h"
#include "runtime/text_win.h"

namespace oz {
namespace {

enum class FileRead { Ok, Missing, TooLarge, Failed };

std::wstring inFolder(const std::wstring& folder, std::wstring_view name) {
    const bool separated = !folder.empty() && (folder.back() == L'\\' || folder.back() == L'/');
    return folder + (separated ? L"" : L"\\") + std::wstring(name);
}

// Each missing folder of the path in turn, as CreateDirectoryW makes only the last one.
void createFolders(const std::wstring& folder) {
    for (std::size_t pos = folder.find_first_of(L"\\/", 3); pos != std::wstring::npos; pos = folder.find_first_of(L"\\/", pos + 1))
        ::CreateDirectoryW(folder.substr(0, pos).c_str(), nullptr);
    ::CreateDirectoryW(folder.c_str(), nullptr);
}

// Reads at most limit bytes; a longer file is TooLarge without being read further.
FileRead readSmallFile(const std::wstring& path, std::size_t limit, std::string& out) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD error = file ? 0 : ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return FileRead::Missing;
    if (!file) return FileRead::Failed;
    out.assign(limit + 1, '\0');
    std::size_t filled = 0;
    DWORD got = 0;
    while (filled < out.size() &&
           ::ReadFile(file.get(), out.data() + filled, static_cast<DWORD>(out.size() - filled), &got, nullptr) && got > 0) {
        filled += got;
    }
    out.resize(filled);
    return filled > limit ? FileRead::TooLarge : FileRead::Ok;
}

// A temp file that is removed unless it was moved into place.
class PendingFile {
public:
    explicit PendingFile(std::wstring path) : path_(std::move(path)) {}
    ~PendingFile() {
        if (!placed_) ::DeleteFileW(path_.c_str());
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    const std::wstring& path() const { return path_; }
    void placed() { placed_ = true; }

private:
    std::wstring path_;
    bool placed_ = false;
};

enum class FileWrite { Ok, Exists, Failed };

bool writeWhole(const std::wstring& path, std::string_view bytes) {
    UniqueFileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size() && ::FlushFileBuffers(file.get());
}

// Written beside target under a temp name, then moved into place; an existing target stays.
FileWrite writeNewFile(const std::wstring& folder, std::wstring_view name, std::string_view bytes) {
    const std::wstring target = inFolder(folder, name);
    wchar_t temp[MAX_PATH + 1] = {};
    if (::GetTempFileNameW(folder.c_str(), L"adb", 0, temp) == 0) return FileWrite::Failed;
    PendingFile pending{std::wstring(temp)};
    if (!writeWhole(pending.path(), bytes)) return FileWrite::Failed;
    const bool moved = ::MoveFileExW(pending.path().c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
    const DWORD error = moved ? 0 : ::GetLastError();
    if (moved) pending.placed();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return FileWrite::Exists;
    return moved ? FileWrite::Ok : FileWrite::Failed;
}

KeyStoreResult identityOf(const RsaPrivateKey& integers, const std::string& ownerName, KeyStoreStatus status) {
    std::optional<std::string> publicText =
        androidPublicKeyText(integers.modulus, integers.publicExponent, ownerName);
    if (!publicText) return {KeyStoreStatus::Malformed, std::nullopt};
    std::optional<CngRsaKey> key = CngRsaKey::fromPrivateKey(integers);
    if (!key) return {KeyStoreStatus::CngFailed, std::nullopt};
    return {status, AdbIdentity{std::move(*key), std::move(*publicText)}};
}

KeyStoreResult createKey(const std::wstring& folder, const std::string& ownerName, bool& lostRace) {
    createFolders(folder);
    std::optional<CngRsaKey> key = CngRsaKey::generate();
    std::optional<RsaPrivateKey> integers = key ? key->privateKey() : std::nullopt;
    if (!integers) return {KeyStoreStatus::CngFailed, std::nullopt};
    KeyStoreResult made = identityOf(*integers, ownerName, KeyStoreStatus::Created);
    if (!made.identity) return made;
    const FileWrite written = writeNewFile(folder, L"adbkey", writePrivateKeyPem(*integers));
    lostRace = written == FileWrite::Exists;
    if (written != FileWrite::Ok) return {KeyStoreStatus::CannotWrite, std::nullopt};
    // adb remakes a missing adbkey.pub from adbkey; one that is there is left as it is.
    writeNewFile(folder, L"adbkey.pub", made.identity->publicKeyText + "\n");
    return made;
}

}  // namespace

std::string_view describe(KeyStoreStatus status) {
    switch (status) {
        case KeyStoreStatus::Loaded: return "the adb key was loaded";
        case KeyStoreStatus::Created: return "a new adb key was made";
        case KeyStoreStatus::NoHomeFolder: return "neither ANDROID_USER_HOME nor USERPROFILE is set";
        case KeyStoreStatus::Unreadable: return "adbkey cannot be read";
        case KeyStoreStatus::Malformed: return "adbkey is not an unencrypted RSA-2048 key in PEM";
        case KeyStoreStatus::CannotWrite: return "adbkey cannot be written";
        case KeyStoreStatus::CngFailed: return "Windows' cryptography (CNG) refused the key";
    }
    return "unknown key store status";
}

std::optional<std::wstring> adbKeyFolder() {
    if (std::optional<std::wstring> home = environmentValue(L"ANDROID_USER_HOME")) return *home;
    if (std::optional<std::wstring> profile = environmentValue(L"USERPROFILE")) {
        return inFolder(*profile, L".android");
    }
    return std::nullopt;
}

std::string adbKeyOwnerName() {
    const std::wstring user = environmentValue(L"USERNAME").value_or(L"unknown");
    const std::wstring host = environmentValue(L"COMPUTERNAME").value_or(L"unknown");
    return toUtf8(user) + "@" + toUtf8(host);
}

KeyStoreResult loadOrCreateAdbKey(const std::wstring& folder, const std::string& ownerName) {
    // Twice at most: when another program writes the key first, that key is the one to use.
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string pem;
        const FileRead read = readSmallFile(inFolder(folder, L"adbkey"), kMaxKeyPemBytes, pem);
        if (read == FileRead::Failed) return {KeyStoreStatus::Unreadable, std::nullopt};
        if (read == FileRead::TooLarge) return {KeyStoreStatus::Malformed, std::nullopt};
        if (read == FileRead::Ok) {
            const std::optional<RsaPrivateKey> integers = readPrivateKeyPem(pem);
            if (!integers) return {KeyStoreStatus::Malformed, std::nullopt};
            return identityOf(*integers, ownerName, KeyStoreStatus::Loaded);
        }
        bool lostRace = false;
        KeyStoreResult made = createKey(folder, ownerName, lostRace);
        if (!lostRace) return made;
    }
    return {KeyStoreStatus::CannotWrite, std::nullopt};
}

KeyStoreResult loadOrCreateAdbKey() {
    const std::optional<std::wstring> folder = adbKeyFolder();
    if (!folder) return {KeyStoreStatus::NoHomeFolder, std::nullopt};
    return loadOrCreateAdbKey(*folder, adbKeyOwnerName());
}

}  // namespace oz
