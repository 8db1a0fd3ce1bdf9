#include "gui/UploadDeviceInfo.h"

#include <QLabel>
#include <QVBoxLayout>
#include <cmath>

#include "gui/DisplayUpload.h"
#include "gui/Localise.h"
#include "lang/ControlIds.h"

namespace va5 {

namespace up = ids::upload_progress;

CUploadDeviceInfo::CUploadDeviceInfo(QWidget* parent)
    : QFrame(parent),
      message_(new QLabel(this)),
      percent_(new QLabel(this)),
      bar_(new CDisplayUpload(this)) {
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Raised);
  setLineWidth(2);
  setAutoFillBackground(true);
  SetControlId(message_, up::kMessage);
  SetControlId(percent_, up::kPercent);
  SetControlId(bar_, up::kBar);
  QFont font;
  MakeFont(font, 130, 700);
  message_->setFont(font);
  message_->setAlignment(Qt::AlignCenter);
  message_->setWordWrap(true);
  percent_->setAlignment(Qt::AlignCenter);
  percent_->setAccessibleName(QStringLiteral("Progress"));
  bar_->setAccessibleName(QStringLiteral("Progress bar"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 12, 16, 12);
  layout->addWidget(message_);
  layout->addWidget(percent_);
  layout->addWidget(bar_);
  setMinimumWidth(320);
  hide();
}

void CUploadDeviceInfo::Show(bool visible, const QString& text, const QRect& area) {
  if (!visible) {
    hide();
    return;
  }
  message_->setText(text);
  message_->setAccessibleName(text);
  SetValue(0.0);
  adjustSize();
  if (area.isValid()) move(area.center() - QPoint(width() / 2, height() / 2));
  show();
  raise();
}

void CUploadDeviceInfo::SetValue(double percent) {
  if (!std::isfinite(percent)) percent = 0.0;
  percent_->setText(QString::asprintf("%2.2f", percent));
  bar_->SetValue(percent);
  emit valueShown(percent_->text());
}

QString CUploadDeviceInfo::PercentText() const { return percent_->text(); }
QString CUploadDeviceInfo::MessageText() const { return message_->text(); }

}  // namespace va5
