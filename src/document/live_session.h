// The window's live data: the serial reader and its reading thread, the recorder that keeps
// every byte received, and the gate live samples pass on their way to the store. The gate is
// closed while an imported file is shown, and holds the samples while what was received is
// read again from the recording.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "acquisition/sample_sink.h"
#include "acquisition/serial_reader.h"
#include "recording/live_recorder.h"

namespace ovixlog {

class LiveSession : public SampleSink {
 public:
  // Takes a sample that passed the gate; true when the store kept it.
  using Keep = std::function<bool(std::unique_ptr<EngineSample>, SampleNotifier*)>;

  LiveSession(const std::string& recordingFolder, bool recordingEnabled, Keep keep);
  // Stops the reader and ends the recording's session.
  ~LiveSession() override;
  LiveSession(const LiveSession&) = delete;
  LiveSession& operator=(const LiveSession&) = delete;

  // The gate: every live sample, on the reading thread.
  void AddSample(std::unique_ptr<EngineSample> sample, SampleNotifier* notifier) override;

  LiveRecorder& recorder() { return *recorder_; }
  const LiveRecorder& recorder() const { return *recorder_; }

  // Stops the reader (waiting for its thread) and starts one on port `port` framing with
  // `model` and `altFrameFormat`; without ports the new reader opens nothing. The recording's
  // session of the closed port ends there. Samples go to the gate with `view`.
  void OpenPort(int32_t port, SampleSink* document, SampleNotifier* view, int32_t model,
                int32_t altFrameFormat);
  // Stops the reader and ends the recording's session; the destructor does it too.
  void Close();
  // The live reader frames with these from now on.
  void PassSettings(int32_t model, int32_t altFrameFormat);
  // The model and frame format the reader frames with; nothing without a reader.
  std::optional<std::pair<int32_t, int32_t>> ReaderFraming() const;
  SerialStatus PortStatus() const;
  void SetPortsEnabled(bool enabled) { portsEnabled_ = enabled; }

  // While reviewing, live samples go on into the recording but not to the store.
  bool reviewing() const { return reviewing_.load() != 0; }
  void SetReviewing(bool reviewing) { reviewing_ = reviewing ? 1 : 0; }

  // Live samples the store kept while the recording was taking their bytes.
  int32_t recordedSamples() const { return recordedSamples_.load(); }
  void SetRecordedSamples(int32_t count) { recordedSamples_ = count; }

  // Forgets the seam of the last read-again (the store was emptied).
  void ClearSeam();
  // From now on the gate holds live samples instead of passing them.
  void BeginHold();
  // Ends the hold after the recording was read again up to `lastStamp` (`reread`: any sample
  // was), `tail` being the last samples read: the held samples that the file did not have go
  // to the store in order, then the gate passes live samples again; a live sample equal to one
  // of `tail` within two seconds of `lastStamp` is a frame the file already had.
  void EndHold(std::vector<EngineSample> tail, uint32_t lastStamp, bool reread);

 private:
  // Whether `sample` is new at the seam; the caller holds holdLock_.
  bool PassesSeamLocked(const EngineSample& sample);

  Keep keep_;
  // The recorder outlives every reader it is handed to; its own lock guards its state.
  std::unique_ptr<LiveRecorder> recorder_;
  // readerLock_ guards `reader_` and the writing of its model and format. User-interface
  // thread only; taken before the store's lock when both are needed.
  mutable std::mutex readerLock_;
  std::unique_ptr<SerialReader> reader_;
  bool portsEnabled_ = true;
  // 1 while an imported file is shown. Written on the user-interface thread, read by the
  // reading thread for every live sample.
  std::atomic<int32_t> reviewing_{0};
  // Written by the reading thread (and reset with the store), read by either.
  std::atomic<int32_t> recordedSamples_{0};
  // holdLock_ guards the hold and the seam; the reading thread takes it for each live sample,
  // the user-interface thread to start and end a hold.
  std::mutex holdLock_;
  bool holdLive_ = false;
  std::vector<std::unique_ptr<EngineSample>> heldLive_;
  // The last samples read again: a live sample equal to one of them is a frame the file
  // already had, completed late by the live reader. Cleared by the first live sample that is
  // new.
  std::vector<EngineSample> seamTail_;
  uint32_t seamEndStamp_ = 0;  // the seam closes this long after the last sample read again
};

}  // namespace ovixlog
