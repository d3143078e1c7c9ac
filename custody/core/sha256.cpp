#include "custody/core/sha256.h"

#include <openssl/evp.h>

#include <cstdlib>
#include <utility>

namespace pell {
namespace {

EVP_MD_CTX* FreshContext() {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    // Only an allocation can fail here, and nothing sensible goes on without the hash.
    if (context == nullptr || EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1) std::abort();
    return context;
}

}  // namespace

Sha256::Sha256() : context_(FreshContext()) {}

Sha256::~Sha256() { EVP_MD_CTX_free(context_); }

Sha256::Sha256(Sha256&& other) noexcept : context_(std::exchange(other.context_, nullptr)) {}

Sha256& Sha256::operator=(Sha256&& other) noexcept {
    if (this != &other) {
        EVP_MD_CTX_free(context_);
        context_ = std::exchange(other.context_, nullptr);
    }
    return *this;
}

void Sha256::Update(std::span<const uint8_t> bytes) {
    if (context_ == nullptr) context_ = FreshContext();
    if (!bytes.empty()) EVP_DigestUpdate(context_, bytes.data(), bytes.size());
}

void Sha256::Update(std::string_view text) {
    Update(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

Sha256Digest Sha256::Finish() {
    if (context_ == nullptr) context_ = FreshContext();
    Sha256Digest digest{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(context_, digest.data(), &length);
    EVP_DigestInit_ex(context_, EVP_sha256(), nullptr);
    return digest;
}

std::string HexDigest(const Sha256Digest& digest) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(digest.size() * 2);
    for (const uint8_t byte : digest) {
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0F];
    }
    return out;
}

std::string Sha256Hex(std::string_view text) {
    Sha256 hash;
    hash.Update(text);
    return HexDigest(hash.Finish());
}

bool IsHexDigest(std::string_view text) {
    if (text.size() != 64) return false;
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

}  // namespace pell
