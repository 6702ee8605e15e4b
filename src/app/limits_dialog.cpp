#include "app/limits_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "framework/safe_file_writer.h"

namespace ovixlog {

std::string DefaultLimitsText() {
  return "# Engine limits: COLUMN.max or COLUMN.min = value, or off.\n"
         "# CHT and EGT stand for every cylinder; CHT3 and the like for one.\n" +
         Limits::Defaults().ToIni();
}

LimitsDialog::LimitsDialog(const std::string& path, QWidget* parent)
    : QDialog(parent), path_(path), editor_(new QPlainTextEdit(this)), message_(new QLabel(this)) {
  setWindowTitle(QStringLiteral("Limits"));
  std::string text = DefaultLimitsText();
  std::ifstream in(path, std::ios::binary);
  if (in) {
    std::ostringstream contents;
    contents << in.rdbuf();
    text = contents.str();
  }
  std::string error;
  if (const std::optional<Limits> loaded = Limits::Load(path, false, error))
    limits_ = *loaded;
  editor_->setPlainText(QString::fromStdString(text));
  editor_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  message_->setText(QString::fromStdString(path));
  message_->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &LimitsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &LimitsDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(editor_);
  layout->addWidget(message_);
  layout->addWidget(buttons);
  resize(460, 360);
}

void LimitsDialog::accept() {
  const std::string text = editor_->toPlainText().toStdString();
  Limits limits = Limits::Defaults();
  std::string error;
  if (!limits.Apply(text, path_, error)) {
    message_->setText(QString::fromStdString(error));
    return;
  }
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ignored);
  SafeFileWriter writer;
  if (!writer.Open(path_) || !writer.Write(text) || !writer.Commit()) {
    message_->setText(QStringLiteral("Unable to save %1").arg(QString::fromStdString(path_)));
    return;
  }
  limits_ = limits;
  QDialog::accept();
}

}  // namespace ovixlog
