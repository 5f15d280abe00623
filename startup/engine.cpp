#include "startup/engine.h"

namespace zev {

Text Engine::WizardTitle() const {
    if (title.empty()) return u"Quorvane Wizard";
    if (title_alone) return title;
    return title + u" - Quorvane Wizard";
}

void Engine::ShowError(TextView text) {
    if (silent) return;
    platform.ui.ShowMessage(WizardTitle(), text, MessageIcon::Error);
}

}  // namespace zev
