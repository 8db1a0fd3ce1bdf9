#include "gui/LookingForDeviceInfo.h"

#include <QGridLayout>
#include <QLabel>

#include "gui/DisplayLookingFor.h"
#include "gui/Localise.h"
#include "lang/ControlIds.h"

namespace va5 {

namespace sp = ids::search_progress;

CLookingForDeviceInfo::CLookingForDeviceInfo(QWidget* parent)
    : QFrame(parent),
      message_(new QLabel(this)),
      bar_(new CDisplayLookingFor(this)),
      addressLabel_(new QLabel(QStringLiteral("Address"), this)),
      address_(new QLabel(QStringLiteral("0"), this)) {
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Raised);
  setLineWidth(2);
  setAutoFillBackground(true);
  SetControlId(message_, sp::kMessage);
  SetControlId(bar_, sp::kProgressBar);
  SetControlId(addressLabel_, sp::kAddressLabel);
  SetControlId(address_, sp::kAddressValue);
  QFont font;
  MakeFont(font, 130, 700);
  message_->setFont(font);
  message_->setAlignment(Qt::AlignCenter);
  message_->setWordWrap(true);
  bar_->setAccessibleName(QStringLiteral("Search progress"));
  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(16, 12, 16, 12);
  layout->addWidget(message_, 0, 0, 1, 2);
  layout->addWidget(bar_, 1, 0, 1, 2);
  layout->addWidget(addressLabel_, 2, 0, Qt::AlignRight);
  layout->addWidget(address_, 2, 1, Qt::AlignLeft);
  setMinimumWidth(320);
  hide();
}

void CLookingForDeviceInfo::Show(bool visible, const QString& text, int address,
                                 const QRect& area) {
  if (!visible) {
    hide();
    return;
  }
  LocaliseWindow(sp::kLayout, this);
  address_->setAccessibleName(addressLabel_->text());
  message_->setText(text);
  message_->setAccessibleName(text);
  SetProgress(0, address);
  adjustSize();
  if (area.isValid()) move(area.center() - QPoint(width() / 2, height() / 2));
  show();
  raise();
}

void CLookingForDeviceInfo::SetProgress(int steps, int address) {
  bar_->SetSteps(steps);
  address_->setText(QString::asprintf("%d", address));
}

QString CLookingForDeviceInfo::AddressText() const { return address_->text(); }

}  // namespace va5
