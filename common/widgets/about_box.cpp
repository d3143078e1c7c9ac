#include "common/widgets/about_box.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "common/widgets/dialog_units.h"

namespace pell {

void LayOutAboutBox(QDialog& dialog, const QIcon& icon, const QString& line, const QString& okText) {
    dialog.setWindowIcon(icon);
    dialog.setFont(DialogFont());
    auto* picture = new QLabel(&dialog);
    picture->setObjectName("aboutIcon");
    picture->setPixmap(icon.pixmap(QSize(32, 32), dialog.devicePixelRatioF()));
    auto* text = new QLabel(line, &dialog);
    text->setObjectName("aboutText");
    auto* ok = new QPushButton(okText, &dialog);
    ok->setObjectName("aboutOkButton");
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);

    auto* row = new QHBoxLayout(&dialog);
    row->addWidget(picture, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addWidget(text, 1, Qt::AlignVCenter);
    row->addWidget(ok, 0, Qt::AlignTop);
    dialog.setFixedSize(DialogUnitsToPixels(BaseUnitsOf(dialog.font()), 170, 40).expandedTo(dialog.sizeHint()));
}

}  // namespace pell
