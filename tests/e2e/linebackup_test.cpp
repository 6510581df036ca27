// "Back Up Line" and "Restore Line" in the window against a simulated line
// of three units, one silent: each unit's result in the list, and Cancel.
// That the restored images equal the backed-up ones is dxu-cli's test.
#include "e2e/e2efixture.h"
#include "ui/network/linebackupwindow.h"
#include "ui/network/networkedit.h"
#include "settings/setupfile.h"

#include <QListWidget>
#include <QProcess>

namespace dxu::test {
namespace {

class LineBackupWindow : public EndToEnd {
protected:
    QStringList results()
    {
        QStringList out;
        auto* list = qobject_cast<QListWidget*>(top().control("lstLineResults"));
        for (int i = 0; list && i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }
    // Runs a menu item of the File menu and waits for its run to end.
    void run(const char* item)
    {
        TfrmLineBackup* window = top().lineBackup();
        ASSERT_TRUE(window->canStart());
        click(item);
        ASSERT_TRUE(window->running());
        ASSERT_TRUE(waitFor([&] { return !window->running(); }, 30000));
    }
    static int cli(const QStringList& args)
    {
        QProcess p;
        p.start(QStringLiteral(DXU_CLI_PATH), args);
        return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    QTemporaryDir folder;
    ScriptedMessages messages;
    ScriptedFileDialogs files;
};

TEST_F(LineBackupWindow, BackUpTheLineThenRestoreChangedUnits)
{
    TfrmLineBackup::setCliPath(QStringLiteral(DXU_CLI_PATH));
    startSim({"--reply-delay", "0", "--units", "a,b,c", "--silent", "b", "--state", folder.filePath("line.state")});
    click("MultiDrop1");
    for (char address : {'a', 'b', 'c'})
        ASSERT_TRUE(addNetworkMember(st(), top(), top().hooks(), {}, addressPosition(address)));
    top().state().unitTable[0].port485 = 0; // COM1, the simulator
    const QString backup = folder.filePath("line");
    QDir().mkpath(backup);

    files.answerNext(backup);
    run("BackupLine1");
    const QStringList backedUp = results();
    ASSERT_EQ(backedUp.size(), 3) << backedUp.join('\n').toStdString();
    EXPECT_EQ(backedUp[0], "a: ok (a.dxu)");
    EXPECT_TRUE(backedUp[1].startsWith("b: FAILED: did not answer")) << backedUp[1].toStdString();
    EXPECT_EQ(backedUp[2], "c: ok (c.dxu)");
    EXPECT_EQ(text("lblLineTask"), "2 of 3 units backed up; see the list.");

    // Both units changed since: another offset, saved.
    SetupImage changed = readSetupFile(backup + "/a.dxu");
    ASSERT_TRUE(changed.ok());
    changed.record.offsetDistance += 1.5f;
    ASSERT_TRUE(writeSetupFile(folder.filePath("changed.dxu"), changed.record).isEmpty());
    ASSERT_EQ(cli({"apply", folder.filePath("changed.dxu"), "--port", "COM 1", "--address", "a,c"}), 0);

    files.answerNext(backup);
    run("RestoreLine1");
    EXPECT_EQ(results(), QStringList({"a: ok (1 setting changed, saved)", "c: ok (1 setting changed, saved)"}));
    EXPECT_EQ(text("lblLineTask"), "All 2 units restored and saved.");
    // Asked first, naming the units and the folder; answered Yes.
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Restore units a, c from " + backup + "?\nTheir settings are overwritten and saved.");

    // Cancel while the silent unit is being waited for: it is interrupted,
    // the unit before it stays backed up, the one after is not tried.
    const QString cancelled = folder.filePath("cancelled");
    files.answerNext(cancelled);
    click("BackupLine1");
    ASSERT_TRUE(waitFor([&] { return results().size() == 1; }, 10000));
    click("pbCancelLine");
    ASSERT_TRUE(waitFor([&] { return !top().lineBackup()->running(); }, 10000));
    const QStringList stopped = results();
    ASSERT_EQ(stopped.size(), 2) << stopped.join('\n').toStdString();
    EXPECT_TRUE(stopped[1].startsWith("b: FAILED: interrupted")) << stopped[1].toStdString();
    EXPECT_EQ(text("lblLineTask"), "1 of 3 units backed up before Cancel; see the list.");
    QFile manifest(cancelled + "/manifest.csv");
    ASSERT_TRUE(manifest.open(QIODevice::ReadOnly));
    EXPECT_EQ(manifest.readAll().count('\n'), 2); // the header and a

    // A folder that takes a's file but neither c's nor the manifest, as a
    // full disk would: no backup, whatever was read.
    const QString full = folder.filePath("full");
    for (const char* taken : {"/c.dxu", "/manifest.csv"})
        QDir().mkpath(full + taken);
    files.answerNext(full);
    run("BackupLine1");
    const QStringList fullRun = results();
    ASSERT_EQ(fullRun.size(), 4) << fullRun.join('\n').toStdString();
    EXPECT_EQ(fullRun[0], "a: ok (a.dxu)");
    EXPECT_TRUE(fullRun[2].startsWith("c: FAILED: Cannot save the setup file")) << fullRun[2].toStdString();
    EXPECT_TRUE(fullRun[3].endsWith("The folder is not a usable backup.")) << fullRun[3].toStdString();
    EXPECT_EQ(text("lblLineTask"), "The manifest was not written: " + full + " is not a usable backup; see the list.");
}

} // namespace
} // namespace dxu::test
