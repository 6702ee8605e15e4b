#include "app/connect_monitor_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <utility>

#include "acquisition/sample_sink.h"

namespace ovixlog {
namespace {

QString Local(const std::string& text) {
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

// Frames must have arrived within this time for the check to say "receiving".
constexpr int kQuietAfterMs = 2000;

struct ModelEntry {
  const char* text;
  EngineModel model;
  int32_t alt;
};
constexpr ModelEntry kModels[] = {
    {"Model 3100", kModel3100, 0},
    {"Model 5100", kModel5100, 0},
    {"Model 5100 with v3.9 software", kModel5100, 1},
    {"Model 7100", kModel7100, 0},
    {"Model 8100", kModel8100, 0},
};

}  // namespace

class ConnectMonitorDialog::Discard : public SampleSink {
 public:
  void AddSample(std::unique_ptr<EngineSample>, SampleNotifier*) override {}
};

QString ConnectCheckText(const SerialStatus& status, bool receiving, FrameFormat chosen) {
  if (!status.open) {
    return status.lastError.empty()
               ? QStringLiteral("Not open")
               : QStringLiteral("Cannot read it: %1").arg(Local(status.lastError));
  }
  if (status.suggestedLayout && *status.suggestedLayout != chosen) {
    return QStringLiteral("Data arrives, but it looks like %1")
        .arg(QString::fromLatin1(LayoutDescription(*status.suggestedLayout)));
  }
  if (receiving) {
    return QStringLiteral("Receiving \u2014 %1 frames so far").arg(status.framesAccepted);
  }
  return QStringLiteral("No data \u2014 is the monitor on and its cable in?");
}

ConnectMonitorDialog::ConnectMonitorDialog(const std::string& deviceRoot,
                                           const std::string& currentPath, EngineModel model,
                                           int32_t altFrameFormat,
                                           std::function<SerialStatus()> currentStatus,
                                           QWidget* parent)
    : QDialog(parent),
      deviceRoot_(deviceRoot),
      currentPath_(currentPath),
      currentStatus_(std::move(currentStatus)),
      list_(new QTreeWidget(this)),
      modelBox_(new QComboBox(this)),
      checkLabel_(new QLabel(this)),
      discard_(std::make_unique<Discard>()) {
  setWindowTitle(QStringLiteral("Connect Monitor"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(
      QStringLiteral("The adapter the monitor's serial cable is plugged into:"), this));
  list_->setRootIsDecorated(false);
  list_->setHeaderLabels(
      {QStringLiteral("Adapter"), QStringLiteral("Device"), QStringLiteral("Stable name")});
  list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  layout->addWidget(list_);

  auto* form = new QFormLayout;
  for (const ModelEntry& entry : kModels) {
    modelBox_->addItem(QString::fromLatin1(entry.text));
    if (entry.model == model && entry.alt == (UsesAltFormat(model, altFrameFormat) ? 1 : 0))
      modelBox_->setCurrentIndex(modelBox_->count() - 1);
  }
  form->addRow(QStringLiteral("Monitor &model:"), modelBox_);
  checkLabel_->setWordWrap(true);
  form->addRow(QStringLiteral("Check:"), checkLabel_);
  layout->addLayout(form);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  okButton_ = buttons->button(QDialogButtonBox::Ok);
  okButton_->setText(QStringLiteral("Connect"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  connect(list_, &QTreeWidget::currentItemChanged, this, [this] {
    okButton_->setEnabled(list_->currentItem() != nullptr);
    StartProbe();
  });
  connect(list_, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
  connect(modelBox_, &QComboBox::currentIndexChanged, this, [this] {
    // The probe frames with the model chosen, so its layout verdict is about that choice.
    if (probe_) {
      probe_->model = chosenModel();
      probe_->altFrameFormat = chosenAltFormat();
    }
    RefreshCheck();
  });
  connect(&devicePoll_, &QTimer::timeout, this, &ConnectMonitorDialog::RefreshDevices);
  connect(&checkPoll_, &QTimer::timeout, this, &ConnectMonitorDialog::RefreshCheck);
  RefreshDevices();
  if (list_->currentItem() == nullptr && list_->topLevelItemCount() > 0)
    list_->setCurrentItem(list_->topLevelItem(0));
  okButton_->setEnabled(list_->currentItem() != nullptr);
  StartProbe();
  devicePoll_.start(kDevicePollMs);
  checkPoll_.start(kCheckPollMs);
  resize(620, 340);
}

ConnectMonitorDialog::~ConnectMonitorDialog() = default;

std::string ConnectMonitorDialog::chosenPath() const {
  const QTreeWidgetItem* item = list_->currentItem();
  return item == nullptr ? std::string()
                         : item->data(0, Qt::UserRole).toString().toLocal8Bit().toStdString();
}

EngineModel ConnectMonitorDialog::chosenModel() const {
  const int index = modelBox_->currentIndex();
  return index >= 0 ? kModels[index].model : kModel5100;
}

int32_t ConnectMonitorDialog::chosenAltFormat() const {
  const int index = modelBox_->currentIndex();
  return index >= 0 ? kModels[index].alt : 0;
}

void ConnectMonitorDialog::RefreshDevices() {
  std::vector<SerialDevice> devices = ListSerialDevices(deviceRoot_);
  const bool currentListed =
      currentPath_.empty() || FindSerialDevice(devices, currentPath_).has_value();
  if (!currentListed) {
    // A device the system does not list as serial (a pseudo-terminal, a test line) that the
    // window reads anyway.
    SerialDevice current;
    current.path = currentPath_;
    current.node = currentPath_;
    devices.insert(devices.begin(), current);
  }
  if (devices == listed_ && list_->topLevelItemCount() > 0)
    return;
  listed_ = devices;
  const std::string chosen = chosenPath().empty() ? currentPath_ : chosenPath();
  const QSignalBlocker quiet(list_);
  list_->clear();
  QTreeWidgetItem* keep = nullptr;
  for (const SerialDevice& device : devices) {
    auto* item = new QTreeWidgetItem(list_);
    const bool system = !device.byIdName.empty() || device.node.find('/') == std::string::npos;
    item->setText(0, system ? Local(device.Description()) : QStringLiteral("The line read now"));
    item->setText(1, Local(device.node.find('/') == 0 ? device.node : "/dev/" + device.node));
    item->setText(2, Local(device.byIdName));
    item->setData(0, Qt::UserRole, Local(device.path));
    if (device.path == chosen || "/dev/" + device.node == chosen)
      keep = item;
  }
  if (keep == nullptr && list_->topLevelItemCount() > 0)
    keep = list_->topLevelItem(0);
  list_->setCurrentItem(keep);
  if (okButton_ != nullptr)
    okButton_->setEnabled(keep != nullptr);
  if (chosenPath() != probedPath_)
    StartProbe();
}

void ConnectMonitorDialog::StartProbe() {
  probe_.reset();
  probedPath_ = chosenPath();
  lastAccepted_ = 0;
  sinceLastFrame_.invalidate();
  if (!probedPath_.empty() && probedPath_ != currentPath_) {
    probe_ = std::make_unique<SerialReader>(probedPath_, discard_.get(), nullptr);
    probe_->model = chosenModel();
    probe_->altFrameFormat = chosenAltFormat();
  }
  RefreshCheck();
}

void ConnectMonitorDialog::RefreshCheck() {
  if (probedPath_.empty()) {
    checkLabel_->setText(QStringLiteral(
        "No adapter found \u2014 plug in the monitor's USB serial adapter; it shows here when "
        "it is plugged in"));
    return;
  }
  SerialStatus status;
  if (probe_)
    status = probe_->Status();
  else if (currentStatus_)
    status = currentStatus_();
  if (status.framesAccepted > lastAccepted_)
    sinceLastFrame_.start();
  lastAccepted_ = status.framesAccepted;
  const bool receiving = sinceLastFrame_.isValid() && sinceLastFrame_.elapsed() < kQuietAfterMs;
  const QString text =
      ConnectCheckText(status, receiving, LayoutOf(chosenModel(), chosenAltFormat()));
  if (checkLabel_->text() != text)
    checkLabel_->setText(text);
}

}  // namespace ovixlog
