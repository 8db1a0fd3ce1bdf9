#include "gui/panels/LanguageSetting.h"

#include "comm/RequestTypes.h"
#include "gui/AppSettings.h"
#include "lang/ControlIds.h"

namespace va5 {

CSetting::CSetting(CAppSettings& settings, std::vector<std::string> folders, QWidget* parent)
    : CPanel(ids::language_panel::kLayout, ReplySensorInfo, parent),
      settings_(settings),
      folders_(std::move(folders)) {}

void CSetting::Show(bool visible) { setVisible(visible); }

bool CSetting::OnWorkerMessage(const WorkerMessage&) { return false; }

}  // namespace va5
