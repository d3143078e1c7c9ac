#include "configurator/app/about_dialog.h"

#include "common/widgets/about_box.h"
#include "configurator/app/app_icon.h"
#include "configurator/core/config_controls.h"

namespace pell::configurator {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("aboutDialog");
    setProperty("templateId", kAboutTemplate);
    setWindowTitle(text::kAboutTitle);
    LayOutAboutBox(*this, ConfiguratorIcon(), text::kAboutText, text::kOk);
}

}  // namespace pell::configurator
