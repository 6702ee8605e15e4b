// The Trends view in its dock, tabbed with the Library view: reads the flight library into
// trends when the view is shown and after each indexing, and opens a clicked flight the way
// the Library view does. It also tells the Flights panel how each run of an opened file that
// the library knows compares with its engine's normal.
#pragma once

#include <QObject>

#include <string>
#include <vector>

#include "library/flight_library.h"

class QDockWidget;
class QMainWindow;
class QMenu;

namespace ovixlog {

class COvixLogDoc;
class FlightsPanel;
class LibraryController;
class TrendsView;

class TrendsController : public QObject {
  Q_OBJECT

 public:
  // Docks the view as a tab beside the library's dock and puts its toggle in `viewMenu`;
  // `panel` shows the runs of `document`.
  TrendsController(QMainWindow* window, LibraryController* library, QMenu* viewMenu,
                   COvixLogDoc* document, FlightsPanel* panel);

  TrendsView* view() const { return view_; }
  QDockWidget* dock() const { return dock_; }
  // Reads the library again into the view.
  void Refresh();
  // Opens flight `id` of the library in the window, at its run.
  void OpenFlight(qint64 id);
  // Tells the Flights panel how the runs of the opened file compare with their engine's normal.
  void CompareOpenedFile();
  // Forgets the document: the window is closing.
  void DetachDocument();

 private:
  bool OpenDatabase();

  LibraryController* library_;
  COvixLogDoc* document_;
  FlightsPanel* panel_;
  std::string compared_;  // the file and run count last compared, to do it once
  TrendsView* view_;
  QDockWidget* dock_;
  FlightLibrary database_;  // GUI thread only
  bool open_ = false;
  std::vector<FlightRow> flights_;  // as last read
};

}  // namespace ovixlog
