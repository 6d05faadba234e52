#pragma once
// The layout of CNG's BCRYPT_RSAFULLPRIVATE_BLOB, written out here so that the conversion to
// and from adb's key file is plain code that runs in the native tests; the Windows side only
// hands the bytes to BCryptImportKeyPair / takes them from BCryptExportKey.
//   ULONG Magic, BitLength, cbPublicExp, cbModulus, cbPrime1, cbPrime2 (little-endian)
//   then big-endian: e[cbPublicExp] n[cbModulus] p[cbPrime1] q[cbPrime2]
//                    dp[cbPrime1] dq[cbPrime2] qinv[cbPrime1] d[cbModulus]
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/rsa_key.h"

namespace oz {

inline constexpr std::uint32_t kRsaFullPrivateMagic = 0x33415352;  // "RSA3"

// nullopt when an integer is empty where it may not be or does not fit its field (dp or qinv
// longer than p, dq longer than q, d longer than n) or a field is over kDerMaxIntegerBytes.
std::optional<std::string> rsaFullPrivateBlob(const RsaPrivateKey& key);

// nullopt unless the header has the full-private magic, field sizes within kDerMaxIntegerBytes,
// a bit length that matches the modulus size and a total size that matches the fields exactly.
std::optional<RsaPrivateKey> keyFromRsaFullPrivateBlob(std::string_view blob);

}  // namespace oz
