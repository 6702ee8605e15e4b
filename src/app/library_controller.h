// The Library view in its dock beside the Flights panel: reads the flight library, indexes
// files on a worker thread (Add Files..., Add Folder..., the recordings folder at start-up and
// each live recording as it closes),
// names aircraft, and opens a double-clicked flight's file at its run.
#pragma once

#include <QObject>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "library/flight_library.h"

class QDockWidget;
class QInputDialog;
class QMainWindow;
class QMenu;

namespace ovixlog {

class COvixLogDoc;
class ChartView;
class LibraryView;

class LibraryController : public QObject {
  Q_OBJECT

 public:
  // Docks the view beside `beside`, puts its toggle in `viewMenu`, opens the library and, when
  // `scanRecordings`, indexes the recordings folder in the background.
  LibraryController(QMainWindow* window, COvixLogDoc* document, ChartView* charts,
                    QDockWidget* beside, QMenu* viewMenu, bool scanRecordings);
  ~LibraryController() override;

  LibraryView* view() const { return view_; }
  QDockWidget* dock() const { return dock_; }
  // Indexes files and folders off the GUI thread; false while another indexing runs.
  bool Index(const std::vector<std::string>& roots);
  // Indexes files once the indexing under way, if any, is done.
  void IndexSoon(const std::vector<std::string>& roots);
  // Whether indexing is under way.
  bool Busy() const { return busy_.load() != 0; }
  // Reads the library again into the view.
  void Refresh();
  // Forgets the document and the charts: the window is closing.
  void DetachDocument();
  // Opens a flight's file in the window and shows its run.
  void OpenFlight(qint64 id, const QString& file, int state, qint64 startMs, qint64 endMs);
  // Told a few times a second which port the window reads ("COM1:") and whether frames arrive.
  // The recordings of a port are named after the aircraft kept for it; the first time frames
  // arrive on a port the pilot was never asked about, a prompt asks, without blocking the
  // window, and the answer (a blank one too) is kept.
  void PortSeen(const std::string& portName, bool receiving);
  // The prompt asking for the aircraft on the port, while it is open.
  QInputDialog* aircraftPrompt() const { return aircraftPrompt_; }

 signals:
  // Indexing finished; its total line.
  void indexed(const QString& totals);

 private:
  void OnSetAircraft();
  void AskPortAircraft();
  // Run on the GUI thread, posted by name from the worker and the recorder, so that nothing
  // allocated on their threads is freed here: what they hand over waits in the mailbox below.
  Q_INVOKABLE void TakeProgress();
  Q_INVOKABLE void TakeFinished();
  Q_INVOKABLE void TakeClosedRecordings();

  QMainWindow* window_;
  COvixLogDoc* document_;
  ChartView* charts_;
  LibraryView* view_;
  QDockWidget* dock_;
  std::string path_;
  FlightLibrary library_;  // GUI thread only; the worker opens its own connection
  bool open_ = false;
  std::thread worker_;
  std::atomic<int32_t> busy_{0};
  std::vector<std::string> waiting_;  // GUI thread only: files for the next indexing
  std::string port_;                  // the port the window reads, as last seen
  bool portAsked_ = false;            // whether the pilot was asked about port_
  QInputDialog* aircraftPrompt_ = nullptr;

  // What the worker and the recorder hand to the GUI thread.
  struct Mailbox {
    size_t done = 0;
    size_t total = 0;
    bool progressPosted = false;
    std::optional<std::string> finished;  // the totals line, or the error
    std::vector<std::string> closed;      // recordings closed since last taken
  };
  std::mutex mailboxMutex_;
  Mailbox mailbox_;
};

}  // namespace ovixlog
