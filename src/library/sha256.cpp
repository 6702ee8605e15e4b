#include "library/sha256.h"

#include <openssl/evp.h>

#include <cstdio>
#include <new>
#include <vector>

namespace ovixlog {

Sha256::Sha256() : context_(EVP_MD_CTX_new()) {
  if (context_ == nullptr || EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) != 1)
    throw std::bad_alloc();
}

Sha256::~Sha256() { EVP_MD_CTX_free(context_); }

void Sha256::Update(const uint8_t* data, size_t length) {
  EVP_DigestUpdate(context_, data, length);
}

std::string Sha256::HexDigest() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_DigestFinal_ex(context_, digest, &size);
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(2 * size);
  for (unsigned int i = 0; i < size; ++i) {
    out.push_back(kHex[digest[i] >> 4]);
    out.push_back(kHex[digest[i] & 0xF]);
  }
  return out;
}

std::optional<std::string> FileSha256(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr)
    return std::nullopt;
  Sha256 sha;
  std::vector<uint8_t> block(1 << 16);
  size_t n = 0;
  while ((n = std::fread(block.data(), 1, block.size(), file)) > 0)
    sha.Update(block.data(), n);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed)
    return std::nullopt;
  return sha.HexDigest();
}

}  // namespace ovixlog
