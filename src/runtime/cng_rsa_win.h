#pragma once
// An RSA private key held by CNG (bcrypt): made new, or taken from the integers of adb's key
// file, and used to sign adb's authentication tokens. The integers come back out for writing
// the key file, since the file, not CNG's store, is what adb shares.
#include <windows.h>
#include <bcrypt.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/owned.h"
#include "core/rsa_key.h"

namespace oz {

struct AlgorithmTraits {
    using Value = BCRYPT_ALG_HANDLE;
    static Value empty() noexcept { return nullptr; }
    static void close(Value h) noexcept { ::BCryptCloseAlgorithmProvider(h, 0); }
};
using UniqueAlgorithm = Owned<AlgorithmTraits>;
using UniqueCngKey = Owned<ClosedBy<BCRYPT_KEY_HANDLE, &::BCryptDestroyKey>>;

inline constexpr unsigned kAdbKeyBits = 2048;

class CngRsaKey {
public:
    // A new key of kAdbKeyBits with CNG's public exponent, 65537 (any other is refused).
    static std::optional<CngRsaKey> generate();
    static std::optional<CngRsaKey> fromPrivateKey(const RsaPrivateKey& key);

    // The PKCS#1 v1.5 signature of digest taken as a SHA-1 digest: the DigestInfo prefix for
    // SHA-1, then the bytes as given. adb signs its 20-byte token this way.
    std::optional<std::string> signSha1Digest(std::string_view digest) const;
    std::optional<RsaPrivateKey> privateKey() const;

private:
    CngRsaKey(UniqueAlgorithm algorithm, UniqueCngKey key) : algorithm_(std::move(algorithm)), key_(std::move(key)) {}

    // In this order, so that the key is destroyed before its provider is closed.
    UniqueAlgorithm algorithm_;
    UniqueCngKey key_;
};

}  // namespace oz
