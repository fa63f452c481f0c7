#pragma once

#include <QString>

class QPlainTextEdit;

namespace tolvan {

// A multi-line box holds its line breaks as CR LF, as the mail files do.
QString boxText(const QPlainTextEdit* box);
void setBoxText(QPlainTextEdit* box, const QString& text);

} // namespace tolvan
