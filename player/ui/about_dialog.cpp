#include "player/ui/about_dialog.h"

#include "common/widgets/about_box.h"
#include "player/ui/artwork.h"
#include "player/ui/player_controls.h"

namespace pell::player {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("aboutDialog");
    setWindowTitle(text::kAboutTitle);
    LayOutAboutBox(*this, ProgramIcon(), text::kAboutLine, text::kOk);
}

}  // namespace pell::player
