#include "shell/TextBoxes.h"

#include <QPlainTextEdit>

namespace tolvan {

QString boxText(const QPlainTextEdit* box)
{
    QString text = box->toPlainText();
    text.replace(u'\n', QStringLiteral("\r\n"));
    return text;
}

void setBoxText(QPlainTextEdit* box, const QString& text)
{
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    plain.replace(u'\r', u'\n');
    box->setPlainText(plain);
}

} // namespace tolvan
