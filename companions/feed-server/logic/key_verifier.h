// Account keys at rest: the catalog may hold, instead of a key, its verifier "hmac-sha256:<64 hex>",
// an HMAC-SHA-256 of the key under a secret kept outside the catalog, so that a copied catalog gives
// away no key. The hash is the system's crypto library's (libcrypto on Linux, CNG on Windows).
#pragma once

#include <stddef.h>

#include <memory>
#include <string>

// The verifier's form: the prefix, then the digest as lower-case hex.
const char kVerifierPrefix[] = "hmac-sha256:";
const size_t kVerifierDigestBytes = 32;
// A secret shorter than this is too easy to guess, and with it every verifier.
const size_t kKeySecretMin = 16;
const size_t kKeySecretMax = 4096;

// The secret, prepared once for the hashing of every key check.
struct KeySecret;
struct KeySecretDeleter {
    void operator()(KeySecret* secret) const;
};
typedef std::unique_ptr<KeySecret, KeySecretDeleter> KeySecretPointer;

// Reads the secret file whole (its bytes as they are) and prepares it; null, with the reason in *why,
// when it cannot be read, is not a regular file, or is shorter than kKeySecretMin or longer than
// kKeySecretMax.
KeySecretPointer LoadKeySecret(const std::string& path, std::string* why);
// The same from bytes already read.
KeySecretPointer MakeKeySecret(const std::string& bytes);

// True when the key field is meant as a verifier (it starts with the prefix, which no key can hold).
bool LooksLikeVerifier(const std::string& field);

// Reads "hmac-sha256:<64 hex digits>" into the digest's raw bytes; false when the field is not exactly that.
bool ParseVerifier(const std::string& field, std::string* digest);

// "hmac-sha256:<hex>" of the key under the secret.
std::string KeyVerifier(const KeySecret& secret, const std::string& key);

// True when the key given hashes to the digest; the comparison takes the same time wherever they differ.
bool VerifierMatches(const KeySecret& secret, const std::string& digest, const char* key, size_t size);
