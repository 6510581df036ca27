#include "engine/asking.h"

#include <QStringList>

namespace dxu {

AskingText askingText(const Asking& a)
{
    const QString unsaved = QStringLiteral(
        "The most recent changes to DXU settings are not saved,\nand will be lost after cycling the power.\n");
    switch (a.question) {
    case Question::ViewErrors:
        return {QStringLiteral("Error"),
                QStringLiteral("%1 errors encountered.\n\nDo you want to view errors?").arg(a.count), true};
    case Question::NoUnitsAssigned:
        return {QStringLiteral("Error"), QStringLiteral("There are no DXU units assigned to this network."), false};
    case Question::PortLost:
        return {QStringLiteral("DXU Interface"),
                !a.reason.isEmpty() ? a.reason
                                    : QStringLiteral("Serial port: COM%1 is no longer available.\n"
                                                     "Check the cable or adapter, then connect again.")
                                          .arg(a.comNumber),
                false};
    case Question::CannotConnect:
        return {QStringLiteral("Error"), QStringLiteral("Cannot Connect to DXU"), false};
    case Question::CannotConnectUnit:
        return {QStringLiteral("Error"),
                QStringLiteral("Cannot connect to DXU %1: Address: %2").arg(a.unit).arg(QLatin1Char(a.address)), false};
    case Question::CannotConnectNetwork:
        return {QStringLiteral("Error"), QStringLiteral("Cannot Connect to DXU units on the network"), false};
    case Question::ResetUnit:
        return {QStringLiteral("Warning"),
                QStringLiteral("This action will reset the unit to previously saved settings.\n\n"
                               "Do you want to continue?"),
                true};
    case Question::UnsavedOnExit:
        return {QStringLiteral("Warning"), unsaved + QStringLiteral("Do you want to terminate program?"), true};
    case Question::UnsavedOnDisconnect:
        return {QStringLiteral("Warning"), unsaved + QStringLiteral("Do you want to disconnect DXU?"), true};
    case Question::UnsavedSetup:
        return {QStringLiteral("Warning"),
                QStringLiteral("The changes to the setup \"%1\" are not saved.\n\nDo you want to discard them?")
                    .arg(a.file),
                true};
    case Question::LookAtOtherRates:
        return {QStringLiteral("DXU Interface"),
                QStringLiteral("No DXU answered at %1 bit/s.\nLook for it at the other rates?").arg(a.rate), true};
    case Question::UseFoundRate:
        return {QStringLiteral("DXU Interface"),
                QStringLiteral("A DXU answered at %1 bit/s.\nUse this rate for RS-232?").arg(a.rate), true};
    case Question::OtherChangesSaved:
        return {QStringLiteral("Warning"),
                QStringLiteral("Other pending parameter changes will also be saved.\n\n"
                               "If you want to continue click on YES, otherwise\n"
                               "Click NO\nClose this window\nClick RESET and repeat\n"
                               "the process of setting new baud rate."),
                true};
    case Question::FollowUnitRate:
        return {QStringLiteral("Baud Rate Change"),
                a.universalPort ? QStringLiteral("Do you like to change the PC Baud Rate accordingly?")
                                : QStringLiteral("Do you want to change the PC Baud Rate accordingly?"),
                true};
    case Question::RateLostTryOther:
        return {QStringLiteral("Baud Rate Change"),
                QStringLiteral("The DXU does not answer at %1 Baud.\n\n"
                               "Do you want to set the PC to %2 Baud and read the DXU settings again?\n"
                               "(No disconnects the DXU.)")
                    .arg(a.rate)
                    .arg(a.otherRate),
                true};
    case Question::RateLost:
        return {QStringLiteral("Baud Rate Change"),
                QStringLiteral("The DXU does not answer at %1 Baud either.\n\n"
                               "The DXU is disconnected. Check its baud rate and connect again.")
                    .arg(a.rate),
                false};
    case Question::RestoreLine: {
        QStringList units;
        for (const QChar address : a.units)
            units << QString(address);
        return {QStringLiteral("Restore Line"),
                QStringLiteral("Restore units %1 from %2?\nTheir settings are overwritten and saved.")
                    .arg(units.join(QStringLiteral(", ")), a.file),
                true};
    }
    }
    return {};
}

} // namespace dxu
