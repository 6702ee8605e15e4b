// The strip above the charts that says, in whole words, what the window is doing: receiving
// from which adapter and how fast, since when nothing came, that the device was lost, that
// nothing is connected (with the way to connect), or which file is shown. The offers stand
// under it, each with its button. Its texts wrap; none is ever cut off.
#pragma once

#include <QFrame>
#include <QString>

class QLabel;
class QVBoxLayout;

namespace ovixlog {

class StatusOffer;

struct BannerState {
  enum class Link {
    kNotConnected,  // no device to read: none configured, or it is not there
    kLost,          // the device was open and went away
    kWaiting,       // open, nothing received yet
    kQuiet,         // open, nothing received lately
    kReceiving,     // frames arrive
    kShowingFile,   // an imported file is shown; live data is paused
  };
  Link link = Link::kNotConnected;
  QString adapter;        // "FTDI FT232R USB UART (ttyUSB0)", or the device path
  int framesPerSecond = 0;
  QString lastFrameTime;  // "21:49:43"
  QString recording;      // the recording's name while bytes arrive into it, or empty
  QString file;           // the shown file's name
};

// The banner's sentence for `state`.
QString BannerText(const BannerState& state);

class StateBanner : public QFrame {
  Q_OBJECT

 public:
  explicit StateBanner(QWidget* parent = nullptr);

  void Show(const BannerState& state);
  const BannerState& state() const { return state_; }

  QLabel* label() const { return label_; }
  // The latest report (what an import read, a save that failed...) in full under the
  // sentence; empty hides it.
  void SetNote(const QString& text);
  QLabel* note() const { return note_; }
  // Puts an offer under the sentence, its text wrapping like the sentence's.
  void AddOffer(StatusOffer* offer);

 signals:
  // "Connect Monitor..." in the sentence was clicked.
  void connectRequested();

 private:
  BannerState state_;
  QLabel* label_;
  QLabel* note_;
  QVBoxLayout* offers_;
};

}  // namespace ovixlog
