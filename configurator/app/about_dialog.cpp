#include "configurator/app/about_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "configurator/app/app_icon.h"
#include "common/widgets/dialog_units.h"
#include "configurator/core/config_controls.h"

namespace pell::configurator {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("aboutDialog");
    setProperty("templateId", kAboutTemplate);
    setWindowTitle(text::kAboutTitle);
    setWindowIcon(ConfiguratorIcon());
    setFont(DialogFont());

    auto* icon = new QLabel(this);
    icon->setObjectName("aboutIcon");
    icon->setPixmap(ConfiguratorIcon().pixmap(32, 32));
    auto* version = new QLabel(text::kAboutText, this);
    version->setObjectName("aboutText");
    auto* ok = new QPushButton(text::kOk, this);
    ok->setObjectName("aboutOkButton");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addWidget(version, 1, Qt::AlignVCenter);
    top->addWidget(ok, 0, Qt::AlignTop);
    setLayout(top);
    const DialogBaseUnits base = BaseUnitsOf(font());
    setFixedSize(DialogUnitsToPixels(base, 170, 40).expandedTo(sizeHint()));
}

}  // namespace pell::configurator
