#include "app/report_controller.h"

#include <QAction>
#include <QFileDialog>
#include <QLocale>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>

#include <vector>

#include "document/ovixlog_doc.h"
#include "view/flight_report.h"
#include "view/flights_panel.h"

namespace ovixlog {
namespace {

const QString kA4Filter = QStringLiteral("PDF on A4 paper (*.pdf)");
const QString kLetterFilter = QStringLiteral("PDF on Letter paper (*.pdf)");

}  // namespace

ReportController::ReportController(QMainWindow* window, COvixLogDoc* document,
                                   FlightsPanel* panel, QMenu* fileMenu, QAction* before)
    : QObject(window),
      window_(window),
      document_(document),
      panel_(panel),
      export_(new QAction(QStringLiteral("Export &Report..."), this)),
      print_(new QAction(QStringLiteral("&Print..."), this)) {
  export_->setStatusTip(QStringLiteral(
      "Write a flight report for the mechanic as a PDF: times, fuel, runs, exceedances, charts"));
  print_->setStatusTip(QStringLiteral("Print the flight report"));
  fileMenu->insertAction(before, export_);
  fileMenu->insertAction(before, print_);
  fileMenu->insertSeparator(before);
  connect(export_, &QAction::triggered, this, &ReportController::OnExportReport);
  connect(print_, &QAction::triggered, this, &ReportController::OnPrint);
}

QPageSize::PageSizeId ReportController::DefaultPage() {
  return QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                            : QPageSize::A4;
}

std::unique_ptr<FlightReport> ReportController::BuildReport(std::optional<int> run) const {
  if (document_ == nullptr)
    return nullptr;
  FlightReportInput input;
  input.run = run;
  input.source = document_->ShownTitle();
  input.aircraft = document_->ShownAircraft();
  input.model = document_->model.load();
  input.limits = panel_->limits();
  // The addresses under the store's lock in bounded chunks; the report copies each sample.
  std::vector<const EngineSample*> all;
  std::vector<const EngineSample*> chunk;
  while (document_->GetSamples(static_cast<int>(all.size()), 4096, chunk) > 0)
    all.insert(all.end(), chunk.begin(), chunk.end());
  input.count = static_cast<int>(all.size());
  input.sample = [&all](int index) { return all[static_cast<size_t>(index)]; };
  return std::make_unique<FlightReport>(input);
}

int ReportController::AskScope() {
  const int run = panel_->SelectedRun();
  if (run < 0)
    return kWholeLog;
  QMessageBox box(QMessageBox::Question, QStringLiteral("Export Report"),
                  QStringLiteral("Report engine run %1, picked in the Flights panel, or the whole "
                                 "log?")
                      .arg(run + 1),
                  QMessageBox::Cancel, window_);
  QPushButton* one = box.addButton(QStringLiteral("Run %1").arg(run + 1), QMessageBox::AcceptRole);
  QPushButton* all = box.addButton(QStringLiteral("Whole Log"), QMessageBox::AcceptRole);
  box.setDefaultButton(one);
  box.exec();
  if (box.clickedButton() == one)
    return run;
  if (box.clickedButton() == all)
    return kWholeLog;
  return kCancelled;
}

bool ReportController::ExportTo(const QString& path, QPageSize::PageSizeId page,
                                std::optional<int> run) {
  const std::unique_ptr<FlightReport> report = BuildReport(run);
  QString error;
  if (report == nullptr || !report->WritePdf(path, page, &error)) {
    if (document_ != nullptr) {
      document_->ui().ShowError("Unable to Write Report",
                                error.isEmpty() ? "Unable to write file: " + path.toStdString()
                                                : error.toStdString());
    }
    return false;
  }
  window_->statusBar()->showMessage(QStringLiteral("Report written to ") + path, 5000);
  return true;
}

void ReportController::OnExportReport() {
  const int scope = AskScope();
  if (scope == kCancelled)
    return;
  const std::optional<int> run = scope >= 0 ? std::optional<int>(scope) : std::nullopt;
  QString filter = DefaultPage() == QPageSize::Letter ? kLetterFilter : kA4Filter;
  const QString path = QFileDialog::getSaveFileName(
      window_, QStringLiteral("Export Report"), QStringLiteral("flight-report.pdf"),
      kA4Filter + QStringLiteral(";;") + kLetterFilter, &filter);
  if (path.isEmpty())
    return;
  ExportTo(path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive) ? path
                                                                       : path + QStringLiteral(".pdf"),
           filter == kLetterFilter ? QPageSize::Letter : QPageSize::A4, run);
}

void ReportController::OnPrint() {
  const int scope = AskScope();
  if (scope == kCancelled)
    return;
  const std::unique_ptr<FlightReport> report =
      BuildReport(scope >= 0 ? std::optional<int>(scope) : std::nullopt);
  if (report == nullptr)
    return;
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageSize(QPageSize(DefaultPage()));
  printer.setDocName(QStringLiteral("Flight report"));
  QPrintDialog dialog(&printer, window_);
  if (dialog.exec() != QDialog::Accepted)
    return;
  if (report->Paint(printer) == 0 && document_ != nullptr)
    document_->ui().ShowError("Unable to Print", "The printer could not be started.");
}

}  // namespace ovixlog
