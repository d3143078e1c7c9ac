#include "player/ui/about_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "common/widgets/dialog_units.h"
#include "player/ui/artwork.h"
#include "player/ui/player_controls.h"

namespace pell::player {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("aboutDialog");
    setWindowTitle(text::kAboutTitle);
    setWindowIcon(ProgramIcon());
    setFont(DialogFont());

    auto* icon = new QLabel(this);
    icon->setObjectName("aboutIcon");
    QPixmap art = QPixmap::fromImage(DrawProgramIcon(qRound(32 * devicePixelRatioF())));
    art.setDevicePixelRatio(devicePixelRatioF());
    icon->setPixmap(art);
    auto* line = new QLabel(text::kAboutLine, this);
    line->setObjectName("aboutText");
    auto* ok = new QPushButton(text::kOk, this);
    ok->setObjectName("aboutOkButton");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* row = new QHBoxLayout(this);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addWidget(line, 1, Qt::AlignVCenter);
    row->addWidget(ok, 0, Qt::AlignTop);
    setFixedSize(DialogUnitsToPixels(BaseUnitsOf(font()), 170, 40).expandedTo(sizeHint()));
}

}  // namespace pell::player
