#include "gui/SelectListBox.h"

#include "gui/EntryDialog.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/Localise.h"
#include "base/NumberText.h"

namespace va5 {

CSelectListBox::CSelectListBox(QWidget* parent)
    : QDialog(parent),
      list_(new QListWidget(this)),
      ok_(new QPushButton(StandardButtonText(StandardButton::Ok), this)),
      cancel_(new QPushButton(StandardButtonText(StandardButton::Cancel), this)) {
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  SetControlId(list_, kListId);
  SetControlId(ok_, kOkId);
  SetControlId(cancel_, kCancelId);

  QFont font;
  MakeFont(font, 130, 700);
  list_->setFont(font);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setAccessibleName(QStringLiteral("List"));
  list_->setMinimumSize(320, 240);
  list_->installEventFilter(this);
  QHBoxLayout* buttons = MakeOkCancelRow(ok_, cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addLayout(buttons);

  connect(ok_, &QPushButton::clicked, this, &CSelectListBox::Take);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(list_, &QListWidget::itemDoubleClicked, this, [this] { Take(); });

  LocaliseWindow(kLayoutId, this);
  NameButtonsByCaption(this);
}

void CSelectListBox::SetupByCode(const QString& title, const std::vector<std::string>& names,
                                 const std::vector<std::string>& codes, int currentCode) {
  Fill(title, names, codes, currentCode, QString());
}

void CSelectListBox::SetupByName(const QString& title, const std::vector<std::string>& names,
                                 const std::vector<std::string>& codes,
                                 const QString& currentName) {
  Fill(title, names, codes, -1, currentName);
}

void CSelectListBox::Fill(const QString& title, const std::vector<std::string>& names,
                          const std::vector<std::string>& codes, int currentCode,
                          const QString& currentName) {
  if (!title.isEmpty()) {
    setWindowTitle(title);
    list_->setAccessibleName(title);
  }
  currentCode_ = currentCode;
  list_->clear();
  int preselect = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const QString name = ToQString(names[i]);
    // A name without a code carries -1, which no real code uses.
    const int code = i < codes.size() ? static_cast<int>(ReadCInteger(codes[i])) : -1;
    auto* item = new QListWidgetItem(name, list_);
    item->setData(Qt::UserRole, code);
    const bool matches =
        !currentName.isEmpty() ? name == currentName : currentCode != -1 && code == currentCode;
    if (matches) preselect = static_cast<int>(i);
  }
  if (list_->count() > 0) list_->setCurrentRow(preselect);
}

void CSelectListBox::Take() {
  QListWidgetItem* item = list_->currentItem();
  if (item == nullptr) return;  // an empty list has nothing to take
  selectedIndex_ = list_->row(item);
  selectedCode_ = item->data(Qt::UserRole).toInt();
  accept();
}

void CSelectListBox::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
    event->accept();
    if (focusWidget() == cancel_) {
      reject();
    } else {
      Take();
    }
    return;
  }
  QDialog::keyPressEvent(event);
}

bool CSelectListBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
      Take();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CSelectListBox::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  activateWindow();
  list_->setFocus(Qt::OtherFocusReason);
  if (list_->currentItem() != nullptr) list_->scrollToItem(list_->currentItem());
}

}  // namespace va5
