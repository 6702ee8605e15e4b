#include "app/qt_user_interface.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QStringList>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <iostream>

#include "app/command_ids.h"
#include "app/main_frame.h"

namespace ovixlog {

QString QtFileFilter(const std::string& filter) {
  const QStringList parts = QString::fromLocal8Bit(filter).split(QLatin1Char('|'));
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString description = parts[i].trimmed();
    QString patterns = parts[i + 1].trimmed();
    if (description.isEmpty() && patterns.isEmpty())
      break;  // the "||" that ends the list
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    if (description.contains(QLatin1Char('('))) {
      // Qt reads the patterns from the parentheses, where the old form lists them with ';'.
      QString entry = description;
      const qsizetype open = entry.lastIndexOf(QLatin1Char('('));
      const qsizetype close = entry.indexOf(QLatin1Char(')'), open);
      if (close > open) {
        entry.replace(open + 1, close - open - 1, patterns);
      }
      entries << entry;
    } else {
      entries << QStringLiteral("%1 (%2)").arg(description, patterns);
    }
  }
  return entries.join(QStringLiteral(";;"));
}

std::string LocalPath(const QString& path) {
  const QByteArray bytes = QFile::encodeName(path);
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QString FromLocalPath(const std::string& path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::optional<std::string> QtUserInterface::ChooseOpenFile(const std::string& title,
                                                           const std::string& filter) {
  const QString path = QFileDialog::getOpenFileName(parent_, QString::fromLocal8Bit(title),
                                                    QString(), QtFileFilter(filter));
  if (path.isEmpty())
    return std::nullopt;
  return LocalPath(path);
}

std::optional<std::string> QtUserInterface::ChooseSaveFile(const std::string& suggestedName) {
  const QString path = QFileDialog::getSaveFileName(parent_, QStringLiteral("Save As"),
                                                    FromLocalPath(suggestedName));
  if (path.isEmpty())
    return std::nullopt;
  return LocalPath(path);
}

SaveAnswer QtUserInterface::AskSaveChanges(const std::string& text) {
  QMessageBox box(QMessageBox::Warning, QString::fromStdString(LoadString(kIdsAppTitle)),
                  QString::fromLocal8Bit(text),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent_);
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return SaveAnswer::kYes;
    case QMessageBox::No:
      return SaveAnswer::kNo;
    default:
      return SaveAnswer::kCancel;
  }
}

void QtUserInterface::ShowError(const std::string& caption, const std::string& text) {
  // Also on stderr: the box may go unseen (a desktop shutting down, a session without a
  // screen), and whoever started the program from a terminal or a service learns why.
  std::cerr << "ovixlog: " << text << std::endl;
  QMessageBox box(QMessageBox::Critical, QString::fromLocal8Bit(caption),
                  QString::fromLocal8Bit(text), QMessageBox::Ok, parent_);
  box.exec();
}

bool QtUserInterface::AskYesNo(const std::string& caption, const std::string& text) {
  QMessageBox box(QMessageBox::Question, QString::fromLocal8Bit(caption),
                  QString::fromLocal8Bit(text), QMessageBox::Yes | QMessageBox::No, parent_);
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

std::optional<size_t> QtUserInterface::ChooseFromList(
    const std::string& title, const std::vector<std::string>& columns,
    const std::vector<std::vector<std::string>>& rows) {
  QDialog dialog(parent_);
  dialog.setWindowTitle(QString::fromLocal8Bit(title));
  auto* layout = new QVBoxLayout(&dialog);
  auto* table = new QTreeWidget(&dialog);
  table->setRootIsDecorated(false);
  table->setUniformRowHeights(true);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  QStringList headers;
  for (const std::string& column : columns)
    headers << QString::fromLocal8Bit(column);
  table->setHeaderLabels(headers);
  for (size_t i = 0; i < rows.size(); ++i) {
    QStringList cells;
    for (const std::string& cell : rows[i])
      cells << QString::fromLocal8Bit(cell);
    auto* item = new QTreeWidgetItem(table, cells);
    item->setData(0, Qt::UserRole, static_cast<qulonglong>(i));
  }
  if (table->topLevelItemCount() > 0)
    table->setCurrentItem(table->topLevelItem(0));
  table->header()->resizeSections(QHeaderView::ResizeToContents);
  layout->addWidget(table);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, &dialog);
  // Files copied from elsewhere (the headless recorder's card) are not in the list.
  QPushButton* browse = buttons->addButton(QStringLiteral("&Browse..."),
                                           QDialogButtonBox::ActionRole);
  bool browsing = false;
  QObject::connect(browse, &QPushButton::clicked, &dialog, [&dialog, &browsing] {
    browsing = true;
    dialog.accept();
  });
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(table, &QTreeWidget::itemDoubleClicked, &dialog, &QDialog::accept);
  dialog.resize(640, 360);
  const int answer = dialog.exec();
  if (answer == QDialog::Accepted && browsing)
    return kBrowse;
  if (answer != QDialog::Accepted || table->currentItem() == nullptr)
    return std::nullopt;
  return static_cast<size_t>(table->currentItem()->data(0, Qt::UserRole).toULongLong());
}

void QtUserInterface::ShowStatus(const std::string& text) {
  if (auto* frame = qobject_cast<CMainFrame*>(parent_.data()))
    frame->ShowMessage(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace ovixlog
