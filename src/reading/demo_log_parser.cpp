#include "reading/demo_log_parser.h"

#include <cctype>
#include <climits>

namespace ovixlog {

int AsciiToInt(const char* text) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
    ++text;
  bool negative = false;
  if (*text == '+' || *text == '-')
    negative = *text++ == '-';
  long long value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    if (value <= static_cast<long long>(INT_MAX) + 1)
      value = value * 10 + (*text - '0');
  }
  if (negative)
    value = -value;
  if (value > INT_MAX)
    return INT_MAX;
  if (value < INT_MIN)
    return INT_MIN;
  return static_cast<int>(value);
}

void DemoLogParser::Parse(const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const uint8_t b = bytes[i];
    switch (state_) {
      case State::kType:
        recordStart_ = offset_ + i;
        type_ = b;
        counter_ = 4;
        accumulator_ = 0;
        state_ = State::kTime;
        break;
      case State::kTime:
        --counter_;
        accumulator_ |= static_cast<uint32_t>(b) << (8 * counter_);
        if (counter_ == 0) {
          stamp_ = accumulator_;
          counter_ = 4;
          accumulator_ = 0;
          state_ = State::kLength;
        }
        break;
      case State::kLength:
        --counter_;
        accumulator_ |= static_cast<uint32_t>(b) << (8 * counter_);
        if (counter_ == 0) {
          if (accumulator_ == 0) {
            if (type_ != 2 && type_ != 7)
              listener_.OnSmallRecord(type_, stamp_, small_, 0);
            state_ = State::kType;
          } else {
            remaining_ = accumulator_;
            length_ = accumulator_;
            index_ = 0;
            seenEquals_ = false;
            state_ = State::kPayload;
          }
        }
        break;
      case State::kPayload:
        Payload(b);
        if (--remaining_ == 0) {
          if (type_ == 2 && chunkLength_ > 0) {
            listener_.OnStreamBytes(stamp_, chunk_, chunkLength_);
            chunkLength_ = 0;
          } else if (type_ != 2 && type_ != 7 && length_ <= kSmallRecordLimit) {
            listener_.OnSmallRecord(type_, stamp_, small_, length_);
          }
          state_ = State::kType;
        }
        break;
    }
  }
  offset_ += count;
}

void DemoLogParser::Payload(uint8_t b) {
  if (type_ == 2) {
    chunk_[chunkLength_++] = b;
    if (chunkLength_ == kChunkSize) {
      listener_.OnStreamBytes(stamp_, chunk_, chunkLength_);
      chunkLength_ = 0;
    }
  } else if (type_ == 7) {
    if (!seenEquals_) {
      if (index_ < kTextLimit) {
        if (b == '=') {
          key_[index_] = '\0';
          seenEquals_ = true;
          index_ = 0;
        } else {
          key_[index_++] = static_cast<char>(b);
        }
      }
    } else {
      if (index_ < kTextLimit)
        value_[index_++] = static_cast<char>(b);
      if (remaining_ == 1 && index_ < kTextLimit) {
        value_[index_] = '\0';
        listener_.OnSetting(AsciiToInt(key_), AsciiToInt(value_));
      }
    }
  } else if (length_ <= kSmallRecordLimit) {
    small_[length_ - remaining_] = b;
  }
}

void DemoLogParser::Finish() {
  if (chunkLength_ > 0) {
    listener_.OnStreamBytes(stamp_, chunk_, chunkLength_);
    chunkLength_ = 0;
  }
}

}  // namespace ovixlog
