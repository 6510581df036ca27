#pragma once
// A window and a serial link that ignore everything, for running the protocol
// layer without widgets or a port (benchmarks, the parser fuzzer).
#include "protocol/settingsview.h"
#include "serial/commlink.h"
#include "services/ui.h"

namespace dxu {

class HeadlessUi : public Ui {
public:
    void setText(std::string_view, std::string_view) override {}
    void setVisible(std::string_view, bool) override {}
    bool isVisible(std::string_view) const override { return true; }
    void setEnabled(std::string_view, bool) override {}
    bool isEnabled(std::string_view) const override { return true; }
    void setChecked(std::string_view, bool) override {}
    bool isChecked(std::string_view) const override { return checked; }
    void setColor(std::string_view, Rgb) override {}
    void setButtonFace(std::string_view) override {}
    void setFontStyle(std::string_view, bool, bool, const Rgb*) override {}
    void repaint(std::string_view) override {}
    void setStatusPanel(int, std::string_view) override {}

    bool checked = false; // what every isChecked answers
};

class HeadlessLink : public CommLink {
public:
    bool Connect() override { return true; }
    void Disconnect() override {}
    bool Connected() const override { return true; }
    int32_t SendData(const void*, int32_t size) override { return size > 0 ? size : 0; }
};

// A settings panel and a result display that show nothing.
class HeadlessViews : public SettingsView, public ResultView {};

} // namespace dxu
