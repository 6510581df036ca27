#include "ui/settings/preview.h"

#include <QByteArray>
#include <QList>

namespace dxu {

// A look at the connected window for screenshots and layout checks:
// DXU_SHOW_ALL_PANELS=<measurement mode>[,<output processing>[,n (network) m (more)]].
void previewConnectedLook(DxuState& st, Ui& top, Hooks& hooks, SettingsPanel& panel, const std::string& choice)
{
    const QList<QByteArray> parts = QByteArray::fromStdString(choice).split(',');
    const int mode = parts.value(0).toInt();
    const int processing = parts.value(1).toInt();
    const QByteArray flags = parts.value(2);
    st.current().measureMode = mode > 0 ? mode : 1;
    if (flags.contains('n')) {
        top.setChecked("MultiDrop1", true);
        top.setChecked("Single1", false);
    }
    hooks.showConnectedControls();
    if (flags.contains('m'))
        panel.pbMoreClick();
    top.setEnabled("pbPrevDXU", true);
    top.setEnabled("pbNextDXU", true);
    top.setText("lblViewing", "Viewing: 1 of 3");
    top.setText("lblDXUAddress", "Address: a");
    top.setVisible("pnlOff", processing == 0 && mode != 3);
    top.setVisible("pnlWindowing", processing == 1 && mode != 3);
    top.setVisible("pnlDampening", processing == 2 && mode != 3);
    top.setVisible("pbSingleMeasure", true);
    for (const char* n : {"edShortGate", "edLongGate", "lblShortUnits", "lblLongUnits", "lblResult", "lblRate",
                          "rgDisplay", "rbDistance", "rbIntensity", "rbBothNumbers", "lblIntensity"})
        top.setVisible(n, true);
    top.setText("lblResult", "123.456  F");
    top.setText("lblIntensity", "10230");
    top.setText("lblRate", "31.3 Hz");
    top.setText("lblConnectionType", "RS232:COM1->Configuration");
    if (mode == 2) {
        top.setVisible("lblIntensity", false);
        top.setVisible("imgBinning", true);
        top.setVisible("rgDisplay", false);
    }
    top.setColor("lblConnected", colors::Green);
    top.setStatusPanel(3, " Connected");
}

} // namespace dxu
