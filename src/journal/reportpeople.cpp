#include "journal/reportpeople.h"

#include "services/store.h"

namespace dxu {
namespace {

// Store strings are bytes; the names go in as UTF-8.
QString storedText(const char* name)
{
    QByteArray bytes;
    return Store::readString(QLatin1String(name), bytes) ? QString::fromUtf8(bytes) : QString();
}

} // namespace

ReportPeople storedReportPeople() { return {storedText("Technician"), storedText("Site")}; }

void storeReportPeople(const ReportPeople& people)
{
    Store::writeString(QStringLiteral("Technician"), people.technician.toUtf8());
    Store::writeString(QStringLiteral("Site"), people.site.toUtf8());
}

} // namespace dxu
