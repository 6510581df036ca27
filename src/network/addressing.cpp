#include "network/addressing.h"

#include "network/networkconfig.h"

namespace dxu {

QString currentAddressText(const DxuState& st)
{
    const char a = st.unitTable[0].addressChar();
    return a != 0 ? QString(QLatin1Char(a)) : QStringLiteral("Not Assigned");
}

StepOutcome assignAddress(DxuState& st, int position, const std::function<void()>& queueUpload)
{
    if (position < 0 || position >= AddressCount)
        return StepOutcome::refused(QStringLiteral("No address selected."));
    const char n = AddressAlphabet[position];
    const char old = st.unitTable[0].addressChar();
    // The unit keeps the address it has: its slot stays taken.
    if (n == old)
        return {};

    if (const int p = addressPosition(old); p >= 0)
        st.assignedSlots[p] = EmptySlot;
    st.editRecord.address = static_cast<unsigned char>(n);
    st.current().addressChanged = 1;
    // Marked when queued, not when answered: a failed write is reported by the
    // queue, and the address is taken on the line either way once tried.
    st.assignedSlots[position] = n;
    saveAssignedSlots(st);
    if (queueUpload)
        queueUpload();
    return {};
}

} // namespace dxu
