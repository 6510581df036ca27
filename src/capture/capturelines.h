#pragma once
// Reading capture files back: the lines as written, and the measured values
// with their time of day, for the viewer's plot and its CSV export.
//
// A capture line starts with its time stamp "hh:mm:ss:cc,   " (cc =
// hundredths). What follows depends on the reply: "12.345,m" (distance),
// "12.3" (intensity), "1.500,m, 12.3" (both), "0, 3, 5.700,10,m" (one target
// of a binning set), "ON " / "OFF" (detection), "ON ,0.500 s" (trip time),
// "ER 32,Invalid PRF" (device error). Only distances and intensities carry a
// value to plot; the other lines are kept as text only.
#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>
#include <string_view>
#include <vector>

namespace dxu {

struct CaptureSample {
    int msOfDay = 0;                 // time stamp, in milliseconds since midnight
    std::optional<double> distance;  // in the unit's own units
    std::optional<double> intensity;
    char unit = 0;                   // 'm' or 'F' with a distance
};

// The value of one line, or nothing when the line holds none (or is not a
// capture line at all). Never reads beyond line.
std::optional<CaptureSample> parseCaptureLine(std::string_view line);

struct CaptureContents {
    QStringList lines;                  // every line without its line break, whole
    std::vector<CaptureSample> samples; // the lines that carry a value, in file order
    QDate lastDate;                     // the date of the last line: the file's
                                        // modification date
    bool read = false;
    QString error;                      // why the file could not be read
};

CaptureContents readCaptureFile(const QString& path);

enum class PlotValue { Distance, Intensity };

// One line per sample that has the value, after a header: the time in ISO
// form with the capture's date (a time earlier than the one before means the
// capture ran past midnight), the value with "." as decimal point, the unit.
QString captureCsv(const CaptureContents& contents, PlotValue value);

// The time of each sample in seconds since the start of the capture's first
// day, so that a capture past midnight keeps rising.
std::vector<double> sampleSeconds(const std::vector<CaptureSample>& samples);

} // namespace dxu
