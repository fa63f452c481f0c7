#include "platform/QtDialogs.h"

#include "platform/ReceivedName.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace tolvan {

MsgAnswer QtDialogs::messageBox(const MessageBoxRequest& r)
{
    QMessageBox box(QApplication::activeWindow());
    // Texts carry names from other stations: shown as plain text, never as
    // markup, with control characters spelt out.
    box.setTextFormat(Qt::PlainText);
    box.setText(ReceivedName::Printable(r.text));
    box.setWindowTitle(ReceivedName::Printable(r.title.isEmpty() ? kDefaultBoxTitle : r.title, false));
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

QString QtDialogs::filterLabel(const FileFilter& f)
{
    const QString description = f.description.trimmed();
    if (description.endsWith(u')') && description.contains(u'(')) {
        return f.description;
    }
    return QStringLiteral("%1 (%2)").arg(f.description, f.patterns);
}

QStringList QtDialogs::nameFilters(const QList<FileFilter>& filters)
{
    QStringList out;
    for (const FileFilter& f : filters) {
        // Qt takes the last bracket group as the patterns and splits it at
        // spaces; the label before it is what the dialog shows.
        QString patterns = f.patterns;
        patterns.replace(u';', u' ');
        out << QStringLiteral("%1 (%2)").arg(filterLabel(f), patterns.simplified());
    }
    return out;
}

static QString startPath(const FileDialogRequest& r)
{
    QString folder = r.initialFolder.isEmpty() ? QDir::homePath() : r.initialFolder;
    return r.proposedName.isEmpty() ? folder : QDir(folder).filePath(r.proposedName);
}

void QtDialogs::prepare(QFileDialog& dialog, const FileDialogRequest& r)
{
    dialog.setWindowTitle(r.title);
    // Set before the filters, which the dialog lists as they are given then.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    if (!r.filters.isEmpty()) {
        dialog.setNameFilters(nameFilters(r.filters));
    }
    const QString start = startPath(r);
    if (r.proposedName.isEmpty()) {
        dialog.setDirectory(start);
    } else {
        dialog.setDirectory(QFileInfo(start).absolutePath());
        dialog.selectFile(start);
    }
}

static std::optional<QString> runDialog(QFileDialog& dialog)
{
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) {
        return std::nullopt;
    }
    return chosen.first();
}

std::optional<QString> QtDialogs::openFileName(const FileDialogRequest& r)
{
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    prepare(dialog, r);
    return runDialog(dialog);
}

std::optional<QString> QtDialogs::saveFileName(const FileDialogRequest& r)
{
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    prepare(dialog, r);
    return runDialog(dialog);
}

} // namespace tolvan
