#pragma once
// Who made a commissioning report and where: asked once and remembered in the
// store, for the window's report and dxu-cli's alike.
#include <QString>

namespace dxu {

struct ReportPeople {
    QString technician, site;
};
// The remembered technician and site (empty when none).
ReportPeople storedReportPeople();
void storeReportPeople(const ReportPeople& people);

} // namespace dxu
