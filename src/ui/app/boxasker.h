#pragma once
// The core's questions as message boxes: their captions, texts and buttons.
#include "engine/asking.h"

namespace dxu {

class BoxAsker final : public Asker {
public:
    bool ask(const Asking& asking) override;
};

} // namespace dxu
