// The Trends view: for the chosen aircraft, what is normal for its engine flight after flight
// (stacked charts of the cruise figures with their bands) and the changes of that normal, over
// the last 10, the last 50 or all flights, as read or normalised. It only shows what it is
// given; the controller reads the library.
#pragma once

#include <QWidget>

#include <cstdint>
#include <optional>
#include <string>

#include "library/trends.h"
#include "view/trend_chart_model.h"

class QCheckBox;
class QComboBox;
class QLabel;

namespace ovixlog {

class TrendChartsWidget;

class TrendsView : public QWidget {
  Q_OBJECT

 public:
  enum Range { kLast10, kLast50, kAll };

  explicit TrendsView(QWidget* parent = nullptr);

  // Shows `trends`, keeping the chosen aircraft when it is still there.
  void SetTrends(Trends trends);
  // Chooses the aircraft by name (none: the flights without one); false when it is not there.
  bool ChooseAircraft(const std::optional<std::string>& name);

  QComboBox* aircraftChooser() const { return aircraft_; }
  QComboBox* rangeChooser() const { return range_; }
  QCheckBox* normalisedBox() const { return normalised_; }
  TrendChartsWidget* charts() const { return charts_; }
  const TrendChartModel& model() const { return model_; }
  QString message() const;
  QString changesText() const;

 signals:
  // A flight was clicked on a chart.
  void flightPicked(qint64 id);

 private:
  void Rebuild();

  Trends trends_;
  TrendChartModel model_;
  QComboBox* aircraft_;
  QComboBox* range_;
  QCheckBox* normalised_;
  QLabel* message_;
  TrendChartsWidget* charts_;
  QLabel* changes_;
};

}  // namespace ovixlog
