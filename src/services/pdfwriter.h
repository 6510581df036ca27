#pragma once
// A small writer of text-only PDF documents on A4 pages, in the two fonts
// every PDF reader carries (Helvetica and Helvetica-Bold), so that reports can
// be written without a graphics library. Text is Latin-1; a character outside
// it is written as '?'.
#include <QByteArray>
#include <QString>

#include <vector>

namespace dxu {

class PdfWriter {
public:
    // Margins in millimetres: left, top, right, bottom.
    PdfWriter(double left, double top, double right, double bottom);

    void setTitle(const QString& title) { title_ = title; }
    void setCreator(const QString& creator) { creator_ = creator; }

    // The area inside the margins, in points (1/72 inch); y runs downwards
    // from the top margin.
    double width() const { return width_; }
    double height() const { return height_; }

    // Draws one line of text whose top is y points below the top margin.
    void drawText(double x, double y, double size, bool bold, const QString& text);
    void newPage();

    // The width of a text in points, and the height of one line of it.
    static double textWidth(const QString& text, double size, bool bold);
    static double lineHeight(double size) { return size * 1.2; }
    // Breaks a text into lines no wider than width at word boundaries; a word
    // wider than the line is broken where it must be.
    static std::vector<QString> wrap(const QString& text, double width, double size, bool bold);

    // The whole document.
    QByteArray finish();

private:
    double left_, top_, width_, height_;
    QString title_, creator_;
    std::vector<QByteArray> pages_{QByteArray()};
};

} // namespace dxu
