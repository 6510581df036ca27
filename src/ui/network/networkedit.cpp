#include "ui/network/networkedit.h"

#include "ui/services/messages.h"

#include <string>

namespace dxu {
namespace {

bool selectMode(DxuState& st, Ui& ui, PcPort& port, bool network)
{
    if (!setNetworkMode(st, port, network))
        return false;
    ui.setChecked("MultiDrop1", network);
    ui.setChecked("Single1", !network);
    ui.setVisible("ViewNetworkStatus1", network);
    return true;
}

// The labels of the unit on screen and the Prev/Next buttons.
void showUnitOnScreen(const DxuState& st, Ui& mainUi, Hooks& hooks)
{
    showViewingLabels(st, mainUi);
    hooks.updatePrevNextButtons();
}

bool validPosition(int p) { return p >= 0 && p < AddressCount; }

} // namespace

void showViewingLabels(Ui& mainUi, int unit, int count, char address)
{
    mainUi.setText("lblViewing", "Viewing: " + std::to_string(unit) + " of " + std::to_string(count));
    mainUi.setText("lblDXUAddress", "Address: " + (address ? std::string(1, address) : std::string()));
}

void showViewingLabels(const DxuState& st, Ui& mainUi)
{
    showViewingLabels(mainUi, st.currentUnit, st.networkCount, st.current().addressChar());
}

bool selectNetworkMode(DxuState& st, Ui& mainUi, PcPort& port) { return selectMode(st, mainUi, port, true); }
bool selectPointToPointMode(DxuState& st, Ui& mainUi, PcPort& port) { return selectMode(st, mainUi, port, false); }

bool addNetworkMember(DxuState& st, Ui& mainUi, Hooks& hooks, const NetworkSender& send, int position)
{
    if (!validPosition(position)) {
        showMessage(QStringLiteral("Error"), QStringLiteral("No DXU selected."));
        return false;
    }
    if (addMember(st, send, position)) {
        mainUi.setChecked("cbContinuousOutput", false);
        mainUi.setEnabled("pbUpload", true);
    }
    showUnitOnScreen(st, mainUi, hooks);
    return true;
}

void followAddressChange(DxuState& st, Ui& mainUi, Hooks& hooks, char to)
{
    if (moveMember(st, to))
        showUnitOnScreen(st, mainUi, hooks);
}

bool removeNetworkMember(DxuState& st, Ui& mainUi, Hooks& hooks, int position)
{
    if (!validPosition(position)) {
        showMessage(QStringLiteral("Error"), QStringLiteral("No Unit selected."));
        return false;
    }
    removeMember(st, position);
    showUnitOnScreen(st, mainUi, hooks);
    return true;
}

bool acceptPollingInterval(DxuState& st, const QString& text)
{
    const StepOutcome taken = takePollingInterval(st, text);
    if (!taken)
        showMessage(QStringLiteral("Error"), taken.refusal);
    return taken.done();
}

} // namespace dxu
