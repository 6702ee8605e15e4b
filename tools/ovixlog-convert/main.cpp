// ovixlog-convert: converts engine monitor recordings to text or CSV tables, or writes their
// flight report as a PDF.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "converter.h"

#ifdef OVIXLOG_HAVE_REPORT
#include <QGuiApplication>
#include <QString>

#include "analysis/limits.h"
#include "view/flight_report.h"

namespace {

// The report is drawn without a window: Qt's offscreen platform gives it fonts and painting.
int WriteReport(const ovixlog::ConvertedFlight& flight, const ovixlog::ReportRequest& request,
                std::ostream& err) {
  std::string error;
  const std::optional<ovixlog::Limits> limits =
      request.limits ? ovixlog::Limits::Load(*request.limits, true, error)
                     : ovixlog::Limits::Load(ovixlog::Limits::DefaultPath(), false, error);
  if (!limits) {
    err << "ovixlog-convert: " << error << "\n";
    return ovixlog::kConvertFailed;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "ovixlog-convert";
  static char* argv[] = {name, nullptr};
  const QGuiApplication application(argc, argv);

  ovixlog::FlightReportInput input;
  input.source = flight.title;
  input.aircraft = flight.aircraft;
  input.model = flight.model;
  input.limits = *limits;
  input.count = static_cast<int>(flight.samples.size());
  input.sample = [&flight](int index) { return &flight.samples[static_cast<size_t>(index)]; };
  if (request.run)
    input.run = *request.run - 1;
  const ovixlog::FlightReport report(input);
  if (!report.runFound()) {
    err << "ovixlog-convert: there is no run " << *request.run << ": the recording has "
        << report.totalRuns() << "\n";
    return ovixlog::kConvertFailed;
  }
  QString failure;
  if (!report.WritePdf(QString::fromLocal8Bit(request.path.c_str()),
                       request.letter ? QPageSize::Letter : QPageSize::A4, &failure)) {
    err << "ovixlog-convert: " << failure.toLocal8Bit().toStdString() << "\n";
    return ovixlog::kConvertFailed;
  }
  return ovixlog::kConvertOk;
}

}  // namespace
#endif

int main(int argc, char** argv) {
  // Past a file-size limit a write fails with EFBIG, which is reported like a full disk;
  // the signal's default would kill the program and leave a torn file.
  std::signal(SIGXFSZ, SIG_IGN);
  static char buffer[1 << 16];
  std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  const std::vector<std::string> args(argv + 1, argv + argc);
#ifdef OVIXLOG_HAVE_REPORT
  return ovixlog::RunConverter(args, stdout, std::cerr, WriteReport);
#else
  return ovixlog::RunConverter(args, stdout, std::cerr);
#endif
}
