#pragma once
// What the EEPROM operation flows share: the error box of a failed operation and the end of an
// operation machine together with its window.

#include "app/AppState.h"
#include "dialogue/CStateMachine.h"
#include "resources/Strings.h"

namespace tola {

// An error box with the text of `code`, the caption string, OK and the error icon.
void ShowErrorBox(AppState& app, StringId caption, ResultCode code);

// Destroys `machine` (if it is still AppState's operation machine), killing its timer first when
// it is still running, so that no wait of a dead machine fires later.
void DestroyOperation(AppState& app, CStateMachine* machine);

}  // namespace tola
