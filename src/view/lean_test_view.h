// A lean test against fuel flow: every cylinder's EGT at each sample of the sweep, the curve
// fitted near its peak and the peak marked with its flow and EGT, the GAMI spread with its
// verdict and the order in which the cylinders peaked. Richer flows stand on the left. Each
// cylinder has its own colour and marker shape, so the plot reads in black and white too.
#pragma once

#include <QPointF>
#include <QRect>
#include <QString>
#include <QWidget>

#include "analysis/lean_test_curves.h"

class QPainter;

namespace ovixlog {

class LeanTestView : public QWidget {
  Q_OBJECT

 public:
  explicit LeanTestView(QWidget* parent = nullptr);

  // Shows `test` drawn as `curves`; `when` names it ("Lean sweep at 01:02:03").
  void SetTest(const LeanTest& test, LeanTestCurves curves, QString when);
  const LeanTestCurves& curves() const { return curves_; }
  const LeanTest& test() const { return test_; }

  // The heading's lines: what and when, then the spread with its verdict and the order.
  static QString Heading(const QString& when);
  static QString VerdictLine(const LeanTest& test);

  // Draws the whole view into `r` of `painter`: the window's paint, the report and pictures.
  static void Draw(QPainter& painter, const QRect& r, const LeanTest& test,
                   const LeanTestCurves& curves, const QString& when);
  // Where the plot's frame lies inside a view drawn into `r`, and where a flow and EGT fall.
  static QRect PlotArea(const QRect& r);
  static QPointF PointFor(const QRect& r, const LeanTestCurves& curves, double flow, double egt);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  LeanTest test_;
  LeanTestCurves curves_;
  QString when_;
};

}  // namespace ovixlog
