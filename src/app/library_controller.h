// The Library view in its dock beside the Flights panel: reads the flight library, indexes
// files on a worker thread (Add Files..., Add Folder..., the recordings folder at start-up and
// each live recording as it closes),
// names aircraft, and opens a double-clicked flight's file at its run.
#pragma once

#include <QObject>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "library/flight_library.h"

class QDockWidget;
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

 signals:
  // Indexing finished; its total line.
  void indexed(const QString& totals);

 private:
  void OnSetAircraft();

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
};

}  // namespace ovixlog
