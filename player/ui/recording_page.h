// The Properties tab of one recording: which file it is, its proof against its day folder's
// manifest ("verified", or what is wrong), its legal hold, and its entries in the audit trail,
// newest first. It only shows what record_custody.h made of the custody records.
#pragma once

#include "player/ui/core/record_custody.h"

class QWidget;

namespace pell::player {

QWidget* MakeRecordingPage(const RecordingProperties& recording);

}  // namespace pell::player
