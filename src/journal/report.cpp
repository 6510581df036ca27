#include "journal/report.h"

#include "protocol/settingcodes.h"
#include "settings/setupfile.h"

#include <QBuffer>
#include <QDir>
#include <QFontMetrics>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
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

// Drawing on the PDF: a column of lines that breaks to a new page when full.
class Page {
public:
    Page(QPdfWriter& writer, QPainter& painter) : writer_(writer), p_(painter), width_(writer.width()) {}

    void title(const QString& text)
    {
        row({text}, {1.0}, font(16, QFont::Bold));
        y_ += gap();
    }
    void heading(const QString& text)
    {
        y_ += gap();
        row({text}, {1.0}, font(11, QFont::Bold));
    }
    // One row of cells, each given a share of the width; words wrap inside
    // their cell.
    void row(const std::vector<QString>& cells, const std::vector<double>& shares, const QFont& font = body())
    {
        p_.setFont(font);
        const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
        std::vector<QRect> rects;
        int x = 0, height = QFontMetrics(font, &writer_).height();
        for (size_t i = 0; i < cells.size(); ++i) {
            const int w = static_cast<int>(shares[i] * width_);
            const QRect r(x, 0, w - gap() / 2, 1 << 20);
            height = std::max(height, p_.boundingRect(r, flags, cells[i]).height());
            rects.push_back(r);
            x += w;
        }
        if (y_ + height > writer_.height() && y_ > 0) {
            writer_.newPage();
            y_ = 0;
        }
        for (size_t i = 0; i < cells.size(); ++i)
            p_.drawText(rects[i].translated(0, y_), flags, cells[i]);
        y_ += height + gap() / 4;
    }
    void space(int lines) { y_ += lines * QFontMetrics(body(), &writer_).height(); }

    static QFont body() { return font(9); }
    // The report's typeface. Without ligatures: "fi" and "ff" stay two
    // letters for whoever searches or copies the text.
    static QFont font(int points, QFont::Weight weight = QFont::Normal)
    {
        QFont f(QStringLiteral("DejaVu Sans"), points, weight);
        f.setStyleStrategy(QFont::PreferNoShaping);
        return f;
    }

private:
    int gap() const { return writer_.resolution() / 12; }

    QPdfWriter& writer_;
    QPainter& p_;
    int width_;
    int y_ = 0;
};

} // namespace

JournalFilter changesOfTheDay(const QString& address, const QString& version, const QDateTime& now)
{
    JournalFilter f;
    f.address = address;
    f.version = version;
    f.from = now.toLocalTime().date().startOfDay();
    return f;
}

CommissioningReport commissioningReport(const UnitRecord& unit, const ReportDetails& d, const std::vector<Change>& changes)
{
    CommissioningReport r;
    const char address = unit.addressChar();
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
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(18, 15, 15, 15), QPageLayout::Millimeter);
        writer.setResolution(300);
        writer.setTitle(QStringLiteral("Commissioning Report"));
        writer.setCreator(QStringLiteral("DXU Interface"));
        QPainter painter(&writer);
        Page page(writer, painter);
        page.title(QStringLiteral("DXU Commissioning Report"));
        for (const ReportLine& l : report.head)
            page.row({l.caption, l.unit.isEmpty() ? l.value : l.value + QLatin1Char(' ') + l.unit}, {0.25, 0.75});
        for (const ReportSection& s : report.sections) {
            page.heading(s.title);
            for (const ReportLine& l : s.lines)
                page.row({l.caption, l.value, l.unit}, {0.5, 0.3, 0.2});
        }
        page.heading(QStringLiteral("CHANGES MADE TODAY"));
        if (report.changes.empty())
            page.row({QStringLiteral("No change to this unit is recorded today.")}, {1.0});
        else
            page.row({QStringLiteral("Time"), QStringLiteral("Setting"), QStringLiteral("Old"), QStringLiteral("New"),
                      QStringLiteral("Outcome")},
                     {0.12, 0.3, 0.19, 0.19, 0.2}, Page::font(9, QFont::Bold));
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
        if (!painter.end())
            return QStringLiteral("Cannot write the commissioning report \"%1\".").arg(QDir::toNativeSeparators(path));
    }
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(pdf.data()) == pdf.data().size() && file.commit())
        return {};
    return QStringLiteral("Cannot save the commissioning report \"%1\": %2.")
        .arg(QDir::toNativeSeparators(path), file.errorString());
}

} // namespace dxu
