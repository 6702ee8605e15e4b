// The flight report from the window: File > Export Report... writes it as a PDF on A4 or
// Letter paper, File > Print... prints it. Both draw the same pages from the shown log.
#pragma once

#include <QObject>
#include <QPageSize>
#include <QString>

#include <memory>
#include <optional>

class QMainWindow;
class QMenu;
class QAction;

namespace ovixlog {

class COvixLogDoc;
class FlightReport;
class FlightsPanel;

class ReportController : public QObject {
  Q_OBJECT

 public:
  // Puts the two commands into `fileMenu` in front of `before` (at its end when null).
  ReportController(QMainWindow* window, COvixLogDoc* document, FlightsPanel* panel,
                   QMenu* fileMenu, QAction* before);

  // The report of the shown log, or of one engine run of it (0 = the first), with the
  // panel's limits.
  std::unique_ptr<FlightReport> BuildReport(std::optional<int> run = std::nullopt) const;
  // Writes the report to `path`; a failure is shown to the user and gives false.
  bool ExportTo(const QString& path, QPageSize::PageSizeId page,
                std::optional<int> run = std::nullopt);
  // The paper the user's locale uses: Letter in the US system of measures, else A4.
  static QPageSize::PageSizeId DefaultPage();

  void OnExportReport();
  void OnPrint();
  // What the report covers: with a run picked in the Flights panel, the user is asked whether
  // that run or the whole log. kWholeLog, a run (0 = the first) or kCancelled.
  static constexpr int kWholeLog = -1;
  static constexpr int kCancelled = -2;
  int AskScope();
  void DetachDocument() { document_ = nullptr; }

  QAction* exportAction() const { return export_; }
  QAction* printAction() const { return print_; }

 private:
  QMainWindow* window_;
  COvixLogDoc* document_;
  FlightsPanel* panel_;
  QAction* export_;
  QAction* print_;
};

}  // namespace ovixlog
