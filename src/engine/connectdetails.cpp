#include "engine/connectdetails.h"

#include "serial/commportdriver.h"

namespace dxu {
namespace {

// The port of the mode's link and its rate.
struct LinkInUse {
    bool network;
    int com;
    uint32_t rate;
};

LinkInUse linkInUse(const DxuState& st)
{
    const UnitRecord& pc = st.unitTable[0];
    const bool network = st.networkMode() != 0;
    return {network, (network ? pc.port485 : pc.port232) + 1,
            baudRateValue(rateOfRateIndex(network ? pc.port485RateIndex : pc.port232RateIndex))};
}

QString portText(const LinkInUse& link)
{
    return QStringLiteral("COM%1 (%2) at %3 bit/s").arg(link.com).arg(comDevicePath(link.com)).arg(link.rate);
}

} // namespace

QString connectTarget(const DxuState& st)
{
    const LinkInUse link = linkInUse(st);
    return portText(link) + (link.network ? QStringLiteral(", RS-485") : QStringLiteral(", RS-232"));
}

QString connectFailureDetails(const DxuState& st, TriedUnits tried)
{
    const LinkInUse link = linkInUse(st);
    QString mode = QStringLiteral("RS-232 (one unit)");
    QString unit = QStringLiteral("the unit");
    if (link.network && tried == TriedUnits::WholeNetwork) {
        mode = QStringLiteral("RS-485 network, every assigned address (see the error list)");
        unit = QStringLiteral("the units");
    } else if (link.network) {
        const QChar address = QLatin1Char(st.current().addressChar());
        mode = QStringLiteral("RS-485 network, address %1").arg(address);
        unit = QStringLiteral("the unit with address %1").arg(address);
    }
    return QStringLiteral("Port: %1\n"
                          "Mode: %2\n\n"
                          "Check that %3 is set to %4 bit/s: a wrong rate is the most common cause.\n"
                          "Check that %3 is powered and the cable is connected: a silent line is the other.")
        .arg(portText(link), mode, unit, QString::number(link.rate));
}

} // namespace dxu
