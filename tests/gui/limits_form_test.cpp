// The limits editor's form: min and max per column with units and per-cylinder overrides,
// kept in step with the file text of the advanced view, saved as that text.
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include <fstream>
#include <iterator>

#include "app/limits_dialog.h"
#include "gui/gui_fixture.h"

namespace ovixlog::test {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

QString RowText(QTableWidget* form, int row) {
  QStringList cells;
  for (int c = 0; c < form->columnCount(); ++c)
    cells << form->item(row, c)->text();
  return cells.join(QLatin1Char('|'));
}

}  // namespace

class LimitsFormTest : public QObject {
  Q_OBJECT

 private slots:
  void FormShowsTheLimitsWithUnits();
  void FormEditIsSavedAsFileText();
  void TextEditShowsInTheForm();
  void BadNumberKeepsTheDialogOpen();
};

void LimitsFormTest::FormShowsTheLimitsWithUnits() {
  TempFolder folder;
  LimitsDialog dialog(folder / "limits.ini");
  QTableWidget* form = dialog.form();
  QCOMPARE(dialog.tabs()->currentWidget(), form);
  QCOMPARE(form->rowCount(), 25);
  QCOMPARE(RowText(form, 0), QStringLiteral("CHT (every cylinder)||435|\u00b0F"));
  QCOMPARE(RowText(form, 1), QStringLiteral("EGT (every cylinder)||1650|\u00b0F"));
  QCOMPARE(RowText(form, 2), QStringLiteral("Tach|||rpm"));
  QCOMPARE(RowText(form, 4), QStringLiteral("OilP|25||psi"));
  QCOMPARE(RowText(form, 5), QStringLiteral("Volt|12|15|V"));
  QCOMPARE(RowText(form, 12), QStringLiteral("CHT3|||\u00b0F"));
  QCOMPARE(RowText(form, 24), QStringLiteral("EGT9|||\u00b0F"));
}

void LimitsFormTest::FormEditIsSavedAsFileText() {
  TempFolder folder;
  const std::string path = folder / "limits.ini";
  LimitsDialog dialog(path);
  dialog.Cell("CHT3", LimitKind::kMax)->setText(QStringLiteral("400"));
  dialog.Cell("Volt", LimitKind::kMax)->setText(QString());
  dialog.Cell("Tach", LimitKind::kMax)->setText(QStringLiteral(" 2700 "));
  dialog.accept();
  QCOMPARE(dialog.result(), int(QDialog::Accepted));
  QCOMPARE(dialog.limits().Get("CHT3", LimitKind::kMax), std::optional<double>(400.0));
  QCOMPARE(dialog.limits().Get("Tach", LimitKind::kMax), std::optional<double>(2700.0));
  QCOMPARE(dialog.limits().Get("Volt", LimitKind::kMax), std::nullopt);
  QCOMPARE(dialog.limits().Get("CHT", LimitKind::kMax), std::optional<double>(435.0));
  const std::string saved = ReadAll(path);
  QVERIFY(saved.find("CHT3.max = 400\n") != std::string::npos);
  QVERIFY(saved.find("Volt.max = off\n") != std::string::npos);
  // Read again, the file gives the same form.
  LimitsDialog again(path);
  QCOMPARE(again.Cell("CHT3", LimitKind::kMax)->text(), QStringLiteral("400"));
  QCOMPARE(again.Cell("Volt", LimitKind::kMax)->text(), QString());
  QCOMPARE(again.limits(), dialog.limits());
}

void LimitsFormTest::TextEditShowsInTheForm() {
  TempFolder folder;
  LimitsDialog dialog(folder / "limits.ini");
  dialog.tabs()->setCurrentIndex(1);
  dialog.editor()->setPlainText(QStringLiteral("[limits]\nEGT4.max = 1600\nOilT.max = off\n"));
  dialog.tabs()->setCurrentIndex(0);
  QCOMPARE(dialog.Cell("EGT4", LimitKind::kMax)->text(), QStringLiteral("1600"));
  QCOMPARE(dialog.Cell("OilT", LimitKind::kMax)->text(), QString());
  QCOMPARE(dialog.Cell("CHT", LimitKind::kMax)->text(), QStringLiteral("435"));
  // A form edit shows in the text when the advanced view is opened again.
  dialog.Cell("EGT4", LimitKind::kMax)->setText(QStringLiteral("1590"));
  dialog.tabs()->setCurrentIndex(1);
  QVERIFY(dialog.editor()->toPlainText().contains(QStringLiteral("EGT4.max = 1590\n")));
  // A bad line keeps the text in view and says why.
  dialog.editor()->setPlainText(QStringLiteral("[limits]\nFOO.max = 1\n"));
  dialog.tabs()->setCurrentIndex(0);
  QCOMPARE(dialog.tabs()->currentIndex(), 1);
  QVERIFY(dialog.message()->text().endsWith(QStringLiteral(":2: unknown column 'FOO'")));
}

void LimitsFormTest::BadNumberKeepsTheDialogOpen() {
  TempFolder folder;
  const std::string path = folder / "limits.ini";
  LimitsDialog dialog(path);
  dialog.Cell("OilP", LimitKind::kMin)->setText(QStringLiteral("twenty"));
  dialog.accept();
  QVERIFY(dialog.result() != QDialog::Accepted);
  QCOMPARE(dialog.message()->text(), QStringLiteral("OilP min: 'twenty' is not a number"));
  QVERIFY(!std::ifstream(path));
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::LimitsFormTest)
#include "limits_form_test.moc"
