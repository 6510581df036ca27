#include "journal/report.h"

#include "protocol/settingcodes.h"
#include "settings/setupfile.h"

#include "services/pdfwriter.h"

#include <QDir>
#include <QSaveFile>

#include <array>

namespace dxu {
namespace {

constexpr uint16_t CurrentLoopFlagsOffset = 448;

ReportSection& sectionNamed(std::vector<ReportSection>& sections, const QString& title)
{
    for (ReportSection& s : sections)
        if (s.title == title)
            return s;
    sections.push_back({title, {}});
    return sections.back();
}

QString onOff(bool on) { return on ? QStringLiteral("On") : QStringLiteral("Off"); }

// A calibration point: coarse value in bits 8-15, fine in bits 0-7.
ReportLine calibrationLine(const char* point, int32_t packed)
{
    return {QStringLiteral("Calibration %1").arg(QLatin1String(point)),
            QStringLiteral("coarse %1, fine %2").arg((packed >> 8) & 0xff, 2, 10, QLatin1Char('0')).arg(packed & 0xff, 2, 10,
                                                                                                        QLatin1Char('0')),
            {}};
}

// Laying out the PDF: a column of rows that breaks to a new page when full.
class Page {
public:
    explicit Page(PdfWriter& writer) : w_(writer) {}

    void title(const QString& text)
    {
        row({text}, {1.0}, 16, true);
        y_ += Gap;
    }
    void heading(const QString& text)
    {
        y_ += Gap;
        row({text}, {1.0}, 11, true);
    }
    // One row of cells, each given a share of the width; words wrap inside
    // their cell.
    void row(const std::vector<QString>& cells, const std::vector<double>& shares, double size = Body, bool bold = false)
    {
        std::vector<std::vector<QString>> lines;
        size_t most = 1;
        for (size_t i = 0; i < cells.size(); ++i) {
            lines.push_back(PdfWriter::wrap(cells[i], shares[i] * w_.width() - Gap / 2, size, bold));
            most = std::max(most, lines.back().size());
        }
        const double height = most * PdfWriter::lineHeight(size);
        if (y_ + height > w_.height() && y_ > 0) {
            w_.newPage();
            y_ = 0;
        }
        double x = 0;
        for (size_t i = 0; i < cells.size(); ++i) {
            for (size_t l = 0; l < lines[i].size(); ++l)
                w_.drawText(x, y_ + l * PdfWriter::lineHeight(size), size, bold, lines[i][l]);
            x += shares[i] * w_.width();
        }
        y_ += height + Gap / 4;
    }
    void space(int lines) { y_ += lines * PdfWriter::lineHeight(Body); }

    static constexpr double Body = 9;

private:
    static constexpr double Gap = 6;  // points

    PdfWriter& w_;
    double y_ = 0;
};

} // namespace

JournalFilter changesOfTheDay(const QString& link, const QString& address, const QString& version,
                              const QDateTime& now)
{
    JournalFilter f;
    f.link = link;
    f.address = address;
    f.version = version;
    f.from = now.toLocalTime().date().startOfDay();
    return f;
}

CommissioningReport commissioningReport(const UnitRecord& unit, const ReportDetails& d, const std::vector<Change>& changes)
{
    CommissioningReport r;
    const char address = unit.addressChar();
    r.changesOf = QStringLiteral("this unit on ") + d.link;
    r.head = {{QStringLiteral("Date"), d.date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")), {}},
              {QStringLiteral("Technician"), d.technician, {}},
              {QStringLiteral("Site"), d.site, {}},
              {QStringLiteral("Link"), d.link, {}},
              {QStringLiteral("Rate"), QString::number(d.rate), QStringLiteral("bit/s")},
              {QStringLiteral("Address"), address ? QString(QLatin1Char(address)) : QStringLiteral("none"), {}},
              {QStringLiteral("Version"), d.version, {}}};

    // The settings under the headings of their panels, as the setting-code table groups them.
    for (const SectionInfo& p : settingSections())
        if (p.group)
            sectionNamed(r.sections, QLatin1String(p.group));
    for (const SettingText& s : describeSettings(unit)) {
        const char* group = sectionInfo(s.field->section).group;
        if (!group)
            continue;
        ReportSection& section = sectionNamed(r.sections, QLatin1String(group));
        if (s.offset == CurrentLoopFlagsOffset) {
            section.lines.push_back({QStringLiteral("Current Loop On"), onOff(unit.currentLoopFlags & 1), {}});
            section.lines.push_back({QStringLiteral("Disable Fault Current"), onOff(unit.currentLoopFlags & 2), {}});
        } else {
            section.lines.push_back({s.caption, s.value, s.unit});
        }
    }
    ReportSection& loop = sectionNamed(r.sections, QStringLiteral("CURRENT LOOP"));
    loop.lines.push_back(calibrationLine("4 mA", unit.loopCalibration4mA));
    loop.lines.push_back(calibrationLine("20 mA", unit.loopCalibration20mA));
    r.sections.push_back({QStringLiteral("DXU COMM PORTS"),
                          {{QStringLiteral("Configuration Port Rate"), QString::number(unit.port0Baud), QStringLiteral("bit/s")},
                           {QStringLiteral("Universal Port Rate"), QString::number(unit.port1Baud), QStringLiteral("bit/s")}}});
    r.changes = changes;
    return r;
}

QString writeReportPdf(const QString& path, const CommissioningReport& report)
{
    QByteArray pdf;
    {
        PdfWriter writer(18, 15, 15, 15);
        writer.setTitle(QStringLiteral("Commissioning Report"));
        writer.setCreator(QStringLiteral("DXU Interface"));
        Page page(writer);
        page.title(QStringLiteral("DXU Commissioning Report"));
        for (const ReportLine& l : report.head)
            page.row({l.caption, l.unit.isEmpty() ? l.value : l.value + QLatin1Char(' ') + l.unit}, {0.25, 0.75});
        for (const ReportSection& s : report.sections) {
            page.heading(s.title);
            for (const ReportLine& l : s.lines)
                page.row({l.caption, l.value, l.unit}, {0.5, 0.3, 0.2});
        }
        page.heading(QStringLiteral("CHANGES MADE TODAY"));
        if (report.changes.empty()) {
            page.row({QStringLiteral("No change to %1 is recorded today.").arg(report.changesOf)}, {1.0});
        } else {
            page.row({QStringLiteral("Made to %1, newest first:").arg(report.changesOf)}, {1.0});
            page.row({QStringLiteral("Time"), QStringLiteral("Setting"), QStringLiteral("Old"), QStringLiteral("New"),
                      QStringLiteral("Outcome")},
                     {0.12, 0.3, 0.19, 0.19, 0.2}, Page::Body, true);
        }
        for (const Change& c : report.changes) {
            QString outcome = outcomeText(c.outcome);
            if (!c.detail.isEmpty())
                outcome += QStringLiteral(": ") + c.detail;
            page.row({c.time.toLocalTime().toString(QStringLiteral("HH:mm:ss")), c.caption, c.oldValue, c.newValue,
                      outcome},
                     {0.12, 0.3, 0.19, 0.19, 0.2});
        }
        page.space(3);
        page.row({QStringLiteral("Technician's signature: ______________________________"),
                  QStringLiteral("Date: ______________")},
                 {0.65, 0.35});
        page.space(2);
        page.row({QStringLiteral("Customer's signature: _______________________________"),
                  QStringLiteral("Date: ______________")},
                 {0.65, 0.35});
        pdf = writer.finish();
    }
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(pdf) == pdf.size() && file.commit())
        return {};
    return QStringLiteral("Cannot save the commissioning report \"%1\": %2.")
        .arg(QDir::toNativeSeparators(path), file.errorString());
}

} // namespace dxu
