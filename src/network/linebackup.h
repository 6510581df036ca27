#pragma once
// A line's backup folder: one setup file per unit, named by its address, and
// a manifest that lists what the folder holds. The manifest is CSV with the
// header "address,version,file,time" (time in UTC, ISO 8601); a unit is in it
// only once its file was written and flushed to disk.
#include <QDateTime>
#include <QString>

#include <vector>

namespace dxu {

inline constexpr char ManifestName[] = "manifest.csv";

// The setup file of the unit at address: "a.dxu", "7.dxu"; an upper-case
// address is "A-upper.dxu", so that a and A stay two files on a file system
// that does not tell case apart (a USB stick, a Windows share).
QString backupFileName(char address);

struct ManifestRow {
    char address = 0;
    QString version;
    QString file; // relative to the folder
    QDateTime time;
};

// The manifest's text.
QByteArray manifestText(const std::vector<ManifestRow>& rows);

struct Manifest {
    std::vector<ManifestRow> rows;
    QString error; // a sentence naming the file; empty when it was read
    bool ok() const { return error.isEmpty(); }
};
// Reads dir's manifest. A row whose address is no address of the line, whose
// file is not a plain name inside the folder or that repeats an address is
// refused with its line.
Manifest readManifest(const QString& dir);
// Writes dir's manifest whole or not at all (a symbolic link in its place is
// replaced, never followed); empty on success, else a sentence naming the
// file and what went wrong.
QString writeManifest(const QString& dir, const std::vector<ManifestRow>& rows);
// Whether dir holds the unit's own setup file (backupFileName), as a regular
// file (no link) that reads as a setup file.
bool holdsBackupOf(const QString& dir, char address);
// The rows of a new manifest of dir: rows (the units backed up now), then
// every other unit whose own setup file is in the folder and good, with its
// row of the earlier manifest (the good rows of it; a bad line loses only
// itself) or, without one, no version and the file's time.
std::vector<ManifestRow> rowsOfFolder(const QString& dir, std::vector<ManifestRow> rows);

} // namespace dxu
