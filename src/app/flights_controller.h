// The flight review beside the log: the Flights panel in its dock, the engine limits it checks
// against (Options > Limits...), and the charts' limit lines, shading and cursor that follow it.
#pragma once

#include <QObject>

#include <cstdint>

class QDockWidget;
class QMainWindow;
class QMenu;

namespace ovixlog {

class COvixLogDoc;
class ChartView;
class DocumentSignals;
class FlightsPanel;
class LeanTestView;

class FlightsController : public QObject {
  Q_OBJECT

 public:
  // Docks the panel below the table of `window`, puts its toggle in `viewMenu` and the limits
  // editor in `optionsMenu`, and loads the limits file.
  FlightsController(QMainWindow* window, COvixLogDoc* document, DocumentSignals* documentSignals,
                    ChartView* charts, QMenu* viewMenu, QMenu* optionsMenu);

  FlightsPanel* panel() const { return panel_; }
  QDockWidget* dock() const { return dock_; }

  // Options > Limits...: edits the limits file and analyses the flights again.
  void OnLimits();
  // The charts' limit lines and exceedance shading, from the panel's limits and runs.
  void UpdateChartMarks();
  // Forgets the document.
  void DetachDocument();
  // Shows the lean test that starts at `startMs` against fuel flow; false when there is none.
  bool OpenLeanTest(int64_t startMs);
  // View > Lean Test: the test under the charts' cursor, else the latest one.
  bool OpenLeanTestAtCursor();
  LeanTestView* leanTestView() const { return leanView_; }

 signals:
  // A run, an exceedance or a lean test was picked: the sample (0 = oldest) the table should
  // show and select.
  void sampleChosen(int index);

 private:
  QMainWindow* window_;
  COvixLogDoc* document_;
  ChartView* charts_;
  FlightsPanel* panel_;
  QDockWidget* dock_;
  LeanTestView* leanView_ = nullptr;
};

}  // namespace ovixlog
