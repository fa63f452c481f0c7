#include "shell/MainMenuForms.h"

#include "shell/ScreenRegistry.h"

namespace tolvan {

void ShowRestrictedMainMenu(ScreenRegistry& registry)
{
    const QString menu = QStringLiteral("mainmenu");
    registry.setControlVisible(menu, QStringLiteral("SETTINGS"), true);
    for (const char* hidden :
         {"PACKETMAIL", "SEND", "RECEIVE", "RETRIEVE", "Explorer", "chksoundtoggle", "checktnc", "cmdopenstartmenu",
          "cmdsoundtoggle", "cmdAutoSaveToggle", "chkAutoSave", "CmdNPRSYSTEM"}) {
        registry.setControlVisible(menu, QString::fromLatin1(hidden), false);
    }
    registry.Show(menu);
}

} // namespace tolvan
