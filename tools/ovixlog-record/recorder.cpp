#include "recorder.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>
#include <sstream>

#include "acquisition/clock.h"
#include "acquisition/layout_detector.h"
#include "acquisition/serial_reader.h"
#include "analysis/flight_analyzer.h"
#include "analysis/limits.h"
#include "analysis/summary_writer.h"
#include "format/table_writer.h"
#include "library/file_samples.h"
#include "library/flight_library.h"
#include "library/library_indexer.h"
#include "reading/log_reader.h"
#include "reading/sample_thinner.h"
#include "recording/recording_catalog.h"
#include "recording/recording_format.h"

namespace ovixlog {
namespace {

// Reads a log for its counts alone.
class DiscardingListener : public LogReader::Listener {
 public:
  void AddSample(std::unique_ptr<EngineSample>, SampleNotifier*) override {}
};

constexpr int kPollMs = 250;
// After a recording stopped for want of room, the folder is looked at this often, and a new
// recording begins once it has this much free.
constexpr int64_t kRetryEveryMs = 5000;
constexpr uint64_t kRoomToRecord = uint64_t{1} << 20;

int64_t MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

uint64_t FreeBytes(const std::string& folder) {
  struct statvfs info {};
  if (::statvfs(folder.c_str(), &info) != 0)
    return 0;
  return static_cast<uint64_t>(info.f_bavail) * static_cast<uint64_t>(info.f_frsize);
}

// "Recording stopped: No space left on device" -> "No space left on device".
std::string WhyStopped(const std::string& error) {
  const std::string prefix = "Recording stopped: ";
  return error.rfind(prefix, 0) == 0 ? error.substr(prefix.size()) : error;
}

// Frames with a good checksum in a closed recording.
uint64_t FramesIn(const std::string& path) {
  LogReadOptions options;
  options.format = LogFormat::kDemoLog;
  DiscardingListener none;
  return LogReader::Read(path, options, none).frames;
}

// Drops the reader's own samples: the recorder keeps none.
class DiscardingSink : public SampleSink {
 public:
  void AddSample(std::unique_ptr<EngineSample>, SampleNotifier*) override {}
};

// Hands the samples a log keeps (one a second, or all) to a table or an analysis.
class KeptSamples : public LogReader::Listener {
 public:
  KeptSamples(bool keepAll, std::function<void(const EngineSample&)> take)
      : thinner_(keepAll), take_(std::move(take)) {}
  void AddSample(std::unique_ptr<EngineSample> sample, SampleNotifier*) override {
    if (thinner_.Keep(*sample))
      take_(*sample);
  }

 private:
  SampleThinner thinner_;
  std::function<void(const EngineSample&)> take_;
};

// Reads a closed recording as the window would, with the model its settings leave; the model,
// or nothing when it could not be read.
std::optional<EngineModel> ReadRecording(const std::string& path, LogReader::Listener* listener) {
  LogReadOptions options;
  options.format = LogFormat::kDemoLog;
  if (listener == nullptr) {
    const LogReadResult settings = LogReader::ReadSettings(path, options);
    return settings.ok() ? std::optional<EngineModel>(settings.model) : std::nullopt;
  }
  const LogReadResult result = LogReader::Read(path, options, *listener);
  return result.ok() ? std::optional<EngineModel>(result.model) : std::nullopt;
}

// The table of a recording, newest first, as CSV; false when it could not be read or written.
bool WriteTable(const std::string& path, std::FILE* out) {
  const std::optional<EngineModel> model = ReadRecording(path, nullptr);
  if (!model)
    return false;
  TableWriter table(RowStyle::kCsv, false, RowSettings{*model, false},
                    [out](std::string_view bytes) {
                      return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
                    });
  KeptSamples kept(false, [&table](const EngineSample& sample) { table.Add(sample); });
  return ReadRecording(path, &kept) == model && table.Finish(RowSettings{*model, false});
}

uint64_t FileSize(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

// "/x/2026-12-09_14-03-22_COM1_5100.log" -> "/x/2026-12-09_14-03-22_COM1_5100" + `suffix`.
std::string Beside(const std::string& path, const char* suffix) {
  const std::string stem = path.size() > 4 ? path.substr(0, path.size() - 4) : path;
  return stem + suffix;
}

// "COM3", "com3:" -> 3; 0 for a name that is no COM port; -1 for a COM port OvixLog lacks.
int ComPortNumber(const std::string& text) {
  std::string name = text;
  if (!name.empty() && name.back() == ':')
    name.pop_back();
  if (name.size() < 4 || strncasecmp(name.c_str(), "COM", 3) != 0)
    return 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9')
      return 0;
  }
  return name.size() == 4 && name[3] >= '1' && name[3] <= '8' ? name[3] - '0' : -1;
}

}  // namespace

bool WriteSummary(const std::string& path, std::FILE* out) {
  std::string error;
  const std::optional<Limits> limits = Limits::Load(Limits::DefaultPath(), false, error);
  const std::optional<EngineModel> model = ReadRecording(path, nullptr);
  if (!limits || !model)
    return false;
  FlightAnalyzer analyzer(*model, *limits);
  KeptSamples kept(true, [&analyzer](const EngineSample& sample) { analyzer.Add(sample); });
  if (ReadRecording(path, &kept) != model)
    return false;
  analyzer.Finish();
  const std::string text = SummaryText(analyzer.FinishedRuns());
  return std::fwrite(text.data(), 1, text.size(), out) == text.size();
}

ParsedRecordLine ParseRecordLine(const std::vector<std::string>& args) {
  ParsedRecordLine result;
  RecordOptions& o = result.options;
  const auto bad = [&](const std::string& error) {
    result.outcome = ParsedRecordLine::Outcome::kBadUsage;
    result.error = error;
    return result;
  };
  bool v39 = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> value;
    if (const size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
    }
    const bool takesValue =
        name == "--port" || name == "--model" || name == "--dir" || name == "--aircraft";
    if (!takesValue && value)
      return bad(name + " takes no value");
    if (takesValue && !value) {
      if (i + 1 >= args.size())
        return bad(name + " needs a value");
      value = args[++i];
    }
    if (name == "-h" || name == "--help") {
      result.outcome = ParsedRecordLine::Outcome::kHelp;
      return result;
    } else if (name == "--port") {
      if (value->empty())
        return bad("--port needs a device or COM1 ... COM8");
      const int com = ComPortNumber(*value);
      if (com < 0)
        return bad("--port " + *value + ": the ports are COM1 ... COM8, or give the device");
      o.port = com > 0 ? "COM" + std::to_string(com) + ":" : *value;
    } else if (name == "--model") {
      const std::optional<EngineModel> model = ModelFromNumber(*value);
      if (!model)
        return bad("--model must be 3100, 5100, 7100 or 8100");
      o.model = *model;
    } else if (name == "--v39") {
      v39 = true;
    } else if (name == "--dir") {
      if (value->empty())
        return bad("--dir needs a folder");
      o.folder = *value;
    } else if (name == "--split") {
      o.split = true;
    } else if (name == "--csv") {
      o.csv = true;
    } else if (name == "--summary") {
      o.summary = true;
    } else if (name == "--aircraft") {
      if (value->empty())
        return bad("--aircraft needs a name");
      if (value->size() > kAircraftNameLimit)
        return bad("--aircraft takes at most " + std::to_string(kAircraftNameLimit) + " bytes");
      o.aircraft = *value;
    } else if (name == "--library") {
      o.library = true;
    } else {
      return bad("unknown argument '" + args[i] + "'");
    }
  }
  if (v39) {
    if (o.model != kModel5100)
      return bad("--v39 applies to model 5100 only");
    o.altFrameFormat = 1;
  }
  return result;
}

std::string RecordUsage() {
  return R"(Usage: ovixlog-record [--port DEVICE|COMn] [--model 3100|5100|7100|8100] [--v39]
                      [--dir DIR] [--split] [--csv] [--summary] [--aircraft NAME]
                      [--library]
Records an engine monitor's serial line without a window, into the same recordings as OvixLog.

  --port DEVICE|COMn  the device to read, or COM1 ... COM8 as OvixLog maps them (default COM1)
  --model N           the monitor model (default 5100)
  --v39               the 77-byte frames of version 3.9 software (model 5100)
  --dir DIR           where the recordings go (default: $OVIXLOG_RECORDINGS, else
                      $XDG_DATA_HOME/ovixlog/recordings)
  --split             one recording per engine run: it begins with the run's first frame and
                      ends 30 s after the engine stops
  --csv               write the CSV table beside each finished recording (NAME.csv)
  --summary           write the run's summary beside each finished recording (NAME.summary.txt)
  --aircraft NAME     write the aircraft's name into each recording, so that its flights arrive
                      in the flight library labelled (at most 64 bytes)
  --library           index each finished recording into the flight library ($OVIXLOG_LIBRARY,
                      else $XDG_DATA_HOME/ovixlog/library.sqlite); off by default
  -h, --help          show this text and exit

One status line per event goes to standard output. A recording begins with three good frames
in a row. SIGTERM or SIGINT closes the recording cleanly. Exit status: 0 after a clean stop,
1 when the folder cannot be used or a recording failed (a full disk), 2 on bad usage.
)";
}

Recorder::Recorder(const RecordOptions& options, std::ostream& out)
    : options_(options),
      out_(out),
      folder_(options.folder.empty() ? DefaultRecordingsFolder() : options.folder),
      model_(options.model),
      alt_(options.altFrameFormat),
      framer_(model_, alt_, this, nullptr),
      runs_(this),
      contentHint_(options.model) {
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

Recorder::~Recorder() {
  if (wakeFd_ >= 0)
    ::close(wakeFd_);
}

void Recorder::Line(const std::string& text) {
  std::lock_guard<std::mutex> guard(outLock_);
  out_ << text << '\n' << std::flush;
}

void Recorder::Wake() {
  if (wakeFd_ < 0)
    return;
  const uint64_t one = 1;
  const ssize_t n = ::write(wakeFd_, &one, sizeof one);
  (void)n;
}

Recorder::Slot& Recorder::ActiveLocked() {
  if (active_ != nullptr)
    return *active_;
  for (const std::unique_ptr<Slot>& slot : slots_) {
    if (slot->state == Slot::State::kIdle) {
      active_ = slot.get();
      break;
    }
  }
  if (active_ == nullptr) {
    slots_.push_back(std::make_unique<Slot>());
    slots_.back()->recorder = std::make_unique<LiveRecorder>(folder_, true);
    slots_.back()->recorder->SetAircraft(options_.aircraft);
    active_ = slots_.back().get();
  }
  // A fresh slot: no reading thread has handed it anything yet.
  active_->recorder->BeginPort(options_.port);
  active_->state = Slot::State::kActive;
  active_->frames = 0;
  active_->discard = false;
  active_->announced = false;
  active_->failed = false;
  return *active_;
}

void Recorder::CloseActiveLocked(bool discard) {
  if (active_ == nullptr)
    return;
  active_->state = Slot::State::kClosing;
  active_->discard = discard;
  active_ = nullptr;
  Wake();
}

void Recorder::AddSample(std::unique_ptr<EngineSample> sample, SampleNotifier*) {
  // Called inside BytesReceived, under lock_.
  frameDone_ = true;
  frame_ = *sample;
  if (!firstSampleMs_)
    firstSampleMs_ = stamp_;
  contentHint_.Add(*sample);
}

void Recorder::StretchOpened(int64_t) {
  openedHere_ = true;
  stretchOpen_ = true;
}

void Recorder::StretchClosed(bool reported) {
  closedHere_ = reported;
  stretchOpen_ = false;
}

void Recorder::Hand(Slot& slot, const uint8_t* bytes, size_t count) {
  if (restartPending_) {
    slot.recorder->StreamRestarted();
    restartPending_ = false;
  }
  // The recordings are framed by the model and format given, which never change in a run.
  slot.recorder->BytesReceived(stamp_, bytes, count, options_.model, options_.altFrameFormat);
}

void Recorder::TakeFrame(const EngineSample& sample, size_t start, size_t end, size_t& from) {
  bool begins = false;
  if (options_.split) {
    openedHere_ = false;
    closedHere_.reset();
    runs_.Add(sample);
    if (closedHere_) {
      // The frame 30 s after the engine stopped is not part of the run.
      if (active_ != nullptr && start > from)
        Hand(*active_, &window_[from], start - from);
      CloseActiveLocked(!*closedHere_);
      from = end;
    }
    // A run's recording begins with its first frame, or with a frame once there is room again.
    begins = openedHere_ || (stretchOpen_ && active_ == nullptr);
  } else {
    begins = active_ == nullptr;
  }
  if (begins && active_ == nullptr && !paused_) {
    // What came before the frame went to no recording.
    Slot& slot = ActiveLocked();
    Hand(slot, &window_[start], end - start);
    slot.frames = 1;
    from = end;
  } else if (active_ != nullptr) {
    ++active_->frames;
  }
}

void Recorder::BytesReceived(uint32_t stamp, const uint8_t* bytes, size_t count, EngineModel,
                             int32_t) {
  std::lock_guard<std::mutex> guard(lock_);
  stamp_ = stamp;
  // The bytes kept from earlier reads (a few frames' worth, so that a run of good frames is
  // recorded whole even when it began in earlier reads) and this read.
  const size_t carried = window_.size();
  window_.insert(window_.end(), bytes, bytes + count);
  size_t from = carried;  // the first byte not yet handed on or passed over
  const size_t length = static_cast<size_t>(FrameLengthFor(model_.load(), alt_.load()));
  for (size_t i = carried; i < window_.size(); ++i) {
    frameDone_ = false;
    framer_.Feed(FrameAssembler::kNoStamp, &window_[i], 1);
    ++streamPos_;
    if (!frameDone_)
      continue;
    const size_t end = i + 1;
    goodRun_ = streamPos_ - length == lastFrameEnd_ ? goodRun_ + 1 : 1;
    lastFrameEnd_ = streamPos_;
    // Once a recording (or with --split an engine run) is under way every frame counts.
    if (options_.split ? stretchOpen_ : active_ != nullptr) {
      TakeFrame(frame_, end >= length ? end - length : 0, end, from);
      continue;
    }
    if (goodRun_ == 1)
      held_.clear();
    held_.push_back(frame_);
    if (goodRun_ < kGoodRun)
      continue;
    // A run of good frames, back to back in the window: each counts from the first on.
    const size_t n = held_.size();
    for (size_t k = 0; k < n; ++k) {
      const size_t frameEnd = end - (n - 1 - k) * length;
      TakeFrame(held_[k], frameEnd >= length ? frameEnd - length : 0, frameEnd, from);
    }
    held_.clear();
  }
  if (active_ != nullptr && from < window_.size())
    Hand(*active_, &window_[from], window_.size() - from);
  const size_t keep = static_cast<size_t>(kGoodRun) * kMaxFrameLength;
  if (window_.size() > keep)
    window_.erase(window_.begin(), window_.end() - static_cast<long>(keep));
}

void Recorder::StreamRestarted() {
  restarts_.fetch_add(1);
  std::lock_guard<std::mutex> guard(lock_);
  // What follows continues no frame begun before.
  framer_.Reset();
  window_.clear();
  held_.clear();
  goodRun_ = 0;
  streamPos_ = 0;
  lastFrameEnd_ = UINT64_MAX;
  restartPending_ = true;
}

void Recorder::Finish(Slot& slot) {
  // The name is known for certain only once the file is closed: a run that began and ended
  // within one look may not have had its file made yet.
  slot.recorder->EndSession();
  const LiveRecorder::Status after = slot.recorder->status();
  const std::string name = slot.recorder->lastSessionName();
  const std::string path = name.empty() ? std::string() : folder_ + "/" + name;
  if (!path.empty() && !slot.announced) {
    slot.announced = true;
    Line("recording started: " + path);
  }
  if (path.empty()) {
    if (!after.error.empty())
      Line("recording failed: " + WhyStopped(after.error));
    return;
  }
  if (slot.discard) {
    ::unlink(path.c_str());
    Line("recording discarded: " + path + " (the engine ran under a minute)");
    return;
  }
  // A recording the disk stopped holds fewer frames than were read: count what it holds.
  const uint64_t frames = slot.failed ? FramesIn(path) : slot.frames;
  std::ostringstream closed;
  closed << "recording closed: " << path << " (" << FileSize(path) << " bytes, " << frames
         << (frames == 1 ? " frame)" : " frames)");
  if (!after.error.empty())
    closed << " " << after.error;
  Line(closed.str());

  // The table and the summary, made from the recording as it lies on disk.
  const auto convert = [&](bool (*write)(const std::string&, std::FILE*),
                           const std::string& target, const char* what) {
    std::FILE* out = std::fopen(target.c_str(), "wb");
    if (out == nullptr) {
      Line(std::string("cannot write the ") + what + ": " + target);
      return;
    }
    const bool written = write(path, out);
    const bool closedOk = std::fclose(out) == 0;
    if (!written || !closedOk) {
      // Half a table is no table: nothing is left beside the recording.
      ::unlink(target.c_str());
      Line(std::string("cannot write the ") + what + ": " + target);
      return;
    }
    Line(std::string(what) + " written: " + target);
  };
  if (options_.csv)
    convert(WriteTable, Beside(path, ".csv"), "table");
  if (options_.summary)
    convert(WriteSummary, Beside(path, ".summary.txt"), "summary");
  if (options_.library)
    Index(path);
}

void Recorder::Index(const std::string& path) {
  FlightLibrary library;
  std::string error;
  std::string notice;
  if (!library.Open(LibraryPath(std::nullopt), error, notice)) {
    Line("library: " + error);
    return;
  }
  if (!notice.empty())
    Line("library: " + notice);
  IndexRequest request;
  request.roots = {path};
  // One file: one worker, leaving the cores to the reading thread.
  request.threads = 1;
  const IndexTotals totals = IndexFiles(
      library, request, ReadFileSamples, [this](const std::string& text) { Line("library: " + text); },
      nullptr);
  if (!totals.error.empty())
    Line("library: " + totals.error);
}

void Recorder::NoticeStoppedRecordings() {
  std::vector<std::string> lines;
  const int64_t now = MonotonicMs();
  {
    std::lock_guard<std::mutex> guard(lock_);
    for (const std::unique_ptr<Slot>& slot : slots_) {
      if (slot->state != Slot::State::kActive || slot->failed)
        continue;
      const LiveRecorder::Status status = slot->recorder->status();
      if (status.error.empty())
        continue;
      slot->failed = true;
      anyFailed_ = true;
      paused_ = true;
      retryAtMs_ = now + kRetryEveryMs;
      if (!status.name.empty()) {
        if (!slot->announced)
          lines.push_back("recording started: " + folder_ + "/" + status.name);
        slot->announced = true;
        lines.push_back("recording stopped: " + folder_ + "/" + status.name + " (" +
                        WhyStopped(status.error) + ")");
      }
      if (active_ == slot.get())
        CloseActiveLocked(false);
    }
  }
  for (const std::string& line : lines)
    Line(line);
  // paused_ is written by this thread alone: reading it here needs no lock.
  if (!paused_ || now < retryAtMs_)
    return;
  if (FreeBytes(folder_) < kRoomToRecord) {
    retryAtMs_ = now + kRetryEveryMs;
    return;
  }
  Line("room again in " + folder_ + ": recording goes on in a new file");
  std::lock_guard<std::mutex> guard(lock_);
  paused_ = false;
}

void Recorder::Poll() {
  NoticeStoppedRecordings();
  std::vector<Slot*> closing;
  {
    std::lock_guard<std::mutex> guard(lock_);
    for (const std::unique_ptr<Slot>& slot : slots_) {
      if (slot->state == Slot::State::kClosing)
        closing.push_back(slot.get());
      if (slot->state != Slot::State::kIdle && !slot->announced) {
        const LiveRecorder::Status status = slot->recorder->status();
        if (!status.name.empty()) {
          slot->announced = true;
          Line("recording started: " + folder_ + "/" + status.name);
        }
      }
    }
  }
  // A closing slot is the main thread's alone until it is idle again.
  for (Slot* slot : closing) {
    Finish(*slot);
    std::lock_guard<std::mutex> guard(lock_);
    slot->state = Slot::State::kIdle;
  }
}

void Recorder::HintAtTheModel(const SerialStatus& status) {
  const std::string restart = "; restart with ";
  if (status.suggestedLayout) {
    const LayoutChoice choice = ChoiceFor(*status.suggestedLayout, options_.model);
    Line("hint: these frames look like " + LayoutDescription(*status.suggestedLayout) + restart +
         "--model " + std::to_string(ModelNumber(choice.model)) +
         (choice.altFrameFormat != 0 ? " --v39" : ""));
    hinted_ = true;
    return;
  }
  std::optional<ContentSuggestion> suggestion;
  std::optional<uint32_t> firstSampleMs;
  {
    std::lock_guard<std::mutex> guard(lock_);
    suggestion = contentHint_.Suggestion();
    firstSampleMs = firstSampleMs_;
  }
  if (!suggestion)
    return;
  const std::string chosen = "Model " + std::to_string(ModelNumber(options_.model));
  if (suggestion->kind == ContentSuggestion::Kind::kImplausible) {
    // A few frames of another layout framed by chance hold impossible values too; the bytes'
    // verdict, due a window after they began, names that layout. The readings speak only once
    // the bytes have had their say and pointed nowhere else.
    if (!firstSampleMs || TickCount() - *firstSampleMs < 2 * LayoutDetector::kWindowMs)
      return;
    Line("hint: most frames read as " + chosen + " hold impossible values (" +
         suggestion->evidence + ")" + restart + "another --model, or --v39");
    hinted_ = true;
    return;
  }
  const std::string other = std::to_string(ModelNumber(suggestion->model));
  Line("hint: these readings look like Model " + other + ", not " + chosen + " (" +
       suggestion->evidence + ")" + restart + "--model " + other);
  hinted_ = true;
}

int Recorder::Run(const volatile std::sig_atomic_t& stop, int wakeFd) {
  // Said at once, not after a whole flight read for nothing.
  if (const std::string why = UnusableFolder(folder_); !why.empty()) {
    Line("cannot record into " + folder_ + ": " + why);
    return 1;
  }
  DiscardingSink discard;
  auto reader = std::make_unique<SerialReader>(options_.port, &discard, nullptr, this);
  reader->model = options_.model;
  reader->altFrameFormat = options_.altFrameFormat;
  const std::string device = reader->Status().devicePath;
  Line("ovixlog-record: reading " + device + " as Model " +
       std::to_string(ModelNumber(options_.model)) + (options_.altFrameFormat != 0 ? " v3.9" : "") +
       (options_.split ? ", one recording per engine run" : "") + ", into " + folder_);
  uint64_t seenRestarts = 0;
  while (stop == 0) {
    const SerialStatus status = reader->Status();
    // A device can go and come back between two looks; the reader's restarts tell.
    const uint64_t restarts = restarts_.load();
    const bool reopened = restarts != seenRestarts;
    seenRestarts = restarts;
    if (!wasOpen_ && (status.open || reopened)) {
      Line((everOpen_ ? "device back: " : "device found: ") + device);
      everOpen_ = true;
      wasOpen_ = true;
      lastError_.clear();
    } else if (wasOpen_ && reopened) {
      Line("device lost: " + device);
      Line("device back: " + device);
    }
    if (wasOpen_ && !status.open) {
      Line("device lost: " + device + " (" + status.lastError + ")");
      lastError_ = status.lastError;
      wasOpen_ = false;
    } else if (!status.open && !everOpen_ && status.lastError != lastError_) {
      Line("device missing: " + device + " (" + status.lastError + ")");
      lastError_ = status.lastError;
    }
    if (!hinted_)
      HintAtTheModel(status);
    Poll();
    pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    if (::poll(fds, 2, kPollMs) > 0 && (fds[0].revents & POLLIN) != 0) {
      uint64_t drained = 0;
      const ssize_t n = ::read(wakeFd_, &drained, sizeof drained);
      (void)n;
    }
  }
  // The reading thread goes first, so that nothing is handed over while the recording closes.
  reader.reset();
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (active_ != nullptr) {
      active_->state = Slot::State::kClosing;
      active_ = nullptr;
    }
  }
  Poll();
  Line(anyFailed_ ? "stopped; a recording failed" : "stopped");
  return anyFailed_ ? 1 : 0;
}

std::string UnusableFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0)
    return error ? error.message() : std::strerror(errno);
  if (!S_ISDIR(info.st_mode))
    return std::strerror(ENOTDIR);
  // Permissions alone do not tell (a read-only mount, or root): a file is made and removed.
  std::string probe = folder + "/.ovixlog-record-XXXXXX";
  const int fd = ::mkstemp(probe.data());
  if (fd < 0)
    return std::strerror(errno);
  ::close(fd);
  ::unlink(probe.c_str());
  return std::string();
}

}  // namespace ovixlog
