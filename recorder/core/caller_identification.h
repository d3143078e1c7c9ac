// The production caller identification for finished recordings: the FSK and tone decoders.
#pragma once

#include "recorder/core/recorder_ports.h"

namespace pell {

IdentifyCallerFn DefaultCallerIdentifier();

}  // namespace pell
