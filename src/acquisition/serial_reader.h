// Receives live data: opens one serial port, sets the monitor's line format and runs a reading
// thread that frames, decodes and hands every good frame to the sample sink. It also carries a
// file-feed assembler that frames bytes handed to it on the calling thread, with or without a
// port (files are read through LogReader, which has an assembler of its own).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "acquisition/byte_sink.h"
#include "acquisition/frame_assembler.h"
#include "acquisition/layout_detector.h"
#include "acquisition/sample_sink.h"

namespace ovixlog {

// What the window shows about the port. A snapshot, safe to take on any thread.
struct SerialStatus {
  std::string portName;    // "COM1:"
  std::string devicePath;  // "/dev/ttyS0", or what OVIXLOG_COM1 names
  bool open = false;       // the device is open now
  bool threadRunning = false;
  std::string lastError;  // empty, or why the device could not be opened or was lost
  uint64_t framesAccepted = 0;
  uint64_t framesDropped = 0;  // bad checksum
  uint64_t bytesReceived = 0;
  // Another layout that frames the bytes cleanly while the chosen one does not, if any.
  std::optional<FrameFormat> suggestedLayout;
};

class SerialReader {
 public:
  // Opens `portName` ("COM1:" to "COM8:", mapped to a device by DevicePathFor) and starts the
  // reading thread. A port that cannot be opened yet is tried again about once a second, the
  // reason kept in lastError, until it opens (reading then starts by itself) or the reader goes.
  // With an empty name the reader has no thread; its file-feed assembler works either way.
  // Samples go to `document` with `viewWindow`; every byte read also goes to `rawBytes` when
  // given, and live samples go to `liveSink` instead of `document` when given (both must
  // outlive the reader).
  SerialReader(const std::string& portName, SampleSink* document, SampleNotifier* viewWindow,
               ByteSink* rawBytes = nullptr, SampleSink* liveSink = nullptr);
  // Stops and joins the reading thread, then closes the port.
  virtual ~SerialReader();
  SerialReader(const SerialReader&) = delete;
  SerialReader& operator=(const SerialReader&) = delete;

  // Asks the reading thread to finish its current pass; does not wait.
  void Stop();

  bool HasThread() const { return thread_.joinable(); }
  SerialStatus Status() const;

  // An assembler for bytes that did not come from the port; the thread that owns the reader
  // only.
  FrameAssembler& fileFeed() { return fileFeed_; }

  // "COMn:" -> the device: the one bound to COMn (BindPort), else $OVIXLOG_COMn when set and
  // not empty, else /dev/ttyS<n-1>. Any other name is taken as a device path as it stands.
  static std::string DevicePathFor(const std::string& portName);

  // Written under the document's readerLock, read by both assemblers once per fill.
  std::atomic<int32_t> model{0};
  std::atomic<int32_t> altFrameFormat{0};
  std::atomic<int32_t> running{0};

 private:
  void ReadLoop();
  // Reading thread: closes the lost device and records why.
  void LoseDevice(const std::string& why);
  // Reading thread: waits about a second between attempts to reopen the device. True once it is
  // open again, false when asked to stop.
  bool Reconnect();
  // Waits `ms` milliseconds or until asked to stop; false when asked to stop.
  bool WaitUnlessStopped(int ms);
  void DrainWake();
  void ClosePort();
  void SetError(const std::string& text);
  void PublishCounts(const FrameAssembler& live);

  SampleSink* document_;
  SampleSink* liveSink_;
  SampleNotifier* viewWindow_;
  ByteSink* rawBytes_;
  FrameAssembler fileFeed_;
  std::thread thread_;
  // Set in the constructor and not changed afterwards, so the reading thread reads it freely.
  std::string devicePath_;
  // File descriptor of the open device, or -1. Owned by the reading thread while it runs (it
  // closes and reopens the device after a loss), by the constructor and destructor otherwise.
  int port_ = -1;
  // An eventfd that Stop() writes so that a waiting poll returns at once; -1 without a thread.
  int wake_ = -1;

  // Counts of the live assemblers replaced after a reconnect. Reading thread only.
  uint64_t acceptedBefore_ = 0;
  uint64_t droppedBefore_ = 0;
  // Whether the device was open once and then lost. Reading thread only.
  bool wasOpen_ = false;

  // Guards the status strings; the counters are atomics.
  mutable std::mutex statusLock_;
  SerialStatus status_;
  std::atomic<bool> open_{false};
  std::atomic<bool> threadRunning_{false};
  std::atomic<uint64_t> framesAccepted_{0};
  std::atomic<uint64_t> framesDropped_{0};
  std::atomic<uint64_t> bytesReceived_{0};
  std::atomic<int32_t> suggestedLayout_{-1};  // a FrameFormat, or -1
};

}  // namespace ovixlog
