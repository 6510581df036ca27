#pragma once
// Address assignment: the addresses handed out so far ("Assigned"), the
// present address of the point-to-point unit, and the UA write that gives the
// connected unit a new one. The window TfrmAssignAddress calls these.
#include "protocol/dxustate.h"
#include "services/stepoutcome.h"

#include <QString>

#include <functional>

namespace dxu {

// Record 0's address character, or "Not Assigned" when it has none.
QString currentAddressText(const DxuState& st);

// Gives the connected unit the address at list position p: frees the slot of
// record 0's present address, marks p, saves "Assigned" and starts the upload
// (which writes UA with whatever else is pending). Choosing the address the
// unit already has changes nothing and sends nothing. Without a position:
// refused with "No address selected.".
StepOutcome assignAddress(DxuState& st, int position, const std::function<void()>& queueUpload);

} // namespace dxu
