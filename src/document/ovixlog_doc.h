// The window's document: a thin front over the sample store, the live session (port, reading
// thread, recorder), the imports through the log reader, the saves and the settings, keeping
// the names the window's commands use. The reading thread and the user-interface thread meet
// here.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/sample_sink.h"
#include "acquisition/serial_reader.h"
#include "document/live_session.h"
#include "document/sample_store.h"
#include "format/row_buffer.h"
#include "format/row_formatter.h"
#include "framework/document.h"
#include "framework/startup_settings.h"
#include "reading/log_reader.h"
#include "recording/live_recorder.h"

namespace ovixlog {

class COvixLogDoc : public Document, public SampleSink {
 public:
  // Copies the start-up settings; `startup` is read again for the output file on every save
  // question and must outlive the document. The live reader is created by OnNewDocument.
  COvixLogDoc(UserInterface* ui, const StartupSettings& startup);
  ~COvixLogDoc() override;

  // --- The store -------------------------------------------------------------------------------
  // Keeps the sample, or frees it when it is less than 1000 ms after the last stored one and not
  // every sample is kept; then tells `notifier` (outside the lock). Any thread.
  void AddSample(std::unique_ptr<EngineSample> sample, SampleNotifier* notifier) override;
  void DeleteContents() override;
  bool OnNewDocument() override;

  // --- Rows --------------------------------------------------------------------------------------
  // Display rows: 0 titles, 1 rule, then the samples in the current order. CSV rows: 0 titles,
  // then the samples. Rows out of range give empty text. Each call reads the store under
  // its lock, so any thread may call them, but GetMaxRowWidth, which measures the rows that
  // came since it was last asked: the user-interface thread.
  int GetRowCount() const;
  int GetMaxRowWidth() const;
  void FormatDisplayRow(int row, std::string& text) const;
  void FormatCsvRow(int row, std::string& text) const;
  // Up to `maxRows` display rows from `firstRow`, all from one consistent state of the store.
  void FormatDisplayRows(int firstRow, int maxRows, std::vector<std::string>& rows) const;

  // --- Saving ------------------------------------------------------------------------------------
  // Passes every row of the text table (or, with `csv`, of the CSV table), each followed by CR LF, to
  // `write` in blocks, as the store stands when the call starts. Stops at the first failed write
  // and returns false. User-interface thread.
  bool WriteRows(bool csv, const std::function<bool(std::string_view)>& write);
  void Serialize(TextArchive& archive) override;
  bool OnSaveDocument(const std::string& path) override;
  // With an output file named on the command line: saves silently, but only a log that holds
  // samples not saved yet. The first log saved this way goes to the output file, every later
  // log to the next free numbered name beside it, so that no log replaces another. Returns
  // false when that save failed, like a failed answer Yes.
  bool SaveModified() override;

  // --- Imports -----------------------------------------------------------------------------------
  void OnOpenSerialFile();
  void OnOpenDemoLog();
  // The imports without their file dialog: for a file named on the command line and for the
  // converter. Return false when the file could not be read (the error has been shown).
  bool ImportSerialFile(const std::string& path);
  bool ImportDemoLog(const std::string& path);
  // File > Open Recording...: lists the recordings folder, newest first, and imports the chosen
  // one as a demo log; Browse (or an empty folder) picks a recording file anywhere.
  void OnOpenRecording();
  // File > Open...: any file we read, imported as what its content is.
  void OnOpenAnyFile();
  // Imports `path` as a demo log or a raw capture, as its first bytes say (a file dropped on
  // the window, File > Open...). False when it could not be read (the error has been shown).
  bool ImportByContent(const std::string& path);

  // --- The live recording and review ----------------------------------------------------------
  LiveRecorder& recorder() { return session_.recorder(); }
  const LiveRecorder& recorder() const { return session_.recorder(); }
  // Options > Record Live Data.
  void OnRecordLiveData();
  // True while an imported file is shown: live samples go on into the recording but not into
  // the table, until File > New or a port command returns to live data.
  bool reviewing() const { return session_.reviewing(); }

  // The file the table shows while it shows an imported one (empty otherwise), and whether it
  // was read as a demo log.
  const std::string& importedPath() const { return importedPath_; }
  bool importedDemoLog() const { return importedDemoLog_; }
  // Reads the shown file again under the document's model and format, setting aside a demo
  // log's own records for them, so that no sample decoded under the old choice stays. False
  // when no file is shown or it could not be read again (the error has been shown).
  bool ReimportWithCurrentModel();
  // True when every stored sample is safe without a save: read from a file that is still there
  // unchanged, or received live into a recording that has its bytes on disk. The save question
  // is not asked then; every other unsaved log still gets it.
  bool SamplesKeptElsewhere() const;
  // What the log is, for the window's title: the saved file's name, else the shown file's,
  // else "Recording <start>" while live data goes into a recording, else "Untitled".
  std::string ShownTitle() const;
  // The aircraft the shown log was flown in: the last aircraft record of an imported recording,
  // or for live data the aircraft the recorder names; empty when neither says.
  std::string ShownAircraft() const;

  // After a switch of layout while live: reads what was received again from the recording
  // under the document's model, then goes on with the live samples that came meanwhile, so no
  // sample decoded under the old layout stays. Without a recording of this session the live
  // samples are dropped instead (they were misread). False when nothing could be read again.
  bool RereadLiveSamples();
  // Empties the table of live samples decoded under a layout that proved wrong; live data goes
  // on under the document's model, and a recording keeps the bytes as they came.
  void DiscardLiveSamples();

  // Applies one "key=value" setting of a demo log (keys 58, 321 and 723; others do nothing).
  void ApplyDemoLogSetting(int key, int value);

  // --- Settings commands ---------------------------------------------------------------------
  // Asks to save, then reopens the document on `port`; false when the switch was abandoned.
  bool OnPort(int32_t port);
  void OnModel(EngineModel code);
  void OnReadV39();
  void OnKeepAllSamples();
  void OnShowSystemTime();
  void OnNewestFirst();
  void OnOldestFirst();

  // Without ports the document never opens a serial device.
  void SetPortsEnabled(bool enabled) { session_.SetPortsEnabled(enabled); }
  // With streams the imports also read pipes, FIFOs and devices to their end, and "-" names
  // standard input; without (the window), such a file is refused as not a regular file.
  void SetStreamInputsAllowed(bool allowed) { streamInputs_ = allowed; }
  // The current reader's port status, for the window.
  SerialStatus PortStatus() const;

  // Number of samples stored and of slots reported for them.
  int SampleCount() const;
  int SampleCapacity() const;
  // A copy of the sample at `index` (0 = oldest stored).
  EngineSample SampleAt(int index) const;
  // The addresses of up to `maxCount` stored samples from `first` (0 = oldest), fetched under one
  // lock; returns how many. Stored samples never change, so the user-interface thread may read
  // them until it next empties the store; no other thread may keep them.
  int GetSamples(int first, int maxCount, std::vector<const EngineSample*>& out) const;
  // Changes every time the store is emptied, so a view can tell new contents from more of the
  // same. Written on the user-interface thread only.
  int32_t ContentsGeneration() const { return contentsGeneration_.load(); }

  // Settings. Written on the user-interface thread; the reading thread reads some of them while
  // it adds a sample, so each is a whole atomic 32-bit value.
  std::atomic<int32_t> model;
  std::atomic<int32_t> commPort;
  std::atomic<int32_t> keepAllSamples;
  std::atomic<int32_t> showSystemTime;
  std::atomic<int32_t> altFrameFormat{0};
  std::atomic<int32_t> oldestFirst;

 private:
  enum class TableKind { kDisplay, kCsv };

  RowSettings CurrentRowSettings() const;
  // Formats a row of a table of the first `count` samples of the held store.
  void FormatRowLocked(const SampleStore::Locked& held, TableKind kind, int row, int count,
                       RowBuffer& out) const;
  // Measures the rows stored so far under the row settings about to change.
  void MeasureBeforeSettingsChange() const;
  // After a save: clears the modified flag, unless samples arrived while the file was written.
  void MarkSaved(int savedCount);
  void ReplaceReader();
  // Where the silent save of the current log goes; see SaveModified.
  std::string SilentSaveTarget() const;
  // Reads `path` as `format` through the log reader into the store and shows it; the import
  // commands' body. False when it could not be read (the error has been shown).
  bool ImportFile(const std::string& path, LogFormat format);
  // The reader's options for an import under the document's settings.
  LogReadOptions ImportOptions(LogFormat format) const;
  class ImportListener;
  // Notes the file an import read, and what it looked like then.
  void RememberImport(const std::string& path, bool demoLog);
  // Called before an import replaces the table with a file's rows.
  void BeginReview() { session_.SetReviewing(true); }
  // Copies the document's model and format into the live reader.
  void PassSettingsToReader();
  // Stores a sample: AddSample's body, saying whether the store kept it.
  bool Store(std::unique_ptr<EngineSample> sample, SampleNotifier* notifier);

  // The samples. Stored samples never change and are freed only on the user-interface thread
  // (by DeleteContents), so that thread may read a sample outside the store's lock once it has
  // fetched its address.
  SampleStore store_;

  // The port, its reading thread, the recorder and the gate of the live samples. After the
  // store, so that it is gone (its reading thread stopped) before the store goes.
  LiveSession session_;

  bool streamInputs_ = false;
  // The shown imported file; user-interface thread.
  std::string importedPath_;
  bool importedDemoLog_ = false;
  // The aircraft record of the file read into the store, cleared with the store; user-interface
  // thread.
  std::string importedAircraft_;
  // The shown file's size and change time when it was read, to tell it is still the same.
  int64_t importedSize_ = -1;
  int64_t importedChangeNs_ = 0;
  // While set, a demo log's model and format records are not applied (a read-again under the
  // user's choice).
  bool keepModelOnImport_ = false;

  const StartupSettings& startup_;
  int lastSerializedCount_ = 0;
  // The file the current log was silently saved to (empty until then, and again for each new
  // log), and whether any log of this run went to the output file itself. User-interface thread.
  std::string flightTarget_;
  bool outputFileUsed_ = false;
  std::atomic<int32_t> contentsGeneration_{0};
};

// Whether the file at `path` begins with demo-log records (else it is taken for a raw capture).
bool LooksLikeDemoLog(const std::string& path);

// `path` with "-N" before its extension: ("flight.csv", 2) -> "flight-2.csv", ("logs/flight", 3)
// -> "logs/flight-3". A dot that starts the file name is no extension.
std::string NumberedSibling(const std::string& path, int number);

// "43,200".
std::string WithThousands(uint64_t value);

}  // namespace ovixlog
