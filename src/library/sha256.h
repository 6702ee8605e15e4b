// SHA-256 of a byte stream, fed in pieces; a file's identity in the flight library. Computed by
// OpenSSL's libcrypto, which uses the processor's SHA instructions where it has them: hashing
// every file is a large part of indexing a library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

struct evp_md_ctx_st;

namespace ovixlog {

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Update(const uint8_t* data, size_t length);
  // The digest as 64 lower-case hex digits; the object is spent afterwards.
  std::string HexDigest();

 private:
  evp_md_ctx_st* context_;
};

// The digest of a whole file; nothing when it cannot be read.
std::optional<std::string> FileSha256(const std::string& path);

}  // namespace ovixlog
