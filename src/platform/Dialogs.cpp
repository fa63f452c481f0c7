#include "platform/Dialogs.h"

#include "platform/AnsiCodec.h"

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

bool Dialogs::confirmCodePageLoss(const QStringList& texts, const QString& what)
{
    const QString lost = Ansi::lostCharacters(texts.join(u'\n'));
    if (lost.isEmpty()) {
        return true;
    }
    const QString text = QStringLiteral("This %1 holds characters that packet mail cannot carry (it is written in the "
                                        "Windows-1252 code page). Each of them would arrive as \"?\":\n\n%2\n\n"
                                        "Post it anyway?")
                             .arg(what, Ansi::describeCharacters(lost));
    return askYesNo(text, kCodePageLossTitle, MsgAnswer::No);
}

} // namespace tolvan
