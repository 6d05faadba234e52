#include "core/rsa_key.h"

#include <array>

#include "core/base64.h"
#include "core/der.h"

namespace oz {
namespace {

constexpr std::string_view kPkcs8Label = "PRIVATE KEY";
constexpr std::string_view kPkcs1Label = "RSA PRIVATE KEY";
// 1.2.840.113549.1.1.1 (rsaEncryption), encoded.
constexpr std::string_view kRsaEncryptionOid = "\x2A\x86\x48\x86\xF7\x0D\x01\x01\x01";
constexpr std::size_t kPemLineLength = 64;
constexpr std::size_t kMaxDerBytes = kMaxKeyPemBytes / 4 * 3;

// The integers in the order RSAPrivateKey holds them.
constexpr std::array<std::string RsaPrivateKey::*, 8> kFields = {
    &RsaPrivateKey::modulus, &RsaPrivateKey::publicExponent, &RsaPrivateKey::privateExponent,
    &RsaPrivateKey::prime1,  &RsaPrivateKey::prime2,         &RsaPrivateKey::exponent1,
    &RsaPrivateKey::exponent2, &RsaPrivateKey::coefficient};

std::string pemLine(std::string_view edge, std::string_view label) {
    return "-----" + std::string(edge) + " " + std::string(label) + "-----\n";
}

// CR LF made LF: a key file edited on Windows reads as the same key.
std::string withoutCarriageReturns(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n') out.push_back(text[i]);
    }
    return out;
}

// The base64 between the BEGIN and END lines of this label, line ends removed; nullopt unless
// the text is that one block followed by nothing but line ends.
std::optional<std::string> pemBody(std::string_view pem, std::string_view label) {
    const std::string text = withoutCarriageReturns(pem);
    const std::string begin = pemLine("BEGIN", label);
    const std::string end = pemLine("END", label);
    const std::size_t endAt = text.find(end.substr(0, end.size() - 1), begin.size());
    if (!text.starts_with(begin) || endAt == std::string::npos || text[endAt - 1] != '\n') return std::nullopt;
    if (text.find_first_not_of('\n', endAt + end.size() - 1) != std::string::npos) return std::nullopt;
    std::string body = text.substr(begin.size(), endAt - begin.size());
    std::erase(body, '\n');
    return body;
}

// The contents of the one SEQUENCE that must make up all of der.
std::optional<std::string_view> wholeSequence(std::string_view der) {
    DerReader outer(der);
    const auto sequence = outer.take(DER_SEQUENCE);
    if (!sequence || !outer.atEnd()) return std::nullopt;
    return sequence;
}

// RSAPrivateKey ::= SEQUENCE { version 0, n, e, d, p, q, dp, dq, qinv }, nothing after it.
std::optional<RsaPrivateKey> readPkcs1(std::string_view der) {
    const auto sequence = wholeSequence(der);
    if (!sequence) return std::nullopt;
    DerReader fields(*sequence);
    const auto version = fields.takeUnsigned();
    if (!version || !version->empty()) return std::nullopt;
    RsaPrivateKey key;
    for (const auto field : kFields) {
        auto value = fields.takeUnsigned();
        if (!value) return std::nullopt;
        key.*field = std::move(*value);
    }
    if (!fields.atEnd() || key.modulus.empty() || key.publicExponent.empty()) return std::nullopt;
    if (key.prime1.empty() || key.prime2.empty()) return std::nullopt;
    return key;
}

// PrivateKeyInfo ::= SEQUENCE { version 0, SEQUENCE { rsaEncryption, NULL }, OCTET STRING }.
std::optional<RsaPrivateKey> readPkcs8(std::string_view der) {
    const auto sequence = wholeSequence(der);
    if (!sequence) return std::nullopt;
    DerReader info(*sequence);
    const auto version = info.takeUnsigned();
    const auto algorithm = info.take(DER_SEQUENCE);
    const auto privateKey = info.take(DER_OCTET_STRING);
    if (!version || !version->empty() || !algorithm || !privateKey || !info.atEnd()) return std::nullopt;
    DerReader identifier(*algorithm);
    const auto oid = identifier.take(DER_OBJECT_IDENTIFIER);
    const auto parameters = identifier.take(DER_NULL);
    if (oid != kRsaEncryptionOid || !parameters || !parameters->empty() || !identifier.atEnd()) return std::nullopt;
    return readPkcs1(*privateKey);
}

std::string pkcs1Der(const RsaPrivateKey& key) {
    std::string fields = derUnsigned("");
    for (const auto field : kFields) fields += derUnsigned(key.*field);
    return derElement(DER_SEQUENCE, fields);
}

}  // namespace

std::optional<RsaPrivateKey> readPrivateKeyPem(std::string_view pem) {
    if (pem.size() > kMaxKeyPemBytes) return std::nullopt;
    const bool pkcs1 = pem.starts_with(pemLine("BEGIN", kPkcs1Label));
    const auto body = pemBody(pem, pkcs1 ? kPkcs1Label : kPkcs8Label);
    if (!body) return std::nullopt;
    const auto der = base64Decode(*body, kMaxDerBytes);
    if (!der) return std::nullopt;
    return pkcs1 ? readPkcs1(*der) : readPkcs8(*der);
}

std::string writePrivateKeyPem(const RsaPrivateKey& key) {
    const std::string algorithm =
        derElement(DER_SEQUENCE, derElement(DER_OBJECT_IDENTIFIER, kRsaEncryptionOid) + derElement(DER_NULL, ""));
    const std::string info = derUnsigned("") + algorithm + derElement(DER_OCTET_STRING, pkcs1Der(key));
    const std::string text = base64Encode(derElement(DER_SEQUENCE, info));
    std::string pem = pemLine("BEGIN", kPkcs8Label);
    for (std::size_t pos = 0; pos < text.size(); pos += kPemLineLength) {
        pem += text.substr(pos, kPemLineLength);
        pem += '\n';
    }
    return pem + pemLine("END", kPkcs8Label);
}

}  // namespace oz
