#pragma once
// The message boxes a CAD system asks its questions with, as a draft's
// "fault dialog <n> <title>|<text>|<buttons>" line has them shown.
#include "DraftFile.h"
#include "Server.h"

namespace standin {

// Shows the box as often as the fault says, each time once the last was
// answered. A button written "!OK" is shown greyed out; a fourth part,
// "|<title>", shows a box of that title on top of each, which disables it
// until it goes by itself after 2 s.
void ShowDialogs(Server& server, const Fault& fault);

}  // namespace standin
