#include "app/serial_port_dialog.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "acquisition/port_bindings.h"

namespace ovixlog {
namespace {

QString Local(const std::string& text) {
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

// The last part of a path: the by-id name or the node.
std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

QString PortMenuText(int port, const std::string& boundDevice,
                     const std::vector<SerialDevice>& devices) {
  const QString name = QStringLiteral("COM%1").arg(port);
  if (boundDevice.empty())
    return name;
  if (const std::optional<SerialDevice> device = FindSerialDevice(devices, boundDevice)) {
    return name + QStringLiteral(" \u2014 ") + Local(device->Description()) + QStringLiteral(" (") +
           Local(device->node) + QLatin1Char(')');
  }
  // Not a serial device the system lists (a pseudo-terminal, say), or not plugged in.
  if (QFileInfo::exists(Local(boundDevice)))
    return name + QStringLiteral(" \u2014 ") + Local(boundDevice);
  return name + QStringLiteral(" \u2014 ") + Local(BaseName(boundDevice)) +
         QStringLiteral(" (not connected)");
}

SerialPortDialog::SerialPortDialog(int port, const std::vector<SerialDevice>& devices,
                                   const std::string& current, QWidget* parent)
    : QDialog(parent),
      list_(new QTreeWidget(this)),
      pathEdit_(new QLineEdit(this)),
      useButton_(nullptr) {
  setWindowTitle(QStringLiteral("Serial Port for COM%1").arg(port));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Serial devices on this computer:"), this));

  list_->setRootIsDecorated(false);
  list_->setHeaderLabels({QStringLiteral("Device"), QStringLiteral("Maker"),
                          QStringLiteral("Product"), QStringLiteral("Serial number"),
                          QStringLiteral("Node")});
  for (const SerialDevice& device : devices) {
    auto* item = new QTreeWidgetItem(list_);
    item->setText(0, Local(device.byIdName.empty() ? device.path : device.byIdName));
    item->setText(1, Local(device.maker));
    item->setText(2, Local(device.product));
    item->setText(3, Local(device.serial));
    item->setText(4, Local(device.node));
    item->setData(0, Qt::UserRole, Local(device.path));
    if (device.path == current || "/dev/" + device.node == current)
      list_->setCurrentItem(item);
  }
  list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  layout->addWidget(list_);

  layout->addWidget(new QLabel(
      QStringLiteral("Device path (empty: %1):").arg(Local(UnboundDevicePath(port))), this));
  pathEdit_->setText(Local(current));
  layout->addWidget(pathEdit_);
  connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (item != nullptr)
      pathEdit_->setText(item->data(0, Qt::UserRole).toString());
  });
  connect(list_, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  useButton_ =
      buttons->addButton(QStringLiteral("Use for COM%1").arg(port), QDialogButtonBox::AcceptRole);
  useButton_->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(640, 320);
}

std::string SerialPortDialog::chosenPath() const {
  return pathEdit_->text().trimmed().toLocal8Bit().toStdString();
}

}  // namespace ovixlog
