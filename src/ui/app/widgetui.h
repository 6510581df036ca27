#pragma once
// The controls of the program's windows by objectName: what the protocol, the
// engine and the feature modules see of the widgets (Ui), answered with Qt's
// widgets and menu actions.
#include "ui/services/ui.h"

#include <string_view>

class QObject;
class QWidget;

namespace dxu {

class WidgetUi : public Ui {
public:
    // The control of that name, wherever it lives (nullptr when there is none).
    virtual QObject* control(std::string_view name) const = 0;

    void setText(std::string_view name, std::string_view text) override;
    void setVisible(std::string_view name, bool visible) override;
    bool isVisible(std::string_view name) const override;
    void setEnabled(std::string_view name, bool enabled) override;
    bool isEnabled(std::string_view name) const override;
    void setChecked(std::string_view name, bool checked) override;
    bool isChecked(std::string_view name) const override;
    void setColor(std::string_view name, Rgb color) override;
    void setButtonFace(std::string_view name) override;
    void setFontStyle(std::string_view name, bool bold, bool italic, const Rgb* textColor) override;
    void repaint(std::string_view name) override;
    std::string text(std::string_view name) const override;
    void setHint(std::string_view name, std::string_view hint) override;
    void setFocus(std::string_view name) override;
    std::string hint(std::string_view name) const override;
    void setItemIndex(std::string_view name, int index) override;
    int itemIndex(std::string_view name) const override;
    int itemCount(std::string_view name) const override;
    std::string itemText(std::string_view name, int index) const override;
    void setItemText(std::string_view name, int index, std::string_view text) override;
    void removeItem(std::string_view name, int index) override;
    void onChange(std::string_view name, std::function<void()> handler) override;
    void onClick(std::string_view name, std::function<void()> handler) override;

private:
    QWidget* widgetNamed(std::string_view name) const;
};

} // namespace dxu
