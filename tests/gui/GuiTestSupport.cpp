#include "tests/gui/GuiTestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "lang/ResourceDatabase.h"

namespace va5::test {
namespace {

// One application for all widget tests, on the offscreen platform unless told otherwise;
// the settings store points at a temporary folder.
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    settingsFolder_ = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder_->path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder_->path());
    static int argc = 1;
    static char name[] = "app_gui_tests";
    static char* argv[] = {name, nullptr};
    application_ = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VA5VIVI"));
    QApplication::setOrganizationName(QStringLiteral("Kerrin"));
  }
  void TearDown() override {
    application_.reset();
    settingsFolder_.reset();
  }

 private:
  std::unique_ptr<QTemporaryDir> settingsFolder_;
  std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

std::string DataFile(const std::string& name) {
  return std::string(VA5VIVI_TEST_DATA_DIR) + "/" + name;
}

void LoadTestLanguage(const std::string& name) {
  TheResourceDatabase().InitEmpty();
  TheResourceDatabase().Load(name, {VA5VIVI_TEST_DATA_DIR});
}

RecordedMessages::RecordedMessages(int answer) : answer_(answer) {
  previous_ = SetMessageBoxHook([this](const MessageRequest& request) {
    seen_.push_back(request);
    return answer_;
  });
}

RecordedMessages::~RecordedMessages() { SetMessageBoxHook(previous_); }

QMessageBox* VisibleBox() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    if (box != nullptr && box->isVisible()) return box;
  }
  return nullptr;
}

void ClickOnNextBox(const QString& text) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, text] {
    QMessageBox* box = VisibleBox();
    if (box == nullptr) return;
    for (QAbstractButton* button : box->buttons()) {
      if (button->text().remove(QLatin1Char('&')) == text) {
        timer->stop();
        timer->deleteLater();
        button->click();
        return;
      }
    }
  });
  timer->start();
}

}  // namespace va5::test
