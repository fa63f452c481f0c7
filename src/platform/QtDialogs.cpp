#include "platform/QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace tolvan {

MsgAnswer QtDialogs::messageBox(const MessageBoxRequest& r)
{
    QMessageBox box(QApplication::activeWindow());
    box.setText(r.text);
    box.setWindowTitle(r.title.isEmpty() ? kDefaultBoxTitle : r.title);
    switch (r.icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    if (r.buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(r.defaultButton == MsgAnswer::No ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MsgAnswer::Ok;
}

QString QtDialogs::filterText(const QList<FileFilter>& filters)
{
    QStringList parts;
    for (const FileFilter& f : filters) {
        QString patterns = f.patterns;
        patterns.replace(u';', u' ');
        parts << QStringLiteral("%1 (%2)").arg(f.description, patterns);
    }
    return parts.join(QStringLiteral(";;"));
}

static QString startPath(const FileDialogRequest& r)
{
    QString folder = r.initialFolder.isEmpty() ? QDir::homePath() : r.initialFolder;
    return r.proposedName.isEmpty() ? folder : QDir(folder).filePath(r.proposedName);
}

std::optional<QString> QtDialogs::openFileName(const FileDialogRequest& r)
{
    QString name = QFileDialog::getOpenFileName(QApplication::activeWindow(), r.title, startPath(r),
                                                filterText(r.filters));
    if (name.isEmpty()) {
        return std::nullopt;
    }
    return name;
}

std::optional<QString> QtDialogs::saveFileName(const FileDialogRequest& r)
{
    QString name = QFileDialog::getSaveFileName(QApplication::activeWindow(), r.title, startPath(r),
                                                filterText(r.filters));
    if (name.isEmpty()) {
        return std::nullopt;
    }
    return name;
}

} // namespace tolvan
