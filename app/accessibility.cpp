#include "app/accessibility.h"

#include "app/click_label.h"
#include "app/drive_list.h"
#include "app/form1.h"
#include "app/picture.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>

namespace orv {

namespace {

// A ClickLabel as a push button. The press action is for assistive
// technology only; it has no key binding, since Alt+H and Alt+X do nothing.
class ClickLabelAccessible : public QAccessibleWidget {
public:
    explicit ClickLabelAccessible(ClickLabel* label)
        : QAccessibleWidget(label, QAccessible::Button) {}

    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
    void doAction(const QString& name) override {
        if (name == pressAction() && widget()->isEnabled())
            static_cast<ClickLabel*>(widget())->click();
    }
};

// The drive list with a name of its own. On Linux Qt names a combo box by
// its current text, which here changes with every pick; the chosen drive is
// its value and its (read-only) text instead, and its list of drives is its
// child, as for any combo box.
class DriveListAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit DriveListAccessible(DriveList* list)
        : QAccessibleWidget(list, QAccessible::ComboBox) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value)
            return shown();
        return QAccessibleWidget::text(kind);
    }
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(list()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child && child->object() == list()->view() ? 0 : -1;
    }

    // The text: the chosen drive, read only.
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override { return shown().mid(start, end - start); }
    int characterCount() const override { return int(shown().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override {
        *start = 0, *end = characterCount();
        return {};
    }
    QStringList actionNames() const override { return {showMenuAction()}; }
    void doAction(const QString& name) override {
        if (name == showMenuAction() && widget()->isEnabled())
            list()->showPopup();
    }

private:
    DriveList* list() const { return static_cast<DriveList*>(widget()); }
    QString shown() const { return list()->currentText(); }
};

QAccessibleInterface* interfaceFor(const QString&, QObject* object) {
    if (auto* label = qobject_cast<ClickLabel*>(object))
        return new ClickLabelAccessible(label);
    if (auto* list = dynamic_cast<DriveList*>(object))
        return new DriveListAccessible(list);
    // The main window is a frame, whose title screen readers announce.
    if (auto* form = dynamic_cast<Form1*>(object))
        return new QAccessibleWidget(form, QAccessible::Window);
    if (auto* picture = dynamic_cast<Picture*>(object))
        return new QAccessibleWidget(picture, QAccessible::Graphic);
    return nullptr;
}

} // namespace

void installAccessibility() {
    static const bool installed = (QAccessible::installFactory(interfaceFor), true);
    Q_UNUSED(installed);
}

} // namespace orv
