// Reads an EFIS DEMO recording byte by byte: a headerless sequence of records, each a type
// byte, a big-endian 32-bit time stamp, a big-endian 32-bit length and the payload. Stream
// records (type 2) are passed on in chunks of at most 128 bytes with their record's stamp;
// setting records (type 7, "key=value") are passed on as two integers. Records of other types
// with at most kSmallRecordLimit payload bytes are passed on whole; longer ones are skipped.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ovixlog {

class DemoLogParser {
 public:
  class Listener {
   public:
    virtual ~Listener() = default;
    virtual void OnStreamBytes(uint32_t stamp, const uint8_t* bytes, size_t count) = 0;
    virtual void OnSetting(int key, int value) = 0;
    // A whole record of another type; most readers ignore them.
    virtual void OnSmallRecord(uint8_t type, uint32_t stamp, const uint8_t* payload,
                               size_t length) {
      (void)type;
      (void)stamp;
      (void)payload;
      (void)length;
    }
  };

  static constexpr size_t kChunkSize = 128;
  static constexpr size_t kTextLimit = 128;
  static constexpr size_t kSmallRecordLimit = 64;

  explicit DemoLogParser(Listener& listener) : listener_(listener) {}

  // Parses the next bytes of the file; a record may span any number of calls.
  void Parse(const uint8_t* bytes, size_t count);
  // At the end of the file: passes on the stream bytes of a truncated last record.
  void Finish();
  // Whether the bytes so far end inside a record (a file cut short).
  bool EndedInsideRecord() const { return state_ != State::kType; }
  // Where the last record began, counted in bytes from the start of the file.
  uint64_t lastRecordStart() const { return recordStart_; }

 private:
  enum class State { kType, kTime, kLength, kPayload };
  void Payload(uint8_t b);

  Listener& listener_;
  State state_ = State::kType;
  int counter_ = 0;
  uint32_t accumulator_ = 0;
  uint8_t type_ = 0;
  uint32_t stamp_ = 0;
  uint32_t remaining_ = 0;
  uint64_t offset_ = 0;
  uint64_t recordStart_ = 0;

  uint8_t chunk_[kChunkSize] = {};
  size_t chunkLength_ = 0;
  // Key and value share one index; a setting applies at the record's last byte only when the
  // key has at most 127 characters and the value 1 to 127.
  char key_[kTextLimit] = {};
  char value_[kTextLimit] = {};
  uint8_t small_[kSmallRecordLimit] = {};
  uint32_t length_ = 0;
  size_t index_ = 0;
  bool seenEquals_ = false;
};

// atoi: skips leading white space, takes an optional sign and decimal digits, stops at the
// first other character; 0 without digits. Values beyond int's range are clamped.
int AsciiToInt(const char* text);

}  // namespace ovixlog
