#include "ui/services/menuoptions.h"

#include "services/store.h"

namespace dxu {

void readStoredOption(Ui& ui, const char* valueName, int32_t& flag, const char* mirror)
{
    const QString name = QString::fromLatin1(valueName);
    int stored = 0;
    if (Store::readInt(name, stored)) {
        flag = stored;
        ui.setChecked(mirror, stored != 0);
    } else {
        Store::writeInt(name, flag);
    }
}

void storeOption(Ui& ui, const char* valueName, int32_t& flag, const char* mirror)
{
    flag = ui.isChecked(mirror) ? 1 : 0;
    Store::writeInt(QString::fromLatin1(valueName), flag);
}

} // namespace dxu
