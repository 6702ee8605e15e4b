#include "view/library_view.h"

#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>

#include "analysis/finding.h"
#include "view/finding_style.h"

namespace ovixlog {
namespace {

// Item roles: the value a column sorts by, and the row's flight figures.
constexpr int kSortRole = Qt::UserRole + 1;
constexpr int kIdRole = Qt::UserRole + 2;
constexpr int kDurationRole = Qt::UserRole + 3;
constexpr int kTachRole = Qt::UserRole + 4;
constexpr int kFuelRole = Qt::UserRole + 5;
constexpr int kStateRole = Qt::UserRole + 6;
constexpr int kStartMsRole = Qt::UserRole + 7;
constexpr int kEndMsRole = Qt::UserRole + 8;
constexpr int kFileRole = Qt::UserRole + 9;
constexpr int kDateRole = Qt::UserRole + 10;

const QDate kAnyDate(2000, 1, 1);

QString Clock(double seconds) {
  const qint64 whole = static_cast<qint64>(seconds);
  return QStringLiteral("%1:%2").arg(whole / 3600).arg((whole / 60) % 60, 2, 10, QLatin1Char('0'));
}

double NumberOf(const nlohmann::json& figures, const char* key) {
  const auto it = figures.find(key);
  return it != figures.end() && it->is_number() ? it->get<double>() : 0.0;
}

QStandardItem* Cell(const QString& text, const QVariant& sortValue) {
  auto* item = new QStandardItem(text);
  item->setData(sortValue, kSortRole);
  item->setEditable(false);
  return item;
}

}  // namespace

// Keeps the rows of one aircraft and a span of dates.
class LibraryFilter : public QSortFilterProxyModel {
 public:
  explicit LibraryFilter(QObject* parent) : QSortFilterProxyModel(parent) {
    setSortRole(kSortRole);
  }
  void SetAircraft(const QString& aircraft) {
    aircraft_ = aircraft;
    invalidateFilter();
  }
  void SetDates(const QDate& from, const QDate& to) {
    from_ = from;
    to_ = to;
    invalidateFilter();
  }

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    const QModelIndex first = sourceModel()->index(row, 0, parent);
    if (!aircraft_.isNull() &&
        sourceModel()->index(row, LibraryView::kAircraft, parent).data().toString() != aircraft_)
      return false;
    if (from_ == kAnyDate && to_ == kAnyDate)
      return true;
    const QDate date = first.data(kDateRole).toDate();
    if (!date.isValid())
      return false;
    return (from_ == kAnyDate || date >= from_) && (to_ == kAnyDate || date <= to_);
  }

 private:
  QString aircraft_;  // null: every aircraft
  QDate from_ = kAnyDate;
  QDate to_ = kAnyDate;
};

LibraryView::LibraryView(QWidget* parent)
    : QWidget(parent),
      aircraft_(new QComboBox(this)),
      from_(new QDateEdit(this)),
      to_(new QDateEdit(this)),
      addFiles_(new QPushButton(QStringLiteral("Add Files..."), this)),
      addFolder_(new QPushButton(QStringLiteral("Add Folder..."), this)),
      setAircraft_(new QPushButton(QStringLiteral("Set Aircraft..."), this)),
      table_(new QTableView(this)),
      model_(new QStandardItemModel(0, kColumns, this)),
      filter_(new LibraryFilter(this)),
      totals_(new QLabel(this)),
      message_(new QLabel(this)),
      progress_(new QProgressBar(this)) {
  model_->setHorizontalHeaderLabels({QStringLiteral("Date"), QStringLiteral("Aircraft"),
                                     QStringLiteral("Duration"), QStringLiteral("Airborne"),
                                     QStringLiteral("Tach h"), QStringLiteral("Fuel"),
                                     QStringLiteral("Highest CHT"), QStringLiteral("Findings"),
                                     QStringLiteral("File")});
  const char* const tips[kColumns] = {
      "When the flight began: the local time of its first running sample, where the recording "
      "has the clock",
      "The aircraft the flight was flown in: as the recording names it, or as set with Set "
      "Aircraft...",
      "How long the engine ran",
      "Time in the air: from the take-off roll to the landing",
      "Tach time: the engine's revolutions in the flight as hours at 2400 rpm (h)",
      "Fuel burnt during the flight, from the flow (gal)",
      "The hottest cylinder head's temperature (\u00b0F) and which cylinder it was",
      "How many findings the analysis made, with the most severe of them",
      "The file the flight was read from; \"gone\" or \"changed\" when it is no longer as it "
      "was added"};
  for (int c = 0; c < kColumns; ++c)
    model_->horizontalHeaderItem(c)->setToolTip(QString::fromUtf8(tips[c]));
  filter_->setSourceModel(model_);
  table_->setModel(filter_);
  table_->setSortingEnabled(true);
  table_->sortByColumn(kDate, Qt::AscendingOrder);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);

  for (QDateEdit* edit : {from_, to_}) {
    edit->setCalendarPopup(true);
    edit->setMinimumDate(kAnyDate);
    edit->setSpecialValueText(QStringLiteral("any"));
    edit->setDate(kAnyDate);
    connect(edit, &QDateEdit::dateChanged, this, [this] {
      filter_->SetDates(from_->date(), to_->date());
      UpdateTotals();
    });
  }
  aircraft_->addItem(QStringLiteral("All aircraft"));
  connect(aircraft_, &QComboBox::currentIndexChanged, this, [this](int index) {
    filter_->SetAircraft(index <= 0 ? QString() : aircraft_->itemText(index));
    UpdateTotals();
  });

  auto* filters = new QHBoxLayout;
  filters->addWidget(aircraft_);
  filters->addWidget(new QLabel(QStringLiteral("From"), this));
  filters->addWidget(from_);
  filters->addWidget(new QLabel(QStringLiteral("to"), this));
  filters->addWidget(to_);
  filters->addStretch();
  filters->addWidget(addFiles_);
  filters->addWidget(addFolder_);
  filters->addWidget(setAircraft_);
  auto* footer = new QHBoxLayout;
  footer->addWidget(totals_);
  footer->addStretch();
  footer->addWidget(message_);
  footer->addWidget(progress_);
  progress_->hide();
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(filters);
  layout->addWidget(table_);
  layout->addLayout(footer);

  connect(addFiles_, &QPushButton::clicked, this, &LibraryView::addFilesRequested);
  connect(addFolder_, &QPushButton::clicked, this, &LibraryView::addFolderRequested);
  connect(setAircraft_, &QPushButton::clicked, this, &LibraryView::setAircraftRequested);
  connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &LibraryView::UpdateTotals);
  connect(table_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
    const QModelIndex first = index.siblingAtColumn(0);
    emit flightOpened(first.data(kIdRole).toLongLong(), first.data(kFileRole).toString(),
                      first.data(kStateRole).toInt(), first.data(kStartMsRole).toLongLong(),
                      first.data(kEndMsRole).toLongLong());
  });
}

void LibraryView::SetFlights(const std::vector<FlightRow>& flights,
                             const std::vector<FileState>& states) {
  model_->removeRows(0, model_->rowCount());
  std::set<QString> aircraft;
  for (size_t i = 0; i < flights.size(); ++i) {
    const FlightRow& flight = flights[i];
    const FileState state = i < states.size() ? states[i] : FileState::kPresent;
    const nlohmann::json figures = nlohmann::json::parse(flight.figures, nullptr, false);
    const QString start = flight.start ? QString::fromStdString(*flight.start) : QString();
    const QString date = start.isEmpty() ? QStringLiteral("-") : start.left(16).replace(
                                                                     QLatin1Char('T'), QLatin1Char(' '));
    const QString name = flight.aircraft ? QString::fromStdString(*flight.aircraft) : QString();
    if (!name.isEmpty())
      aircraft.insert(name);
    const double duration = NumberOf(figures, "duration_s");
    const double tach = NumberOf(figures, "tach_hours");
    const double fuel = NumberOf(figures, "fuel_used");
    // The hottest CHT and which cylinder.
    double hottest = 0.0;
    QString hottestName;
    if (figures.contains("max") && figures["max"].is_object()) {
      for (auto it = figures["max"].begin(); it != figures["max"].end(); ++it) {
        if (it.key().rfind("CHT", 0) == 0 && it.value().is_number() &&
            (hottestName.isEmpty() || it.value().get<double>() > hottest)) {
          hottest = it.value().get<double>();
          hottestName = QString::fromStdString(it.key());
        }
      }
    }
    // How many findings and the most severe of them.
    const auto findings = figures.find("findings");
    const int findingCount =
        findings != figures.end() && findings->is_array() ? static_cast<int>(findings->size()) : 0;
    std::optional<FindingSeverity> worst;
    for (int f = 0; f < findingCount; ++f) {
      const nlohmann::json& finding = (*findings)[static_cast<size_t>(f)];
      const auto severity = finding.find("severity");
      if (!finding.is_object() || severity == finding.end() || !severity->is_string())
        continue;
      const std::optional<FindingSeverity> named =
          FindingSeverityFromName(severity->get<std::string>());
      if (named && (!worst || static_cast<int>(*named) > static_cast<int>(*worst)))
        worst = named;
    }
    QStandardItem* findingCell = Cell(
        worst ? QStringLiteral("%1 (%2)").arg(findingCount).arg(FindingSeverityName(*worst))
              : QString::number(findingCount),
        // The worst severity first, then how many.
        (worst ? (static_cast<int>(*worst) + 1) * 1000000 : 0) + findingCount);
    if (worst) {
      findingCell->setIcon(SeverityIcon(*worst));
      findingCell->setForeground(SeverityColor(*worst));
    }
    QString file = QString::fromStdString(flight.file);
    if (state == FileState::kGone)
      file += QStringLiteral(" (gone)");
    else if (state == FileState::kChanged)
      file += QStringLiteral(" (changed)");

    QList<QStandardItem*> row;
    // Flights without a clock sort after the dated ones, in the order they were added.
    row << Cell(date, start.isEmpty()
                          ? QStringLiteral("~%1").arg(flight.id, 12, 10, QLatin1Char('0'))
                          : start)
        << Cell(name, name)
        << Cell(Clock(duration), duration)
        << Cell(Clock(NumberOf(figures, "airborne_s")), NumberOf(figures, "airborne_s"))
        << Cell(QString::number(tach, 'f', 2), tach)
        << Cell(QString::number(fuel, 'f', 1), fuel)
        << Cell(hottestName.isEmpty() ? QString()
                                      : QStringLiteral("%1 (%2)").arg(hottest).arg(hottestName),
                hottest)
        << findingCell
        << Cell(file, file);
    QStandardItem* first = row.front();
    first->setData(static_cast<qlonglong>(flight.id), kIdRole);
    first->setData(duration, kDurationRole);
    first->setData(tach, kTachRole);
    first->setData(fuel, kFuelRole);
    first->setData(static_cast<int>(state), kStateRole);
    first->setData(static_cast<qlonglong>(NumberOf(figures, "start_s") * 1000.0), kStartMsRole);
    first->setData(static_cast<qlonglong>(NumberOf(figures, "end_s") * 1000.0), kEndMsRole);
    first->setData(QString::fromStdString(flight.file), kFileRole);
    if (!start.isEmpty())
      first->setData(QDate::fromString(start.left(10), Qt::ISODate), kDateRole);
    model_->appendRow(row);
  }
  const QString chosen = aircraft_->currentIndex() > 0 ? aircraft_->currentText() : QString();
  aircraft_->blockSignals(true);
  while (aircraft_->count() > 1)
    aircraft_->removeItem(1);
  for (const QString& name : aircraft)
    aircraft_->addItem(name);
  const int keep = chosen.isEmpty() ? 0 : aircraft_->findText(chosen);
  aircraft_->setCurrentIndex(keep < 0 ? 0 : keep);
  aircraft_->blockSignals(false);
  filter_->SetAircraft(keep > 0 ? chosen : QString());
  UpdateTotals();
}

void LibraryView::SetProgress(int done, int total) {
  progress_->setVisible(total > 0 && done < total);
  progress_->setRange(0, total);
  progress_->setValue(done);
}

void LibraryView::SetMessage(const QString& text) { message_->setText(text); }

std::vector<int64_t> LibraryView::SelectedIds() const {
  std::vector<int64_t> ids;
  for (const QModelIndex& index : table_->selectionModel()->selectedRows())
    ids.push_back(index.data(kIdRole).toLongLong());
  return ids;
}

QString LibraryView::TotalsText() const {
  QModelIndexList rows = table_->selectionModel()->selectedRows();
  if (rows.isEmpty()) {
    for (int r = 0; r < filter_->rowCount(); ++r)
      rows << filter_->index(r, 0);
  }
  double seconds = 0.0;
  double tach = 0.0;
  double fuel = 0.0;
  for (const QModelIndex& index : rows) {
    seconds += index.data(kDurationRole).toDouble();
    tach += index.data(kTachRole).toDouble();
    fuel += index.data(kFuelRole).toDouble();
  }
  return QStringLiteral("%1 %2, %3 h, %4 tach h, %5 fuel")
      .arg(rows.size())
      .arg(rows.size() == 1 ? QStringLiteral("flight") : QStringLiteral("flights"))
      .arg(Clock(seconds))
      .arg(tach, 0, 'f', 2)
      .arg(fuel, 0, 'f', 1);
}

void LibraryView::UpdateTotals() { totals_->setText(TotalsText()); }

}  // namespace ovixlog
