#include "ui/settings/setupfiles.h"

#include "services/safewrite.h"
#include "settings/setuptext.h"
#include "ui/services/messages.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace dxu {
namespace {

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

} // namespace

SetupFiles::SetupFiles(DxuState& state, Ui& ui, Calls calls) : st_(state), ui_(ui), calls_(std::move(calls)) {}

QString SetupFiles::unitShown() const
{
    if (!st_.connected)
        return {};
    const UnitRecord& pc = st_.unitTable[0];
    const bool network = st_.networkMode() != 0;
    QString unit = QStringLiteral("COM%1").arg((network ? pc.port485 : pc.port232) + 1);
    if (network)
        unit += QStringLiteral(" address %1").arg(QLatin1Char(st_.current().addressChar()));
    return unit;
}

void SetupFiles::named(const QString& path)
{
    fileName_ = path;
    owner_ = unitShown();
    showTitle();
}

void SetupFiles::showTitle()
{
    if (!calls_.setTitle)
        return;
    const QString unit = unitShown();
    const bool belongs = !fileName_.isEmpty() && !unit.isEmpty() && unit == owner_;
    calls_.setTitle(belongs ? QStringLiteral("DXU Interface - ") + QFileInfo(fileName_).fileName()
                            : QStringLiteral("DXU Interface"));
}

void SetupFiles::open()
{
    const QString path = chooseOpenPath();
    if (path.isEmpty())
        return;
    SetupImage image = readSetupFile(path);
    if (!image.ok()) {
        showMessage(QStringLiteral("Error"), image.error);
        return;
    }
    offer(path, image.record);
}

void SetupFiles::offer(const QString& path, const UnitRecord& file)
{
    named(path);
    // The panel shows the file's settings as edits of the unit's, pending
    // like any typed edit: the unit's record stays as the unit holds it, and
    // Upload sends what the panel then differs in. Showing them marks the
    // panel as edited; Upload keeps its state unless the file brings
    // something new.
    const bool uploadWas = ui_.isEnabled("pbUpload");
    const UnitRecord& unit = st_.current();
    st_.editRecord = fileForUnit(unit, file);
    const std::vector<CompareRow> rows = compareSettings(unit, st_.editRecord);
    if (calls_.showFile)
        calls_.showFile(st_.editRecord);
    if (calls_.showConnectedControls)
        calls_.showConnectedControls();
    ui_.setEnabled("pbUpload", !rows.empty() || uploadWas);
    if (calls_.showCompare)
        calls_.showCompare(rows, path, st_.connected != 0);
}

bool SetupFiles::settingsRead() const
{
    if (st_.connected && st_.current().settingsRead)
        return true;
    showMessage(QStringLiteral("Error"), QStringLiteral("There are no settings to save yet: connect to the "
                                                        "unit so that its settings are read, then try again."));
    return false;
}

void SetupFiles::saveAs() { saveAs(QString()); }

void SetupFiles::saveAs(const QString& proposed)
{
    if (!settingsRead())
        return;
    const QString path = chooseSavePath(proposed);
    if (path.isEmpty())
        return;
    QString error = writeSetupFile(path, st_.current());
    if (!error.isEmpty()) {
        showMessage(QStringLiteral("Error"), error);
        return;
    }
    named(path);
}

void SetupFiles::save()
{
    if (!settingsRead())
        return;
    if (fileName_.isEmpty()) {
        saveAs();
        return;
    }
    // The file holds another unit's settings: never overwritten unasked.
    if (owner_ != unitShown()) {
        saveAs(fileName_);
        return;
    }
    QString error;
    if (!QFileInfo::exists(fileName_))
        error = QStringLiteral("The setup file \"%1\" is no longer there; nothing was saved. "
                               "Use \"Save Setup As...\" to save it again.")
                    .arg(shown(fileName_));
    else
        error = writeSetupFile(fileName_, st_.current());
    if (!error.isEmpty())
        showMessage(QStringLiteral("Error"), error);
}

void SetupFiles::writeChosen(const std::function<QString()>& choose, const std::function<QByteArray()>& text,
                             const char* what, bool ofUnit)
{
    if (ofUnit && !settingsRead())
        return;
    const QString path = choose ? choose() : QString();
    if (path.isEmpty())
        return;
    const QString error = replaceFile(path, text());
    if (error.isEmpty())
        return;
    showMessage(QStringLiteral("Error"),
                QStringLiteral("Cannot save the %1 \"%2\": %3.").arg(QLatin1String(what), shown(path), error));
}

void SetupFiles::exportText(const UnitRecord* file)
{
    const UnitRecord& record = file ? *file : st_.current();
    writeChosen(calls_.chooseText, [&record] { return setupText(record).toUtf8(); }, "setup text", !file);
}

void SetupFiles::saveReport(const UnitRecord* file, const QString& path)
{
    if (!file) {
        writeChosen(calls_.chooseReport, [this] { return reportBytes(); }, "settings report");
        return;
    }
    // The head names the setup file where a unit's report names its port.
    const ReportHead head{QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                          QStringLiteral("Offline: %1").arg(QFileInfo(path).fileName()), {}};
    writeChosen(calls_.chooseReport, [&] { return settingsReport(*file, head).toUtf8(); }, "settings report", false);
}

QByteArray SetupFiles::reportBytes() const
{
    const UnitRecord& pc = st_.unitTable[0];
    const bool rs232 = pc.portInUse == 1;
    const ReportHead head{
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")),
        QStringLiteral("COM%1 (%2)").arg((rs232 ? pc.port232 : pc.port485) + 1).arg(rs232 ? "RS-232" : "RS-485"),
        QString::fromLatin1(st_.versionText, qstrnlen(st_.versionText, sizeof st_.versionText))};
    return settingsReport(st_.current(), head).toUtf8();
}

} // namespace dxu
