#include "view/trends_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "view/trend_charts_widget.h"

namespace ovixlog {
namespace {

const QString kNoAircraft = QStringLiteral("(no aircraft)");

}  // namespace

TrendsView::TrendsView(QWidget* parent)
    : QWidget(parent),
      aircraft_(new QComboBox(this)),
      range_(new QComboBox(this)),
      normalised_(new QCheckBox(QStringLiteral("&Normalised"), this)),
      message_(new QLabel(this)),
      charts_(new TrendChartsWidget(this)),
      changes_(new QLabel(this)) {
  aircraft_->setToolTip(QStringLiteral("The aircraft whose engine is shown"));
  aircraft_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  range_->addItems({QStringLiteral("Last 10 flights"), QStringLiteral("Last 50 flights"),
                    QStringLiteral("All flights")});
  range_->setCurrentIndex(kLast50);
  normalised_->setToolTip(
      QStringLiteral("Each cylinder's EGT and CHT relative to the mean of the other cylinders"));
  changes_->setWordWrap(true);
  changes_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* controls = new QHBoxLayout;
  controls->addWidget(new QLabel(QStringLiteral("Aircraft:"), this));
  controls->addWidget(aircraft_);
  controls->addWidget(range_);
  controls->addWidget(normalised_);
  controls->addWidget(message_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addLayout(controls);
  layout->addWidget(charts_, 1);
  layout->addWidget(changes_);

  connect(aircraft_, &QComboBox::currentIndexChanged, this, [this] { Rebuild(); });
  connect(range_, &QComboBox::currentIndexChanged, this, [this] { Rebuild(); });
  connect(normalised_, &QCheckBox::toggled, this, [this] { Rebuild(); });
  connect(charts_, &TrendChartsWidget::flightPicked, this, &TrendsView::flightPicked);
  Rebuild();
}

void TrendsView::SetTrends(Trends trends) {
  const QString chosen = aircraft_->currentText();
  trends_ = std::move(trends);
  {
    const QSignalBlocker blocker(aircraft_);
    aircraft_->clear();
    for (const AircraftTrend& aircraft : trends_.aircraft) {
      aircraft_->addItem(aircraft.name ? QString::fromStdString(*aircraft.name) : kNoAircraft);
    }
    const int keep = aircraft_->findText(chosen);
    aircraft_->setCurrentIndex(keep >= 0 ? keep : 0);
  }
  Rebuild();
}

bool TrendsView::ChooseAircraft(const std::optional<std::string>& name) {
  for (std::size_t i = 0; i < trends_.aircraft.size(); ++i) {
    if (trends_.aircraft[i].name == name) {
      aircraft_->setCurrentIndex(static_cast<int>(i));
      return true;
    }
  }
  return false;
}

QString TrendsView::message() const { return message_->text(); }

QString TrendsView::changesText() const { return changes_->text(); }

void TrendsView::Rebuild() {
  const int chosen = aircraft_->currentIndex();
  if (chosen < 0 || static_cast<std::size_t>(chosen) >= trends_.aircraft.size()) {
    model_ = TrendChartModel();
    charts_->SetModel(nullptr, 0);
    message_->setText(QStringLiteral("No flights in the library yet"));
    changes_->clear();
    return;
  }
  const AircraftTrend& aircraft = trends_.aircraft[static_cast<std::size_t>(chosen)];
  model_ = TrendChartModel::Build(aircraft, normalised_->isChecked());
  static const int kLast[] = {10, 50, 0};
  charts_->SetModel(&model_, kLast[std::clamp(range_->currentIndex(), 0, 2)]);

  QStringList notes;
  if (!model_.Enough()) notes << QStringLiteral("Not enough flights yet");
  if (model_.undated > 0) {
    notes << QStringLiteral("%1 %2 without a clock not shown")
                 .arg(model_.undated)
                 .arg(model_.undated == 1 ? QStringLiteral("flight") : QStringLiteral("flights"));
  }
  message_->setText(notes.join(QStringLiteral("; ")));
  QStringList sentences;
  for (const TrendChartMark& mark : model_.marks) sentences << QString::fromStdString(mark.sentence);
  changes_->setText(sentences.isEmpty() && model_.Enough()
                        ? QStringLiteral("No changes of the engine's normal.")
                        : sentences.join(QLatin1Char('\n')));
}

}  // namespace ovixlog
