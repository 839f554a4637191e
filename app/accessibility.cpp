#include "app/accessibility.h"

#include "app/click_label.h"
#include "app/drive_list.h"
#include "app/picture.h"

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
// its value instead.
class DriveListAccessible : public QAccessibleWidget {
public:
    explicit DriveListAccessible(DriveList* list)
        : QAccessibleWidget(list, QAccessible::ComboBox) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value)
            return static_cast<DriveList*>(widget())->currentText();
        return QAccessibleWidget::text(kind);
    }
    QStringList actionNames() const override { return {showMenuAction()}; }
    void doAction(const QString& name) override {
        if (name == showMenuAction() && widget()->isEnabled())
            static_cast<DriveList*>(widget())->showPopup();
    }
};

QAccessibleInterface* interfaceFor(const QString&, QObject* object) {
    if (auto* label = qobject_cast<ClickLabel*>(object))
        return new ClickLabelAccessible(label);
    if (auto* list = dynamic_cast<DriveList*>(object))
        return new DriveListAccessible(list);
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
