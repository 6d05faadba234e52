#include "runtime/cng_rsa_win.h"

#include <utility>

#include "core/cng_rsa_blob.h"

namespace oz {
namespace {

bool succeeded(NTSTATUS status) { return status >= 0; }

UniqueAlgorithm openRsa() {
    UniqueAlgorithm algorithm;
    if (!succeeded(::BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_RSA_ALGORITHM, nullptr, 0))) return {};
    return algorithm;
}

PUCHAR bytesOf(std::string& text) { return reinterpret_cast<PUCHAR>(text.data()); }

}  // namespace

std::optional<CngRsaKey> CngRsaKey::generate() {
    UniqueAlgorithm algorithm = openRsa();
    UniqueCngKey key;
    if (!algorithm || !succeeded(::BCryptGenerateKeyPair(algorithm.get(), key.put(), kAdbKeyBits, 0)) ||
        !succeeded(::BCryptFinalizeKeyPair(key.get(), 0))) {
        return std::nullopt;
    }
    CngRsaKey made(std::move(algorithm), std::move(key));
    const std::optional<RsaPrivateKey> integers = made.privateKey();
    if (!integers || integers->publicExponent != std::string("\x01\x00\x01", 3)) return std::nullopt;
    return made;
}

std::optional<CngRsaKey> CngRsaKey::fromPrivateKey(const RsaPrivateKey& key) {
    std::optional<std::string> blob = rsaFullPrivateBlob(key);
    UniqueAlgorithm algorithm = openRsa();
    UniqueCngKey imported;
    if (!blob || !algorithm) return std::nullopt;
    const NTSTATUS status = ::BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_RSAFULLPRIVATE_BLOB, imported.put(),
                                                  bytesOf(*blob), static_cast<ULONG>(blob->size()), 0);
    if (!succeeded(status)) return std::nullopt;
    return CngRsaKey(std::move(algorithm), std::move(imported));
}

std::optional<std::string> CngRsaKey::signSha1Digest(std::string_view digest) const {
    BCRYPT_PKCS1_PADDING_INFO padding{BCRYPT_SHA1_ALGORITHM};
    std::string input(digest);
    std::string signature(kAdbKeyBits / 8 * 2, '\0');
    ULONG written = 0;
    const NTSTATUS status =
        ::BCryptSignHash(key_.get(), &padding, bytesOf(input), static_cast<ULONG>(input.size()), bytesOf(signature),
                         static_cast<ULONG>(signature.size()), &written, BCRYPT_PAD_PKCS1);
    if (!succeeded(status) || written == 0 || written > signature.size()) return std::nullopt;
    signature.resize(written);
    return signature;
}

std::optional<RsaPrivateKey> CngRsaKey::privateKey() const {
    ULONG size = 0;
    if (!succeeded(::BCryptExportKey(key_.get(), nullptr, BCRYPT_RSAFULLPRIVATE_BLOB, nullptr, 0, &size, 0))) {
        return std::nullopt;
    }
    std::string blob(size, '\0');
    const NTSTATUS status =
        ::BCryptExportKey(key_.get(), nullptr, BCRYPT_RSAFULLPRIVATE_BLOB, bytesOf(blob), size, &size, 0);
    if (!succeeded(status) || size > blob.size()) return std::nullopt;
    blob.resize(size);
    return keyFromRsaFullPrivateBlob(blob);
}

}  // namespace oz
