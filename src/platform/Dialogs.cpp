#include "platform/Dialogs.h"

namespace tolvan {

void Dialogs::critical(const QString& text, const QString& title)
{
    messageBox({text, title, MsgIcon::Critical, MsgButtons::Ok, MsgAnswer::Ok});
}

void Dialogs::exclamation(const QString& text, const QString& title)
{
    messageBox({text, title, MsgIcon::Exclamation, MsgButtons::Ok, MsgAnswer::Ok});
}

void Dialogs::information(const QString& text, const QString& title)
{
    messageBox({text, title, MsgIcon::Information, MsgButtons::Ok, MsgAnswer::Ok});
}

bool Dialogs::askYesNo(const QString& text, const QString& title, MsgAnswer defaultButton)
{
    return messageBox({text, title, MsgIcon::Question, MsgButtons::YesNo, defaultButton}) == MsgAnswer::Yes;
}

} // namespace tolvan
