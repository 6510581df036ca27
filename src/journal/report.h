#pragma once
// The commissioning report of one unit: who, where and when; the line and
// the unit; every setting by panel with its units; the current-loop ranges
// and calibration points; the changes made to the unit today; a signature
// line. Built from the unit's record, the link and the journal's rows alone,
// so it needs no window; written as PDF by Qt's own writer.
#include "journal/journal.h"

#include <QDateTime>
#include <QString>

#include <vector>

namespace dxu {

struct UnitRecord;

struct ReportLine {
    QString caption, value, unit;
};

struct ReportSection {
    QString title;
    std::vector<ReportLine> lines;
};

// What the report says beside the unit's settings.
struct ReportDetails {
    QDateTime date;          // when the report is made (shown in local time)
    QString technician, site;
    QString link;            // the line: "COM 1 (/dev/ttyUSB0)", a device path or a device server's URL
    int rate = 0;            // bit/s
    QString version;         // the unit's version text
};

struct CommissioningReport {
    std::vector<ReportLine> head;        // date, technician, site, link, rate, address, version
    std::vector<ReportSection> sections; // the panels, the current loop, the unit's ports
    QString changesOf;                   // whose changes are listed: "this unit on <link>"
    std::vector<Change> changes;         // today's, newest first
};

CommissioningReport commissioningReport(const UnitRecord& unit, const ReportDetails& details,
                                        const std::vector<Change>& changes);
// The journal's rows for the unit (its link, address and version) from the
// start of the local day of now.
JournalFilter changesOfTheDay(const QString& link, const QString& address, const QString& version,
                              const QDateTime& now);
// Writes the report as PDF to path, whole or not at all. Empty on success,
// else a sentence naming the file.
QString writeReportPdf(const QString& path, const CommissioningReport& report);

} // namespace dxu
