#include "app/kept_settings.h"

#include <QDir>
#include <QSettings>

#include <cstdlib>
#include <optional>

#include "acquisition/engine_sample.h"
#include "acquisition/port_bindings.h"
#include "document/ovixlog_doc.h"
#include "chart/chart_channel.h"
#include "recording/live_recorder.h"

namespace ovixlog {
namespace {

constexpr const char* kModelKey = "options/model";
constexpr const char* kV39Key = "options/v39";
constexpr const char* kPortKey = "options/port";
constexpr const char* kKeepAllKey = "options/keepAllSamples";
constexpr const char* kSystemTimeKey = "options/showSystemTime";
constexpr const char* kOrderKey = "options/order";
constexpr const char* kRecordKey = "options/recordLiveData";
constexpr const char* kGeometryKey = "window/geometry";
constexpr const char* kWindowStateKey = "window/state";
constexpr const char* kSplitterKey = "charts/splitter";
constexpr const char* kChartsShownKey = "charts/shown";
constexpr const char* kOtherChannelsKey = "charts/otherChannels";
constexpr const char* kHiddenSeriesKey = "charts/hiddenSeries";

QString DeviceKey(int port) {
  return QStringLiteral("devices/COM%1").arg(port);
}

// "COM1:" and "COM1" name the same port.
QString AircraftKey(const std::string& port) {
  return QStringLiteral("aircraft/") + QString::fromStdString(LiveRecorder::PortLabel(port));
}

QSettings Open() {
  return QSettings(KeptSettings::FilePath(), QSettings::IniFormat);
}

// The kept integer under `key` when it is one of `low` ... `high`.
std::optional<int32_t> KeptInt(const QSettings& settings, const char* key, int low, int high) {
  const QVariant value = settings.value(QLatin1String(key));
  bool ok = false;
  const int number = value.toInt(&ok);
  if (!value.isValid() || !ok || number < low || number > high)
    return std::nullopt;
  return number;
}

std::optional<int32_t> KeptSwitch(const QSettings& settings, const char* key) {
  const QVariant value = settings.value(QLatin1String(key));
  if (!value.isValid())
    return std::nullopt;
  const QString text = value.toString();
  if (text == QLatin1String("true"))
    return 1;
  if (text == QLatin1String("false"))
    return 0;
  return std::nullopt;
}

}  // namespace

DocumentChoices ChoicesOf(const COvixLogDoc& document) {
  DocumentChoices choices;
  choices.model = document.model.load();
  choices.altFrameFormat = document.altFrameFormat.load();
  choices.commPort = document.commPort.load();
  choices.keepAllSamples = document.keepAllSamples.load();
  choices.showSystemTime = document.showSystemTime.load();
  choices.oldestFirst = document.oldestFirst.load();
  choices.recordingEnabled = document.recorder().enabled() ? 1 : 0;
  return choices;
}

QString KeptSettings::FilePath() {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  QString folder;
  if (configHome != nullptr && configHome[0] == '/') {
    folder = QString::fromLocal8Bit(configHome);
  } else {
    folder = QDir::homePath() + QStringLiteral("/.config");
  }
  return folder + QStringLiteral("/OvixLog/OvixLog.conf");
}

void KeptSettings::LoadInto(StartupSettings& settings) {
  const QSettings kept = Open();
  // The model is kept by its number, as the user knows it.
  if (const std::optional<int32_t> number = KeptInt(kept, kModelKey, 3100, 8100)) {
    if (const std::optional<EngineModel> model = ModelFromNumber(std::to_string(*number)))
      settings.model = *model;
  }
  if (const std::optional<int32_t> port = KeptInt(kept, kPortKey, 1, kPortCount))
    settings.commPort = *port;
  if (const std::optional<int32_t> v39 = KeptSwitch(kept, kV39Key))
    settings.altFrameFormat = *v39;
  if (const std::optional<int32_t> keepAll = KeptSwitch(kept, kKeepAllKey))
    settings.keepAllSamples = *keepAll;
  if (const std::optional<int32_t> showTime = KeptSwitch(kept, kSystemTimeKey))
    settings.showSystemTime = *showTime;
  if (const std::optional<int32_t> record = KeptSwitch(kept, kRecordKey))
    settings.recordingEnabled = *record;
  const QString order = kept.value(QLatin1String(kOrderKey)).toString();
  if (order == QLatin1String("newest"))
    settings.oldestFirst = 0;
  else if (order == QLatin1String("oldest"))
    settings.oldestFirst = 1;
}

void KeptSettings::LoadBindings() {
  const QSettings kept = Open();
  for (int port = 1; port <= kPortCount; ++port) {
    if (PortHasEnvironmentDevice(port))
      continue;
    const QString device = kept.value(DeviceKey(port)).toString();
    if (!device.isEmpty())
      BindPort(port, device.toStdString());
  }
}

void KeptSettings::StoreChanges(const DocumentChoices& before, const DocumentChoices& after) {
  if (before == after)
    return;
  QSettings kept = Open();
  const auto flag = [](int32_t value) { return value != 0; };
  if (before.model != after.model)
    kept.setValue(QLatin1String(kModelKey), ModelNumber(after.model));
  if (before.altFrameFormat != after.altFrameFormat)
    kept.setValue(QLatin1String(kV39Key), flag(after.altFrameFormat));
  if (before.commPort != after.commPort)
    kept.setValue(QLatin1String(kPortKey), after.commPort);
  if (before.keepAllSamples != after.keepAllSamples)
    kept.setValue(QLatin1String(kKeepAllKey), flag(after.keepAllSamples));
  if (before.showSystemTime != after.showSystemTime)
    kept.setValue(QLatin1String(kSystemTimeKey), flag(after.showSystemTime));
  if (before.recordingEnabled != after.recordingEnabled)
    kept.setValue(QLatin1String(kRecordKey), flag(after.recordingEnabled));
  if (before.oldestFirst != after.oldestFirst) {
    kept.setValue(QLatin1String(kOrderKey),
                  after.oldestFirst != 0 ? QStringLiteral("oldest") : QStringLiteral("newest"));
  }
  kept.sync();
}

void KeptSettings::StoreBinding(int port, const std::string& device) {
  if (port < 1 || port > kPortCount)
    return;
  QSettings kept = Open();
  if (device.empty())
    kept.remove(DeviceKey(port));
  else
    kept.setValue(DeviceKey(port), QString::fromStdString(device));
  kept.sync();
}

std::string KeptSettings::KeptBinding(int port) {
  return Open().value(DeviceKey(port)).toString().toStdString();
}

std::optional<std::string> KeptSettings::KeptPortAircraft(const std::string& port) {
  const QVariant value = Open().value(AircraftKey(port));
  if (!value.isValid())
    return std::nullopt;
  return value.toString().toStdString();
}

void KeptSettings::StorePortAircraft(const std::string& port, const std::string& aircraft) {
  QSettings kept = Open();
  kept.setValue(AircraftKey(port), QString::fromStdString(aircraft));
  kept.sync();
}

void KeptSettings::StoreWindow(const QByteArray& geometry, const QByteArray& state) {
  QSettings kept = Open();
  kept.setValue(QLatin1String(kGeometryKey), geometry);
  kept.setValue(QLatin1String(kWindowStateKey), state);
  kept.sync();
}

QByteArray KeptSettings::KeptGeometry() {
  return Open().value(QLatin1String(kGeometryKey)).toByteArray();
}

QByteArray KeptSettings::KeptWindowState() {
  return Open().value(QLatin1String(kWindowStateKey)).toByteArray();
}

void KeptSettings::StoreCharts(const ChartChoices& choices) {
  QSettings kept = Open();
  kept.setValue(QLatin1String(kSplitterKey), choices.splitterState);
  kept.setValue(QLatin1String(kChartsShownKey), choices.shown);
  QStringList channels;
  for (int channel : choices.otherChannels)
    channels << QString::number(channel);
  kept.setValue(QLatin1String(kOtherChannelsKey), channels.join(QLatin1Char(',')));
  // "model:channel,channel;model:..."
  QStringList hidden;
  for (const auto& [model, series] : choices.hiddenSeries) {
    QStringList numbers;
    for (int channel : series)
      numbers << QString::number(channel);
    hidden << QString::number(model) + QLatin1Char(':') + numbers.join(QLatin1Char(','));
  }
  kept.setValue(QLatin1String(kHiddenSeriesKey), hidden.join(QLatin1Char(';')));
  kept.sync();
}

std::optional<KeptSettings::ChartChoices> KeptSettings::KeptCharts() {
  const QSettings kept = Open();
  if (!kept.contains(QLatin1String(kChartsShownKey)))
    return std::nullopt;
  ChartChoices choices;
  choices.splitterState = kept.value(QLatin1String(kSplitterKey)).toByteArray();
  choices.shown = kept.value(QLatin1String(kChartsShownKey)).toBool();
  const QString channels = kept.value(QLatin1String(kOtherChannelsKey)).toString();
  for (const QString& text : channels.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    bool ok = false;
    const int channel = text.toInt(&ok);
    if (ok && channel >= 0 && channel < kChannelCount)
      choices.otherChannels.push_back(channel);
  }
  const QString hidden = kept.value(QLatin1String(kHiddenSeriesKey)).toString();
  for (const QString& entry : hidden.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
    const QStringList parts = entry.split(QLatin1Char(':'));
    bool ok = false;
    const int model = parts.size() == 2 ? parts[0].toInt(&ok) : -1;
    if (!ok || model < kModel5100 || model > kModel8100)
      continue;
    for (const QString& text : parts[1].split(QLatin1Char(','), Qt::SkipEmptyParts)) {
      const int channel = text.toInt(&ok);
      if (ok && channel >= 0 && channel < kChannelCount)
        choices.hiddenSeries[model].insert(channel);
    }
  }
  return choices;
}

}  // namespace ovixlog
