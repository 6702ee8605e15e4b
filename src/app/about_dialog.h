// The About box: the program's name, release and copyright, and an OK button.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace ovixlog {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kCaption = "About OvixLog";
  static constexpr const char* kReleaseText = "OvixLog release 11 (2015-03-09)";
  static constexpr const char* kCopyrightText =
      "Copyright (C) 1999-2015 The OvixLog developers. All rights reserved.";

  explicit AboutDialog(QWidget* parent = nullptr);

  QLabel* releaseLabel() const { return release_; }
  QLabel* copyrightLabel() const { return copyright_; }
  QPushButton* okButton() const { return ok_; }

 private:
  QLabel* release_;
  QLabel* copyright_;
  QPushButton* ok_;
};

}  // namespace ovixlog
