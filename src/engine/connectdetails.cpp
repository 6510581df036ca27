#include "engine/connectdetails.h"

#include "serial/commportdriver.h"

namespace dxu {

QString connectFailureDetails(const DxuState& st, TriedUnits tried)
{
    const UnitRecord& pc = st.unitTable[0];
    const bool network = st.networkMode() != 0;
    const int com = (network ? pc.port485 : pc.port232) + 1;
    const uint32_t rate = baudRateValue(rateOfRateIndex(network ? pc.port485RateIndex : pc.port232RateIndex));

    QString mode = QStringLiteral("RS-232 (one unit)");
    QString unit = QStringLiteral("the unit");
    if (network && tried == TriedUnits::WholeNetwork) {
        mode = QStringLiteral("RS-485 network, every assigned address (see the error list)");
        unit = QStringLiteral("the units");
    } else if (network) {
        const QChar address = QLatin1Char(st.current().addressChar());
        mode = QStringLiteral("RS-485 network, address %1").arg(address);
        unit = QStringLiteral("the unit with address %1").arg(address);
    }
    return QStringLiteral("Port: COM%1 (%2) at %3 bit/s\n"
                          "Mode: %4\n\n"
                          "Check that %5 is set to %3 bit/s: a wrong rate is the most common cause.\n"
                          "Check that %5 is powered and the cable is connected: a silent line is the other.")
        .arg(com)
        .arg(comDevicePath(com))
        .arg(rate)
        .arg(mode, unit);
}

} // namespace dxu
