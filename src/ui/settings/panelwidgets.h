#pragma once
// Building the main window's panels: the settings panels and the display
// panel, every control with the objectName its code uses.
#include <QAction>
#include <QLabel>
#include <QString>
#include <QWidget>

#include <functional>
#include <type_traits>

namespace dxu {

// Gives w its objectName (and hint, for widgets and actions) and returns it.
template <typename W>
W* named(W* w, const char* name, const QString& hint = {})
{
    w->setObjectName(QString::fromLatin1(name));
    if constexpr (std::is_base_of_v<QWidget, W> || std::is_base_of_v<QAction, W>) {
        if (!hint.isEmpty())
            w->setToolTip(hint);
    }
    return w;
}

// A label of that name and text.
QLabel* label(QWidget* parent, const char* name, const QString& text, const QString& hint = {});

// The analog group of the output panel is out of sight and has no behaviour;
// its edits share their names with the current-loop settings window, which
// is where those names lead: true for a control inside it.
bool insideHiddenAnalogGroup(const QObject* o);

// Builds the panels of the main window into central, in two columns.
// makeHistogram makes the binning image imgBinning in the given parent.
void buildPanelWidgets(QWidget* central, const std::function<QWidget*(QWidget*)>& makeHistogram);

} // namespace dxu
