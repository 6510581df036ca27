#include "ui/app/boxasker.h"

#include "ui/services/messages.h"

namespace dxu {

bool BoxAsker::ask(const Asking& asking)
{
    const AskingText t = askingText(asking);
    if (t.yesNo)
        return askYesNo(t.caption, t.text);
    if (asking.details.isEmpty())
        showMessage(t.caption, t.text);
    else
        showMessage(t.caption, t.text, asking.details);
    return true;
}

} // namespace dxu
