// The "Flights" panel: the engine runs of the document with their airborne time, fuel, hottest
// CHT, exceedances and lean tests. Live samples are analysed in bounded slices between events,
// the run in progress shown "(running)" until it ends; an imported file is analysed whole on a
// worker thread, which hands back the finished runs (the same ones the converter's summary
// gives for that file), so a day's recording never blocks the window.
// Each run lists its exceedances, lean tests and findings (a finding with its severity's icon and
// colour). Selecting a run asks for its time span; selecting any of the others, for its time.
#pragma once

#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "analysis/flight_analyzer.h"
#include "analysis/limits.h"

class QLabel;
class QPlainTextEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace ovixlog {

class COvixLogDoc;
class DocumentSignals;

// The panel's columns for a run (`number` counts from 1), an exceedance, a lean test and a
// finding.
QStringList RunRowTexts(const RunSummary& run, int number);
QStringList ExceedanceRowTexts(const Exceedance& exceedance);
QStringList LeanTestRowTexts(const LeanTest& test);
QStringList FindingRowTexts(const Finding& finding);

class FlightsPanel : public QWidget {
  Q_OBJECT

 public:
  // Samples read from the store per turn of the event loop.
  static constexpr int kSliceSamples = 20000;
  // The list is rebuilt at most this often while samples arrive.
  static constexpr int kRefreshMs = 500;

  explicit FlightsPanel(QWidget* parent = nullptr);
  ~FlightsPanel() override;

  // The document to analyse and the adapter whose signals say when it changes; null detaches.
  void SetDocument(COvixLogDoc* document, DocumentSignals* adapter);
  // Analyses everything again against `limits`.
  void SetLimits(const Limits& limits);
  const Limits& limits() const { return limits_; }
  // A line under the list: why the limits file was not used, for instance.
  void SetNote(const QString& text);

  // The runs as the list shows them, and the tree itself (for the tests).
  const std::vector<RunSummary>& runs() const { return shown_; }
  QTreeWidget* tree() const { return tree_; }
  QLabel* note() const { return note_; }
  // The picked run (or, with none picked, the latest) in words with units.
  QPlainTextEdit* card() const { return card_; }
  // The run picked in the list, or the run of a picked exceedance or lean test (0 = the
  // first); -1 when none is picked.
  int SelectedRun() const;
  // Whether every stored sample has been analysed and the list shows the outcome.
  bool caughtUp() const;
  // How each run (by index) compares with its engine's normal, when the flight library knows
  // it: lines the card shows under the run's own. Empty for a run it does not know.
  void SetNormalLines(std::vector<std::vector<std::string>> perRun);

 signals:
  // The user picked a run: its first and last running sample, in elapsed milliseconds.
  void runSelected(qint64 startMs, qint64 endMs);
  // The user picked an exceedance, a lean test or a finding: where it starts.
  void timeSelected(qint64 timeMs);
  // The user opened a lean test (double-click or Enter): where it starts.
  void leanTestOpened(qint64 startMs);
  // The runs shown changed.
  void runsChanged();

 private:
  // The run the card shows: the picked one, else the latest; -1 with none.
  int CardRun() const;
  void ShowCard();
  // Analyses the store from its first sample again; `clear` empties the list at once (the store
  // was emptied), otherwise the old list stays until the new analysis has caught up.
  void Restart(bool clear);
  void ScheduleSlice();
  void ReadSlice();
  // An imported file: analyses its `count` samples on a worker thread, unless that is done or
  // under way already.
  void AnalyseWholeFile(int count);
  // Cancels the worker, if any, waits for it (it stops within one sample) and forgets its job.
  void StopWholeFile();
  // User-interface thread: the worker's runs, posted by name when it is done.
  Q_INVOKABLE void TakeWholeFile();
  void Refresh();
  void OnCurrentItemChanged(QTreeWidgetItem* item);

  COvixLogDoc* document_ = nullptr;
  Limits limits_ = Limits::Defaults();
  std::unique_ptr<FlightAnalyzer> analyzer_;
  int read_ = 0;  // samples of the store fed to the analyzer
  bool sliceScheduled_ = false;
  // The whole-file analysis. The worker reads the store through the document (each sample
  // copied under its lock) and writes only `runs` under `lock`; it is joined before the document
  // or the panel goes.
  struct WholeFileJob {
    int count = 0;
    int32_t generation = 0;
    std::atomic<bool> cancel{false};
    std::mutex lock;
    std::optional<std::vector<RunSummary>> runs;
  };
  std::shared_ptr<WholeFileJob> job_;
  std::thread worker_;
  // The finished runs of the imported file, once the worker handed them back.
  std::optional<std::vector<RunSummary>> fileRuns_;
  QTimer refreshTimer_;
  std::vector<RunSummary> shown_;
  std::vector<std::vector<std::string>> normalLines_;
  QTreeWidget* tree_;
  QLabel* note_;
  QPlainTextEdit* card_;
};

}  // namespace ovixlog
