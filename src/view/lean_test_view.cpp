#include "view/lean_test_view.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include "view/plot_painter.h"
#include "view/series_look.h"

namespace ovixlog {
namespace {

constexpr int kLeft = 64;
constexpr int kRight = 150;  // the legend, with each cylinder's peak
constexpr int kTop = 52;
constexpr int kBottom = 44;
constexpr int kCurveSteps = 48;

struct Axes {
  ValueScale flow;
  ValueScale egt;
};

Axes AxesFor(const QRect& plot, const LeanTestCurves& curves) {
  double lowEgt = curves.lowEgt;
  double highEgt = curves.highEgt;
  for (const LeanCurve& c : curves.cylinders) {
    if (c.peakEgt) {
      lowEgt = std::min(lowEgt, *c.peakEgt);
      highEgt = std::max(highEgt, *c.peakEgt);
    }
  }
  return Axes{NiceScale(curves.lowFlow, curves.highFlow, std::max(plot.width() / 90, 2)),
              NiceScale(lowEgt, highEgt, std::max(plot.height() / 50, 2))};
}

}  // namespace

LeanTestView::LeanTestView(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("Lean Test"));
  setMinimumSize(480, 360);
  resize(760, 540);
}

void LeanTestView::SetTest(const LeanTest& test, LeanTestCurves curves, QString when) {
  test_ = test;
  curves_ = std::move(curves);
  when_ = std::move(when);
  update();
}

QString LeanTestView::Heading(const QString& when) {
  return when;
}

QString LeanTestView::VerdictLine(const LeanTest& test) {
  QString line;
  if (test.gamiSpread) {
    line = QStringLiteral("GAMI spread %1 gph: %2")
               .arg(*test.gamiSpread, 0, 'f', 1)
               .arg(QString::fromLatin1(BalanceWords(BalanceOf(*test.gamiSpread))));
  } else {
    line = QStringLiteral("No cylinder peaked");
  }
  if (!test.complete && test.gamiSpread)
    line += QStringLiteral(" (not every cylinder peaked)");
  if (!test.order.empty()) {
    QStringList order;
    for (int cylinder : test.order)
      order << QString::number(cylinder);
    line += QStringLiteral("; order of peaking ") + order.join(QLatin1Char('-'));
  }
  return line;
}

QRect LeanTestView::PlotArea(const QRect& r) {
  return r.adjusted(kLeft, kTop, -kRight, -kBottom);
}

QPointF LeanTestView::PointFor(const QRect& r, const LeanTestCurves& curves, double flow,
                               double egt) {
  const QRect plot = PlotArea(r);
  const Axes axes = AxesFor(plot, curves);
  // Richer (higher) flows on the left.
  const double fx = (axes.flow.high - flow) / (axes.flow.high - axes.flow.low);
  const double fy = (axes.egt.high - egt) / (axes.egt.high - axes.egt.low);
  return QPointF(plot.left() + fx * (plot.width() - 1), plot.top() + fy * (plot.height() - 1));
}

void LeanTestView::paintEvent(QPaintEvent* event) {
  (void)event;
  QPainter painter(this);
  Draw(painter, rect(), test_, curves_, when_);
}

void LeanTestView::Draw(QPainter& painter, const QRect& r, const LeanTest& test,
                        const LeanTestCurves& curves, const QString& when) {
  painter.save();
  painter.fillRect(r, Qt::white);
  painter.setRenderHint(QPainter::Antialiasing, true);
  const QRect plot = PlotArea(r);
  const Axes axes = AxesFor(plot, curves);
  const QFontMetrics metrics(painter.font());
  const auto at = [&](double flow, double egt) { return PointFor(r, curves, flow, egt); };

  // Heading.
  painter.setPen(Qt::black);
  const QFont base = painter.font();
  QFont bold = base;
  bold.setBold(true);
  painter.setFont(bold);
  painter.drawText(r.left() + kLeft, r.top() + 6 + metrics.ascent(), Heading(when));
  painter.setFont(base);
  painter.drawText(r.left() + kLeft, r.top() + 8 + metrics.height() + metrics.ascent(),
                   VerdictLine(test));

  // Grid and axes.
  painter.setClipRect(r);
  for (double v = axes.egt.low; v <= axes.egt.high + axes.egt.step / 2; v += axes.egt.step) {
    const double y = at(axes.flow.high, v).y();
    painter.setPen(QColor(225, 225, 225));
    painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(r.left(), y - 8, kLeft - 6, 16), Qt::AlignRight | Qt::AlignVCenter,
                     QString::number(v, 'g', 6));
  }
  for (double v = axes.flow.low; v <= axes.flow.high + axes.flow.step / 2; v += axes.flow.step) {
    const double x = at(v, axes.egt.low).x();
    painter.setPen(QColor(225, 225, 225));
    painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(x - 30, plot.bottom() + 4, 60, 16), Qt::AlignCenter,
                     QString::number(v, 'f', 1));
  }
  painter.setPen(QColor(120, 120, 120));
  painter.drawRect(plot.adjusted(0, 0, -1, -1));
  painter.setPen(Qt::black);
  painter.drawText(QRect(plot.left(), plot.bottom() + 22, plot.width(), 18), Qt::AlignCenter,
                   QStringLiteral("Flow (gph), leaner to the right"));
  painter.save();
  painter.translate(r.left() + 12, plot.center().y());
  painter.rotate(-90);
  painter.drawText(QRect(-80, -10, 160, 20), Qt::AlignCenter, QStringLiteral("EGT (F)"));
  painter.restore();

  // Samples, fitted curves, peaks.
  painter.setClipRect(plot);
  for (size_t n = 0; n < curves.cylinders.size(); ++n) {
    const LeanCurve& c = curves.cylinders[n];
    const SeriesLook look = SeriesLook::For(static_cast<int>(n));
    const QColor colour = look.color;
    QColor light = colour;
    light.setAlpha(110);
    painter.setPen(Qt::NoPen);
    painter.setBrush(light);
    for (size_t i = 0; i < c.flow.size(); ++i)
      DrawSeriesMarker(painter, at(c.flow[i], c.egt[i]), look.marker, 4.0);
    if (c.fit && c.fitHighFlow > c.fitLowFlow) {
      QPainterPath path;
      for (int step = 0; step <= kCurveSteps; ++step) {
        const double flow =
            c.fitLowFlow + (c.fitHighFlow - c.fitLowFlow) * step / static_cast<double>(kCurveSteps);
        const QPointF p = at(flow, c.fit->At(flow));
        if (step == 0)
          path.moveTo(p);
        else
          path.lineTo(p);
      }
      painter.setBrush(Qt::NoBrush);
      painter.setPen(QPen(colour, 2.0, look.dash));
      painter.drawPath(path);
    }
  }
  for (size_t n = 0; n < curves.cylinders.size(); ++n) {
    const LeanCurve& c = curves.cylinders[n];
    if (!c.peakFlow || !c.peakEgt)
      continue;
    const QPointF p = at(*c.peakFlow, *c.peakEgt);
    const SeriesLook look = SeriesLook::For(static_cast<int>(n));
    painter.setPen(QPen(Qt::black, 1.5));
    painter.setBrush(look.color);
    DrawSeriesMarker(painter, p, look.marker, 11.0);
    painter.setPen(Qt::black);
    painter.drawText(QPointF(p.x() + 7, p.y() - 6), QString::number(c.cylinder));
  }

  // Legend: marker, curve style and the cylinder's peak (flow / EGT).
  painter.setClipRect(r);
  painter.drawText(QPointF(plot.right() + 10, plot.top() + metrics.ascent()),
                   QStringLiteral("Peak: gph / F"));
  int y = plot.top() + 4 + metrics.height();
  for (size_t n = 0; n < curves.cylinders.size(); ++n) {
    const LeanCurve& c = curves.cylinders[n];
    const SeriesLook look = SeriesLook::For(static_cast<int>(n));
    const int x = plot.right() + 10;
    painter.setPen(QPen(look.color, 2.0, look.dash));
    painter.drawLine(QPointF(x, y + 7), QPointF(x + 26, y + 7));
    painter.setPen(QPen(Qt::black, 1.0));
    painter.setBrush(look.color);
    DrawSeriesMarker(painter, QPointF(x + 13, y + 7), look.marker, 8.0);
    // The peak's flow and EGT, or a dash for a cylinder that did not peak.
    const QString peak = c.peakFlow && c.peakEgt ? QStringLiteral("%1 / %2")
                                                       .arg(*c.peakFlow, 0, 'f', 1)
                                                       .arg(*c.peakEgt, 0, 'f', 0)
                                                 : QStringLiteral("\u2014");
    painter.drawText(QPointF(x + 32, y + 7 + metrics.ascent() / 2.0),
                     QStringLiteral("EGT%1  %2").arg(c.cylinder).arg(peak));
    y += metrics.height() + 6;
  }
  painter.restore();
}

}  // namespace ovixlog
