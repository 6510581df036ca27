#include "ui/settings/offline.h"

#include "engine/asking.h"
#include "protocol/settingcodes.h"
#include "ui/services/messages.h"
#include "settings/fileunits.h"
#include "ui/settings/gather.h"
#include "ui/settings/moderules.h"
#include "ui/settings/settingspanel.h"
#include "ui/settings/setupfiles.h"

#include <QDir>
#include <QFileInfo>

namespace dxu {
namespace {

void clearChangedFlags(UnitRecord& r)
{
    for (const SettingCode& row : settingCodes())
        for (const SettingField& f : row.fields)
            if (f.changed)
                r.*f.changed = 0;
}

// The settings of file in record, with the firmware version that sets the
// panel's limits, and nothing marked for an upload.
void takeSettings(UnitRecord& record, const UnitRecord& file)
{
    record = withFileSettings(record, file);
    record.firmwareVersion = file.firmwareVersion;
    clearChangedFlags(record);
}

} // namespace

OfflineSetup::OfflineSetup(DxuState& state, Ui& ui, SettingsPanel& panel, SetupFiles& files, Asker& asker,
                           Calls calls)
    : st_(state), ui_(ui), panel_(panel), files_(files), asker_(asker), calls_(std::move(calls))
{
}

void OfflineSetup::showNamed()
{
    const QString name = QFileInfo(path_).fileName();
    if (calls_.setTitle)
        calls_.setTitle(QStringLiteral("DXU Interface - Offline - ") + name);
    ui_.setStatusPanel(3, (QStringLiteral(" Offline: ") + name).toStdString());
}

void OfflineSetup::open()
{
    if (st_.connected || (calls_.lineOpen && calls_.lineOpen()))
        return; // a unit's own Open Setup, or a connect under way
    if (!confirmClose())
        return;
    const QString path = files_.chooseOpenPath();
    if (path.isEmpty())
        return;
    const SetupImage image = readSetupFile(path);
    if (!image.ok()) {
        showMessage(QStringLiteral("Error"), image.error);
        return;
    }
    active_ = true;
    offerAfterRead_ = false;
    path_ = path;
    base_ = image.record;
    takeSettings(st_.current(), base_);
    st_.current().settingsRead = 0;
    st_.editRecord = st_.current();
    panel_.setOffline(true);
    // As a read does: the version's limits first, then the settings.
    if (base_.firmwareVersion > 0)
        panel_.applyOldFirmwareLimits();
    panel_.showSettings();
    if (calls_.showLook)
        calls_.showLook();
    showNamed();
}

bool OfflineSetup::write(const QString& path)
{
    // Every check an upload makes; a failure has been shown.
    if (gatherSettings(st_, ui_) < 0)
        return false;
    UnitRecord edited = st_.editRecord;
    // The panel shows distances in the units the setup had; a new choice of
    // units takes the lengths with it, as a unit converts them.
    if (edited.units != st_.current().units) {
        const int32_t units = edited.units;
        edited.units = st_.current().units;
        edited = convertedTo(edited, units);
    }
    UnitRecord out = withFileSettings(base_, edited);
    clearChangedFlags(out);
    const UnitRecord::Image image = out.toBytes();
    if (const SetupImage check = parseSetupImage(image.data(), image.size(), path); !check.ok()) {
        showMessage(QStringLiteral("Error"),
                    QStringLiteral("Nothing was saved: the program could not open such a file again.\n") + check.error);
        return false;
    }
    if (const QString error = writeSetupFile(path, out); !error.isEmpty()) {
        showMessage(QStringLiteral("Error"), error);
        return false;
    }
    base_ = out;
    path_ = path;
    takeSettings(st_.current(), base_);
    panel_.showSettings();
    if (calls_.showLook)
        calls_.showLook();
    showNamed();
    return true;
}

void OfflineSetup::saveAs()
{
    if (!active_)
        return;
    const QString path = files_.chooseSavePath();
    if (!path.isEmpty())
        write(path);
}

void OfflineSetup::save()
{
    if (!active_)
        return;
    if (!QFileInfo::exists(path_)) {
        showMessage(QStringLiteral("Error"), QStringLiteral("The setup file \"%1\" is no longer there; nothing was "
                                                            "saved. Use \"Save Setup As...\" to save it again.")
                                                 .arg(QDir::toNativeSeparators(path_)));
        return;
    }
    write(path_);
}

void OfflineSetup::modeChanged()
{
    const int32_t mode = modeOfItem(ui_.itemIndex("cmbMeasureMode"));
    if (mode < 1 || mode > 4)
        return;
    st_.current().measureMode = mode;
    st_.editRecord.measureMode = mode;
    panel_.showSetting("MM");
}

bool OfflineSetup::unsaved()
{
    if (!active_)
        return false;
    return !differingSettings(base_, st_.current()).empty() || !controlsDifferingFromUnit(st_, ui_).empty();
}

bool OfflineSetup::confirmClose()
{
    if (!unsaved())
        return true;
    Asking asking{Question::UnsavedSetup};
    asking.file = QFileInfo(path_).fileName();
    return asker_.ask(asking);
}

bool OfflineSetup::beforeConnect()
{
    if (!active_ || st_.connected)
        return true;
    if (!confirmClose())
        return false;
    offerAfterRead_ = true;
    return true;
}

void OfflineSetup::connectAnswered()
{
    if (!active_)
        return;
    // The unit's settings are read from here on; the panel is the unit's.
    active_ = false;
    panel_.setOffline(false);
    if (calls_.setTitle)
        calls_.setTitle(QStringLiteral("DXU Interface"));
}

void OfflineSetup::connectUnanswered()
{
    if (active_ && !(calls_.lineOpen && calls_.lineOpen()))
        showNamed();
}

void OfflineSetup::listEnded()
{
    if (!offerAfterRead_ || active_ || !st_.connected)
        return;
    offerAfterRead_ = false;
    if (st_.current().settingsRead)
        files_.offer(path_, base_);
}

} // namespace dxu
