// HMAC-SHA-256 of account keys under the server's secret, by the system's crypto library.
#include "key_verifier.h"

#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <windows.h>
#include <bcrypt.h>
#else
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#endif

#ifdef _WIN32
// CNG's HMAC provider; the secret is given again to each hash, which costs CNG little.
struct KeySecret {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    std::string bytes;
};

void KeySecretDeleter::operator()(KeySecret* secret) const
{
    if (secret->algorithm != nullptr)
        BCryptCloseAlgorithmProvider(secret->algorithm, 0);
    delete secret;
}

KeySecretPointer MakeKeySecret(const std::string& bytes)
{
    KeySecretPointer secret(new KeySecret);
    secret->bytes = bytes;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&secret->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr,
                                                    BCRYPT_ALG_HANDLE_HMAC_FLAG)))
        return nullptr;
    return secret;
}

namespace {

bool Digest(const KeySecret& secret, const char* key, size_t size, unsigned char out[kVerifierDigestBytes])
{
    BCRYPT_HASH_HANDLE hash = nullptr;
    std::string secretBytes = secret.bytes;
    if (!BCRYPT_SUCCESS(BCryptCreateHash(secret.algorithm, &hash, nullptr, 0, (PUCHAR)&secretBytes[0],
                                         (ULONG)secretBytes.size(), 0)))
        return false;
    const bool done = BCRYPT_SUCCESS(BCryptHashData(hash, (PUCHAR)key, (ULONG)size, 0)) &&
                      BCRYPT_SUCCESS(BCryptFinishHash(hash, out, (ULONG)kVerifierDigestBytes, 0));
    BCryptDestroyHash(hash);
    return done;
}

bool SameBytes(const unsigned char* a, const unsigned char* b, size_t size)
{
    unsigned char difference = 0;
    for (size_t i = 0; i < size; ++i)
        difference |= (unsigned char)(a[i] ^ b[i]);
    return difference == 0;
}

} // namespace
#else
// A MAC context keyed once; each check works on a copy of it, so the secret is not set up again.
struct KeySecret {
    EVP_MAC* mac = nullptr;
    EVP_MAC_CTX* keyed = nullptr;
};

void KeySecretDeleter::operator()(KeySecret* secret) const
{
    EVP_MAC_CTX_free(secret->keyed);
    EVP_MAC_free(secret->mac);
    delete secret;
}

KeySecretPointer MakeKeySecret(const std::string& bytes)
{
    KeySecretPointer secret(new KeySecret);
    secret->mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    if (secret->mac == nullptr)
        return nullptr;
    secret->keyed = EVP_MAC_CTX_new(secret->mac);
    char digestName[] = "SHA256";
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digestName, 0),
                                 OSSL_PARAM_construct_end()};
    if (secret->keyed == nullptr ||
        EVP_MAC_init(secret->keyed, (const unsigned char*)bytes.data(), bytes.size(), params) != 1)
        return nullptr;
    return secret;
}

namespace {

bool Digest(const KeySecret& secret, const char* key, size_t size, unsigned char out[kVerifierDigestBytes])
{
    EVP_MAC_CTX* context = EVP_MAC_CTX_dup(secret.keyed);
    size_t length = 0;
    const bool done = context != nullptr && EVP_MAC_update(context, (const unsigned char*)key, size) == 1 &&
                      EVP_MAC_final(context, out, &length, kVerifierDigestBytes) == 1 &&
                      length == kVerifierDigestBytes;
    EVP_MAC_CTX_free(context);
    return done;
}

bool SameBytes(const unsigned char* a, const unsigned char* b, size_t size)
{
    return CRYPTO_memcmp(a, b, size) == 0;
}

} // namespace
#endif

KeySecretPointer LoadKeySecret(const std::string& path, std::string* why)
{
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        *why = "cannot be read";
        return nullptr;
    }
    if ((status.st_mode & S_IFMT) != S_IFREG) {
        *why = "is not a regular file";
        return nullptr;
    }
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        *why = "cannot be read";
        return nullptr;
    }
    std::string bytes;
    char buffer[1024];
    size_t got = 0;
    while (bytes.size() <= kKeySecretMax && (got = fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    const bool failed = ferror(file) != 0;
    fclose(file);
    if (failed) {
        *why = "cannot be read";
        return nullptr;
    }
    if (bytes.size() < kKeySecretMin || bytes.size() > kKeySecretMax) {
        *why = "must hold " + std::to_string(kKeySecretMin) + " to " + std::to_string(kKeySecretMax) +
               " bytes (make one with: head -c 32 /dev/urandom > FILE)";
        return nullptr;
    }
    KeySecretPointer secret = MakeKeySecret(bytes);
    if (secret == nullptr)
        *why = "could not be prepared for HMAC-SHA-256";
    return secret;
}

bool LooksLikeVerifier(const std::string& field)
{
    return field.compare(0, sizeof kVerifierPrefix - 1, kVerifierPrefix) == 0;
}

bool ParseVerifier(const std::string& field, std::string* digest)
{
    const size_t start = sizeof kVerifierPrefix - 1;
    if (!LooksLikeVerifier(field) || field.size() != start + 2 * kVerifierDigestBytes)
        return false;
    digest->clear();
    for (size_t i = start; i < field.size(); i += 2) {
        int value = 0;
        for (size_t j = i; j < i + 2; ++j) {
            const char c = field[j];
            if (c >= '0' && c <= '9')
                value = value * 16 + (c - '0');
            else if (c >= 'a' && c <= 'f')
                value = value * 16 + (c - 'a' + 10);
            else
                return false;
        }
        digest->push_back((char)value);
    }
    return true;
}

std::string KeyVerifier(const KeySecret& secret, const std::string& key)
{
    unsigned char digest[kVerifierDigestBytes];
    if (!Digest(secret, key.data(), key.size(), digest))
        return "";
    static const char kHex[] = "0123456789abcdef";
    std::string text = kVerifierPrefix;
    for (unsigned char byte : digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
    }
    return text;
}

bool VerifierMatches(const KeySecret& secret, const std::string& digest, const char* key, size_t size)
{
    unsigned char given[kVerifierDigestBytes];
    if (digest.size() != kVerifierDigestBytes || !Digest(secret, key, size, given))
        return false;
    return SameBytes(given, (const unsigned char*)digest.data(), kVerifierDigestBytes);
}
