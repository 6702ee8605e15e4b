#include "app/limits_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cstdlib>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "analysis/run_card.h"
#include "analysis/summary_writer.h"
#include "framework/safe_file_writer.h"

namespace ovixlog {

std::string DefaultLimitsText() {
  return "# Engine limits: COLUMN.max or COLUMN.min = value, or off.\n"
         "# CHT and EGT stand for every cylinder; CHT3 and the like for one.\n" +
         Limits::Defaults().ToIni();
}

namespace {

enum FormColumn { kNameColumn = 0, kMinColumn = 1, kMaxColumn = 2, kUnitColumn = 3 };

QString RowName(const std::string& key) {
  if (key == "CHT" || key == "EGT")
    return QString::fromStdString(key) + QStringLiteral(" (every cylinder)");
  return QString::fromStdString(key);
}

std::string UnitOf(const std::string& key) {
  if (key == "CHT" || key == "EGT")
    return "\u00b0F";
  const std::optional<SampleColumn> column = ColumnFromTitle(key);
  return column ? ColumnUnit(*column) : std::string();
}

}  // namespace

const std::vector<std::string>& LimitsDialog::FormKeys() {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> k = {"CHT", "EGT", "Tach", "OilT", "OilP", "Volt",
                                  "Flow", "OAT",  "Aspd", "Alt"};
    for (int c = 1; c <= 6; ++c)
      k.push_back("CHT" + std::to_string(c));
    for (int c = 1; c <= 9; ++c)
      k.push_back("EGT" + std::to_string(c));
    return k;
  }();
  return keys;
}

LimitsDialog::LimitsDialog(const std::string& path, QWidget* parent)
    : QDialog(parent),
      path_(path),
      tabs_(new QTabWidget(this)),
      form_(new QTableWidget(static_cast<int>(FormKeys().size()), 4, this)),
      editor_(new QPlainTextEdit(this)),
      message_(new QLabel(this)) {
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
  form_->setHorizontalHeaderLabels({QStringLiteral("Column"), QStringLiteral("Min"),
                                    QStringLiteral("Max"), QStringLiteral("Unit")});
  form_->verticalHeader()->hide();
  for (int row = 0; row < static_cast<int>(FormKeys().size()); ++row) {
    const std::string& key = FormKeys()[static_cast<size_t>(row)];
    for (int column : {kNameColumn, kUnitColumn}) {
      auto* fixed = new QTableWidgetItem(column == kNameColumn
                                             ? RowName(key)
                                             : QString::fromStdString(UnitOf(key)));
      fixed->setFlags(Qt::ItemIsEnabled);
      if (key.size() > 3 && (key.rfind("CHT", 0) == 0 || key.rfind("EGT", 0) == 0)) {
        fixed->setToolTip(
            QStringLiteral("This cylinder's own limit; empty: the every-cylinder one"));
      }
      form_->setItem(row, column, fixed);
    }
    for (int column : {kMinColumn, kMaxColumn})
      form_->setItem(row, column, new QTableWidgetItem);
  }
  form_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  FillForm(limits_);
  connect(form_, &QTableWidget::itemChanged, this, [this] {
    if (!filling_)
      formEdited_ = true;
  });
  connect(editor_, &QPlainTextEdit::textChanged, this, [this] {
    if (!filling_)
      formEdited_ = false;
  });
  tabs_->addTab(form_, QStringLiteral("Limits"));
  tabs_->addTab(editor_, QStringLiteral("Advanced (text)"));
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
    if (filling_)
      return;
    if (!Synchronise(shownTab_)) {
      const QSignalBlocker quiet(tabs_);
      tabs_->setCurrentIndex(shownTab_);
      return;
    }
    shownTab_ = index;
  });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(message_);
  layout->addWidget(buttons);
  resize(520, 520);
}

QTableWidgetItem* LimitsDialog::Cell(const std::string& key, LimitKind kind) const {
  const std::vector<std::string>& keys = FormKeys();
  for (size_t row = 0; row < keys.size(); ++row) {
    if (keys[row] == key)
      return form_->item(static_cast<int>(row), kind == LimitKind::kMin ? kMinColumn : kMaxColumn);
  }
  return nullptr;
}

void LimitsDialog::FillForm(const Limits& limits) {
  filling_ = true;
  for (const std::string& key : FormKeys()) {
    for (LimitKind kind : {LimitKind::kMin, LimitKind::kMax}) {
      const std::optional<double> value = limits.Get(key, kind);
      Cell(key, kind)->setText(value ? QString::fromStdString(NumberText(*value)) : QString());
    }
  }
  filling_ = false;
}

std::optional<Limits> LimitsDialog::FromForm(std::string& error) const {
  Limits limits;
  for (const std::string& key : FormKeys()) {
    for (LimitKind kind : {LimitKind::kMin, LimitKind::kMax}) {
      const QString text = Cell(key, kind)->text().trimmed();
      if (text.isEmpty())
        continue;
      bool number = false;
      const double value = text.toDouble(&number);
      if (!number) {
        error = key + " " + std::string(LimitKindName(kind)) + ": '" + text.toStdString() +
                "' is not a number";
        return std::nullopt;
      }
      limits.Set(key, kind, value);
    }
  }
  return limits;
}

bool LimitsDialog::Synchronise(int leaving) {
  filling_ = true;
  bool done = true;
  std::string error;
  if (leaving == 0 && formEdited_) {
    if (const std::optional<Limits> limits = FromForm(error)) {
      editor_->setPlainText(QString::fromStdString(
          "# Engine limits: COLUMN.max or COLUMN.min = value, or off.\n"
          "# CHT and EGT stand for every cylinder; CHT3 and the like for one.\n" +
          limits->ToIni()));
    } else {
      done = false;
    }
  } else if (leaving == 1 && !formEdited_) {
    Limits limits = Limits::Defaults();
    if (limits.Apply(editor_->toPlainText().toStdString(), path_, error))
      FillForm(limits);
    else
      done = false;
  }
  filling_ = false;
  message_->setText(done ? QString::fromStdString(path_) : QString::fromStdString(error));
  return done;
}

void LimitsDialog::accept() {
  // The view changed last is the one saved; the form saves as the file text it stands for.
  if (formEdited_ && !Synchronise(0))
    return;
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
