#include "app/qt_user_interface.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

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

void QtUserInterface::ShowStatus(const std::string& text) {
  if (auto* frame = qobject_cast<CMainFrame*>(parent_.data()))
    frame->ShowMessage(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace ovixlog
