// The Library view: one row per flight of the flight library, sortable, filtered by aircraft
// and date, with the totals of the selected flights (of all shown when none is selected). It
// only shows what it is given; the controller reads the library and indexes files.
#pragma once

#include <QWidget>

#include <cstdint>
#include <vector>

#include "library/flight_library.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QProgressBar;
class QPushButton;
class QStandardItemModel;
class QTableView;

namespace ovixlog {

class LibraryFilter;

class LibraryView : public QWidget {
  Q_OBJECT

 public:
  // Whether a flight's file is still as it was indexed.
  enum class FileState { kPresent, kGone, kChanged };
  enum Column { kDate, kAircraft, kDuration, kAirborne, kTachHours, kFuel, kHottestCht,
                kFindings, kFile, kColumns };

  explicit LibraryView(QWidget* parent = nullptr);

  // Shows `flights`; `states` runs beside them (empty: every file present).
  void SetFlights(const std::vector<FlightRow>& flights, const std::vector<FileState>& states);
  // Indexing under way: `done` of `total` files; a total of 0 hides the bar.
  void SetProgress(int done, int total);
  void SetMessage(const QString& text);

  // The ids of the selected flights, in the shown order.
  std::vector<int64_t> SelectedIds() const;
  // "3 flights, 4:12 h, 4.1 tach h, 31.5 fuel" of the selection, else of the shown rows.
  QString TotalsText() const;
  QTableView* table() const { return table_; }
  QComboBox* aircraftFilter() const { return aircraft_; }
  QDateEdit* fromFilter() const { return from_; }
  QDateEdit* toFilter() const { return to_; }
  QPushButton* addFilesButton() const { return addFiles_; }
  QPushButton* addFolderButton() const { return addFolder_; }
  QPushButton* setAircraftButton() const { return setAircraft_; }

 signals:
  // A flight was double-clicked: its id, file, state and the start of its run.
  void flightOpened(qint64 id, const QString& file, int state, qint64 startMs, qint64 endMs);
  void addFilesRequested();
  void addFolderRequested();
  void setAircraftRequested();

 private:
  void UpdateTotals();

  QComboBox* aircraft_;
  QDateEdit* from_;
  QDateEdit* to_;
  QPushButton* addFiles_;
  QPushButton* addFolder_;
  QPushButton* setAircraft_;
  QTableView* table_;
  QStandardItemModel* model_;
  LibraryFilter* filter_;
  QLabel* totals_;
  QLabel* message_;
  QProgressBar* progress_;
};

}  // namespace ovixlog
