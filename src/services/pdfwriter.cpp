#include "services/pdfwriter.h"

#include <QStringList>

#include <array>
#include <cstdint>

namespace dxu {
namespace {

constexpr double PageWidth = 595.276;  // A4 in points
constexpr double PageHeight = 841.89;
constexpr double PointsPerMm = 72.0 / 25.4;
constexpr double Ascent = 0.718;  // of the em, above the baseline

// Helvetica: advance widths in 1/1000 em of characters 32-126 and 160-255.
constexpr std::array<uint16_t, 191> kRegularWidths = {
    278, 278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278,
    556, 556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556,
    1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778,
    667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556,
    333, 556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833, 556, 556,
    556, 556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584, 278,
    333, 556, 556, 556, 556, 260, 556, 333, 737, 370, 556, 584, 333, 737, 333, 400,
    584, 333, 333, 333, 556, 537, 278, 333, 333, 365, 556, 834, 834, 834, 611, 667,
    667, 667, 667, 667, 667, 1000, 722, 667, 667, 667, 667, 278, 278, 278, 278, 722,
    722, 778, 778, 778, 778, 778, 584, 778, 722, 722, 722, 722, 667, 667, 611, 556,
    556, 556, 556, 556, 556, 889, 500, 556, 556, 556, 556, 278, 278, 278, 278, 556,
    556, 556, 556, 556, 556, 556, 584, 611, 556, 556, 556, 556, 500, 556, 500,
};
// Helvetica-Bold: advance widths in 1/1000 em of characters 32-126 and 160-255.
constexpr std::array<uint16_t, 191> kBoldWidths = {
    278, 333, 474, 556, 556, 889, 722, 238, 333, 333, 389, 584, 278, 333, 278, 278,
    556, 556, 556, 556, 556, 556, 556, 556, 556, 556, 333, 333, 584, 584, 584, 611,
    975, 722, 722, 722, 722, 667, 611, 778, 722, 278, 556, 722, 611, 833, 722, 778,
    667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 333, 278, 333, 584, 556,
    333, 556, 611, 556, 611, 556, 333, 611, 611, 278, 278, 556, 278, 889, 611, 611,
    611, 611, 389, 556, 333, 611, 556, 778, 556, 556, 500, 389, 280, 389, 584, 278,
    333, 556, 556, 556, 556, 280, 556, 333, 737, 370, 556, 584, 333, 737, 333, 400,
    584, 333, 333, 333, 611, 556, 278, 333, 333, 365, 556, 834, 834, 834, 611, 722,
    722, 722, 722, 722, 722, 1000, 722, 667, 667, 667, 667, 278, 278, 278, 278, 722,
    722, 778, 778, 778, 778, 778, 584, 778, 722, 722, 722, 722, 667, 667, 611, 556,
    556, 556, 556, 556, 556, 889, 556, 556, 556, 556, 556, 278, 278, 278, 278, 611,
    611, 611, 611, 611, 611, 611, 584, 611, 611, 611, 611, 611, 556, 611, 556,
};

// The Latin-1 byte a character is written as.
uint8_t latin1(QChar c)
{
    const ushort u = c.unicode();
    if ((u >= 32 && u <= 126) || (u >= 160 && u <= 255))
        return static_cast<uint8_t>(u);
    return '?';
}

double charWidth(uint8_t c, bool bold)
{
    const auto& table = bold ? kBoldWidths : kRegularWidths;
    return c <= 126 ? table[c - 32] : table[95 + (c - 160)];
}

// A PDF string literal of the text.
QByteArray literal(const QString& text)
{
    QByteArray out("(");
    for (QChar ch : text) {
        const uint8_t c = latin1(ch);
        if (c == '(' || c == ')' || c == '\\')
            out += '\\';
        if (c >= 128)
            out += '\\' + QByteArray::number(c, 8);
        else
            out += static_cast<char>(c);
    }
    return out + ')';
}

QByteArray number(double v) { return QByteArray::number(v, 'f', 2); }

} // namespace

PdfWriter::PdfWriter(double left, double top, double right, double bottom)
    : left_(left * PointsPerMm), top_(top * PointsPerMm), width_(PageWidth - (left + right) * PointsPerMm),
      height_(PageHeight - (top + bottom) * PointsPerMm)
{
}

double PdfWriter::textWidth(const QString& text, double size, bool bold)
{
    double w = 0;
    for (QChar c : text)
        w += charWidth(latin1(c), bold);
    return w * size / 1000.0;
}

std::vector<QString> PdfWriter::wrap(const QString& text, double width, double size, bool bold)
{
    std::vector<QString> lines;
    QString line;
    const auto fits = [&](const QString& s) { return textWidth(s, size, bold) <= width; };
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (fits(candidate)) {
            line = candidate;
            continue;
        }
        if (!line.isEmpty())
            lines.push_back(line);
        line = word;
        // A word wider than the whole line is cut where it must be.
        while (!fits(line) && line.size() > 1) {
            qsizetype n = line.size() - 1;
            while (n > 1 && !fits(line.left(n)))
                --n;
            lines.push_back(line.left(n));
            line = line.mid(n);
        }
    }
    if (!line.isEmpty() || lines.empty())
        lines.push_back(line);
    return lines;
}

void PdfWriter::drawText(double x, double y, double size, bool bold, const QString& text)
{
    const double baseline = PageHeight - top_ - y - size * Ascent;
    pages_.back() += "BT /" + QByteArray(bold ? "F2 " : "F1 ") + number(size) + " Tf " + number(left_ + x) + ' ' +
                     number(baseline) + " Td " + literal(text) + " Tj ET\n";
}

void PdfWriter::newPage() { pages_.emplace_back(); }

QByteArray PdfWriter::finish()
{
    // Objects: 1 catalogue, 2 page tree, 3 and 4 the fonts, 5 the document's
    // information, then a page and its contents for each page.
    std::vector<QByteArray> objects;
    QByteArray kids;
    for (size_t i = 0; i < pages_.size(); ++i)
        kids += QByteArray::number(6 + 2 * i) + " 0 R ";
    objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
    objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages_.size()) + " >>");
    objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold /Encoding /WinAnsiEncoding >>");
    objects.push_back("<< /Title " + literal(title_) + " /Creator " + literal(creator_) + " /Producer " +
                      literal(creator_) + " >>");
    for (size_t i = 0; i < pages_.size(); ++i) {
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + number(PageWidth) + ' ' + number(PageHeight) +
                          "] /Resources << /Font << /F1 3 0 R /F2 4 0 R >> >> /Contents " +
                          QByteArray::number(7 + 2 * i) + " 0 R >>");
        // qCompress gives a zlib stream behind a four-byte length.
        const QByteArray packed = qCompress(pages_[i]).mid(4);
        objects.push_back("<< /Length " + QByteArray::number(packed.size()) + " /Filter /FlateDecode >>\nstream\n" +
                          packed + "\nendstream");
    }

    QByteArray pdf("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n");
    std::vector<qsizetype> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype o : offsets)
        pdf += QByteArray::number(o).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R /Info 5 0 R >>\nstartxref\n" +
           QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

} // namespace dxu
