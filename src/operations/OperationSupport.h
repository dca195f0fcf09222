#pragma once
// What the EEPROM operation flows share: the end of an operation machine together with its window.

#include "app/AppState.h"
#include "dialogue/CStateMachine.h"
#include "resources/Strings.h"

namespace tola {

// Destroys `machine` (if it is still AppState's operation machine), killing its timer first when
// it is still running, so that no wait of a dead machine fires later.
void DestroyOperation(AppState& app, CStateMachine* machine);

}  // namespace tola
