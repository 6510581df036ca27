#include "ui/app/widgetui.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

namespace dxu {
namespace {

QString qs(std::string_view s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

QColor toColor(Rgb c) { return QColor(c.r, c.g, c.b); }

// Check boxes, radio buttons, checkable group boxes and menu items alike: f
// is called with the control as its own kind; false when it is none of them.
template <typename F>
bool withCheckable(QObject* o, F&& f)
{
    if (auto* b = qobject_cast<QAbstractButton*>(o))
        f(b);
    else if (auto* a = qobject_cast<QAction*>(o))
        f(a);
    else if (auto* g = qobject_cast<QGroupBox*>(o))
        f(g);
    else
        return false;
    return true;
}

} // namespace

QWidget* WidgetUi::widgetNamed(std::string_view name) const { return qobject_cast<QWidget*>(control(name)); }

void WidgetUi::setText(std::string_view name, std::string_view text)
{
    QObject* o = control(name);
    const QString t = qs(text);
    if (auto* l = qobject_cast<QLabel*>(o))
        l->setText(t);
    else if (auto* b = qobject_cast<QAbstractButton*>(o))
        b->setText(t);
    else if (auto* e = qobject_cast<QLineEdit*>(o))
        e->setText(t);
    else if (auto* c = qobject_cast<QComboBox*>(o)) {
        if (c->isEditable())
            c->setEditText(t);
        else if (const int i = c->findText(t); i >= 0)
            c->setCurrentIndex(i);
    } else if (auto* a = qobject_cast<QAction*>(o))
        a->setText(t);
    else if (auto* g = qobject_cast<QGroupBox*>(o))
        g->setTitle(t);
    else if (auto* w = qobject_cast<QWidget*>(o))
        w->setWindowTitle(t);
}

void WidgetUi::setVisible(std::string_view name, bool visible)
{
    QObject* o = control(name);
    if (auto* w = qobject_cast<QWidget*>(o))
        w->setVisible(visible);
    else if (auto* a = qobject_cast<QAction*>(o))
        a->setVisible(visible);
}

bool WidgetUi::isVisible(std::string_view name) const
{
    QObject* o = control(name);
    // A control's own visibility, whether or not its window is on screen.
    if (auto* w = qobject_cast<QWidget*>(o))
        return !w->isHidden();
    if (auto* a = qobject_cast<QAction*>(o))
        return a->isVisible();
    return false;
}

void WidgetUi::setEnabled(std::string_view name, bool enabled)
{
    QObject* o = control(name);
    if (auto* w = qobject_cast<QWidget*>(o))
        w->setEnabled(enabled);
    else if (auto* a = qobject_cast<QAction*>(o))
        a->setEnabled(enabled);
}

bool WidgetUi::isEnabled(std::string_view name) const
{
    QObject* o = control(name);
    // The control's own setting, not whether a hidden or disabled panel
    // around it makes it unusable right now.
    if (auto* w = qobject_cast<QWidget*>(o))
        return !w->testAttribute(Qt::WA_ForceDisabled);
    if (auto* a = qobject_cast<QAction*>(o))
        return a->isEnabled();
    return false;
}

void WidgetUi::setChecked(std::string_view name, bool checked)
{
    withCheckable(control(name), [checked](auto* c) { c->setChecked(checked); });
}

bool WidgetUi::isChecked(std::string_view name) const
{
    QObject* o = control(name);
    bool checked = false;
    if (!withCheckable(o, [&checked](auto* c) { checked = c->isChecked(); }))
        checked = o && o->property("checked").toBool();
    return checked;
}

void WidgetUi::setColor(std::string_view name, Rgb color)
{
    QWidget* w = widgetNamed(name);
    if (!w)
        return;
    const bool button = qobject_cast<QAbstractButton*>(w) != nullptr;
    const QPalette::ColorRole role = button ? QPalette::Button : QPalette::Window;
    // A lamp is set with every result: nothing to do when it shows that colour.
    if (w->palette().color(role) == toColor(color) && w->testAttribute(Qt::WA_SetPalette)
        && (button || w->autoFillBackground()))
        return;
    QPalette p = w->palette();
    if (!button)
        w->setAutoFillBackground(true);
    p.setColor(role, toColor(color));
    w->setPalette(p);
}

void WidgetUi::setButtonFace(std::string_view name)
{
    QWidget* w = widgetNamed(name);
    if (!w)
        return;
    const QPalette standard = QApplication::palette(w);
    QPalette p = w->palette();
    if (qobject_cast<QAbstractButton*>(w))
        p.setColor(QPalette::Button, standard.color(QPalette::Button));
    else
        p.setColor(QPalette::Window, standard.color(QPalette::Button));
    w->setPalette(p);
}

void WidgetUi::setFontStyle(std::string_view name, bool bold, bool italic, const Rgb* textColor)
{
    QWidget* w = widgetNamed(name);
    if (!w)
        return;
    QFont f = w->font();
    f.setBold(bold);
    f.setItalic(italic);
    w->setFont(f);
    const QPalette standard = QApplication::palette(w);
    QPalette p = w->palette();
    // A coloured text is for the usable button; disabled, it looks like any
    // other disabled button.
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (QPalette::ColorRole role : {QPalette::ButtonText, QPalette::WindowText}) {
            const bool coloured = textColor && group != QPalette::Disabled;
            p.setColor(group, role, coloured ? toColor(*textColor) : standard.color(group, role));
        }
    }
    w->setPalette(p);
}

void WidgetUi::repaint(std::string_view name)
{
    if (QWidget* w = widgetNamed(name))
        w->repaint();
}

std::string WidgetUi::text(std::string_view name) const
{
    QObject* o = control(name);
    QString t;
    if (auto* l = qobject_cast<QLabel*>(o))
        t = l->text();
    else if (auto* b = qobject_cast<QAbstractButton*>(o))
        t = b->text();
    else if (auto* e = qobject_cast<QLineEdit*>(o))
        t = e->text();
    else if (auto* c = qobject_cast<QComboBox*>(o))
        t = c->currentText();
    else if (auto* a = qobject_cast<QAction*>(o))
        t = a->text();
    return t.toStdString();
}

// Widgets and menu items alike keep their hint as their tool tip.
void WidgetUi::setHint(std::string_view name, std::string_view hint)
{
    QObject* o = control(name);
    const QString text = QString::fromUtf8(hint.data(), static_cast<qsizetype>(hint.size()));
    if (auto* w = qobject_cast<QWidget*>(o)) {
        if (w->toolTip() != text)
            w->setToolTip(text);
    } else if (auto* a = qobject_cast<QAction*>(o)) {
        a->setToolTip(text);
    }
}

void WidgetUi::setFocus(std::string_view name)
{
    auto* w = qobject_cast<QWidget*>(control(name));
    if (!w)
        return;
    w->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->selectAll();
    else if (auto* box = qobject_cast<QComboBox*>(w); box && box->lineEdit())
        box->lineEdit()->selectAll();
}

std::string WidgetUi::hint(std::string_view name) const
{
    QObject* o = control(name);
    return o ? o->property("toolTip").toString().toStdString() : std::string();
}

namespace {

// Runs change on a combo box; an editable box keeps the text in its edit,
// whatever happens to its items.
template <typename Change>
void changeItems(QComboBox* c, Change change)
{
    if (!c)
        return;
    const QSignalBlocker quiet(c);
    const bool keepText = c->isEditable();
    const QString text = keepText ? c->currentText() : QString();
    change(c);
    if (keepText && c->currentText() != text)
        c->setEditText(text);
}

} // namespace

void WidgetUi::setItemIndex(std::string_view name, int index)
{
    if (auto* c = qobject_cast<QComboBox*>(control(name)))
        c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
}

int WidgetUi::itemIndex(std::string_view name) const
{
    auto* c = qobject_cast<QComboBox*>(control(name));
    return c ? c->currentIndex() : -1;
}

int WidgetUi::itemCount(std::string_view name) const
{
    auto* c = qobject_cast<QComboBox*>(control(name));
    return c ? c->count() : 0;
}

std::string WidgetUi::itemText(std::string_view name, int index) const
{
    auto* c = qobject_cast<QComboBox*>(control(name));
    return c ? c->itemText(index).toStdString() : std::string();
}

void WidgetUi::setItemText(std::string_view name, int index, std::string_view text)
{
    const QString t = qs(text);
    changeItems(qobject_cast<QComboBox*>(control(name)), [&](QComboBox* c) {
        if (index == c->count())
            c->addItem(t);
        else if (index >= 0 && index < c->count())
            c->setItemText(index, t);
    });
}

void WidgetUi::removeItem(std::string_view name, int index)
{
    changeItems(qobject_cast<QComboBox*>(control(name)), [&](QComboBox* c) { c->removeItem(index); });
}

void WidgetUi::onChange(std::string_view name, std::function<void()> handler)
{
    QObject* o = control(name);
    auto run = [handler = std::move(handler)] { handler(); };
    if (auto* b = qobject_cast<QAbstractButton*>(o)) {
        QObject::connect(b, &QAbstractButton::toggled, b, run);
    } else if (auto* e = qobject_cast<QLineEdit*>(o)) {
        QObject::connect(e, &QLineEdit::textChanged, e, run);
    } else if (auto* c = qobject_cast<QComboBox*>(o)) {
        QObject::connect(c, &QComboBox::activated, c, run);
        if (c->lineEdit())
            QObject::connect(c->lineEdit(), &QLineEdit::textEdited, c, run);
    } else if (auto* a = qobject_cast<QAction*>(o)) {
        QObject::connect(a, &QAction::toggled, a, run);
    }
}

void WidgetUi::onClick(std::string_view name, std::function<void()> handler)
{
    QObject* o = control(name);
    auto run = [handler = std::move(handler)] { handler(); };
    if (auto* b = qobject_cast<QAbstractButton*>(o))
        QObject::connect(b, &QAbstractButton::clicked, b, run);
    else if (auto* c = qobject_cast<QComboBox*>(o))
        QObject::connect(c, &QComboBox::activated, c, run);
    else if (auto* a = qobject_cast<QAction*>(o))
        QObject::connect(a, &QAction::triggered, a, run);
}

} // namespace dxu
