#pragma once
// The core's questions as message boxes: their captions, texts and buttons.
#include "engine/asking.h"

namespace dxu {

struct AskingText {
    QString caption;
    QString text;
    bool yesNo = false; // a question; otherwise a notice with OK
};

AskingText askingText(const Asking& asking);

class BoxAsker final : public Asker {
public:
    bool ask(const Asking& asking) override;
};

} // namespace dxu
