#include "app/about_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace ovixlog {

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent),
      release_(new QLabel(QString::fromLatin1(kReleaseText), this)),
      copyright_(new QLabel(QString::fromLatin1(kCopyrightText), this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)) {
  setWindowTitle(QString::fromLatin1(kCaption));
  setModal(true);
  // A caption and a close button only: no help or resize decorations.
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  // Shown as typed: an ampersand in these texts is not a mnemonic.
  release_->setTextFormat(Qt::PlainText);
  copyright_->setTextFormat(Qt::PlainText);
  ok_->setDefault(true);
  ok_->setAutoDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

  // The release line beside the button at the top, the copyright line under both.
  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(10, 10, 10, 12);
  layout->setHorizontalSpacing(24);
  layout->setVerticalSpacing(14);
  layout->addWidget(release_, 0, 0, Qt::AlignLeft | Qt::AlignVCenter);
  layout->addWidget(ok_, 0, 1, Qt::AlignRight | Qt::AlignTop);
  layout->addWidget(copyright_, 1, 0, 1, 2, Qt::AlignLeft);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  setTabOrder(release_, copyright_);
  setTabOrder(copyright_, ok_);
  ok_->setFocus();
}

}  // namespace ovixlog
