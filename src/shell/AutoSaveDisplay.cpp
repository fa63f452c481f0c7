#include "shell/AutoSaveDisplay.h"

#include "shell/Notify.h"
#include "shell/Palette.h"
#include "shell/ScreenRegistry.h"

#include <QAbstractButton>
#include <QCheckBox>

namespace tolvan {

void UpdateAutoSaveDisplay(ScreenRegistry& registry, bool enabled)
{
    const QString text = enabled ? Notify::kAutoSaveOnText : Notify::kAutoSaveOffText;
    const QColor color = enabled ? Palette::kOn : Palette::entry(8);
    for (const QString& name : {QStringLiteral("inboxform"), QStringLiteral("mainmenu")}) {
        Screen* screen = registry.loaded(name);
        if (!screen) {
            continue;
        }
        QPointer<Screen> guard(screen);
        if (auto* box = screen->control<QCheckBox>(QStringLiteral("chkAutoSave"))) {
            // Setting the value runs the box's own click handler, as a click does.
            box->setChecked(enabled);
            if (!guard) {
                continue;
            }
            box->setText(text);
            setBackColor(box, color);
        }
        if (auto* button = screen->control<QAbstractButton>(QStringLiteral("cmdAutoSaveToggle"))) {
            button->setText(text);
            setBackColor(button, color);
        }
    }
}

} // namespace tolvan
