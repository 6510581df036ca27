#pragma once
// Narrow access to the main window's controls by their objectName, for the
// window side's modules (the panel, the display, the session's looks). The
// window implements it over its real widgets; tests implement it over a plain
// map. The core names no control.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace dxu {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

namespace colors {
inline constexpr Rgb Green{0, 128, 0};
inline constexpr Rgb Silver{192, 192, 192};
inline constexpr Rgb Red{255, 0, 0};
inline constexpr Rgb Lime{0, 255, 0};
inline constexpr Rgb Yellow{255, 255, 0};
} // namespace colors

class Ui {
public:
    virtual ~Ui() = default;
    // Caption or text of a label, button, edit or menu item.
    virtual void setText(std::string_view name, std::string_view text) = 0;
    virtual void setVisible(std::string_view name, bool visible) = 0;
    virtual bool isVisible(std::string_view name) const = 0;
    virtual void setEnabled(std::string_view name, bool enabled) = 0;
    virtual bool isEnabled(std::string_view name) const = 0;
    virtual void setChecked(std::string_view name, bool checked) = 0;
    virtual bool isChecked(std::string_view name) const = 0;
    // Background colour of a lamp or panel.
    virtual void setColor(std::string_view name, Rgb color) = 0;
    // Back to the button-face colour of the platform.
    virtual void setButtonFace(std::string_view name) = 0;
    // Font style of a button: bold, italic, and the text colour when coloured.
    virtual void setFontStyle(std::string_view name, bool bold, bool italic, const Rgb* textColor) = 0;
    virtual void repaint(std::string_view name) = 0;
    // Status bar panel 0..5.
    virtual void setStatusPanel(int index, std::string_view text) = 0;
    // Progress of a long step beside the status panels: text and value of
    // maximum; a maximum of 0 hides it.
    virtual void setProgress(std::string_view /*text*/, int /*value*/, int /*maximum*/) {}

    // Text of a label, button, edit or menu item; of a combo box the edit
    // text (editable) or the selected item's text.
    virtual std::string text(std::string_view /*name*/) const { return {}; }
    // Hint (tooltip) of a control.
    virtual void setHint(std::string_view /*name*/, std::string_view /*hint*/) {}
    // Puts the keyboard focus on a control (and selects an edit's text).
    virtual void setFocus(std::string_view /*name*/) {}
    virtual std::string hint(std::string_view /*name*/) const { return {}; }

    // Combo boxes. Selecting an item from code runs no handler; -1 selects
    // nothing. An editable box keeps its edit text when its items change.
    virtual void setItemIndex(std::string_view /*name*/, int /*index*/) {}
    virtual int itemIndex(std::string_view /*name*/) const { return -1; }
    virtual int itemCount(std::string_view /*name*/) const { return 0; }
    virtual std::string itemText(std::string_view /*name*/, int /*index*/) const { return {}; }
    // Replaces the text of item index; index == itemCount appends an item.
    virtual void setItemText(std::string_view /*name*/, int /*index*/, std::string_view /*text*/) {}
    virtual void removeItem(std::string_view /*name*/, int /*index*/) {}

    // Runs handler whenever the control's value changes, whether the user or
    // the program changed it: the state of a check box, radio button or
    // checkable menu item, the text of an edit. Of a combo box only the
    // user's choice or typing counts.
    virtual void onChange(std::string_view /*name*/, std::function<void()> /*handler*/) {}
    // Runs handler when the user clicks the button, chooses the menu item (a
    // checkable one has its new check mark by then) or picks an item of the
    // combo box; the program setting the value runs nothing.
    virtual void onClick(std::string_view /*name*/, std::function<void()> /*handler*/) {}
};

// The same visibility, or the same usability, for several controls.
inline void showEach(Ui& ui, std::initializer_list<const char*> names, bool shown)
{
    for (const char* n : names)
        ui.setVisible(n, shown);
}

inline void enableEach(Ui& ui, std::initializer_list<const char*> names, bool enabled)
{
    for (const char* n : names)
        ui.setEnabled(n, enabled);
}

} // namespace dxu
