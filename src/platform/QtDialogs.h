#pragma once

#include "platform/Dialogs.h"

class QFileDialog;

namespace tolvan {

// Real message boxes and file dialogs (QMessageBox, QFileDialog).
class QtDialogs : public Dialogs {
public:
    MsgAnswer messageBox(const MessageBoxRequest& request) override;
    std::optional<QString> openFileName(const FileDialogRequest& request) override;
    std::optional<QString> saveFileName(const FileDialogRequest& request) override;

    // The text the operator sees for a filter: its description, followed by
    // its patterns in brackets unless the description already ends with them
    // ("Text Files (*.txt)" stays as it is; "All Files" becomes "All Files (*.*)").
    static QString filterLabel(const FileFilter& filter);
    // The filter list in the form QFileDialog reads: each label followed by
    // its patterns separated by spaces. The dialog shows only the labels.
    static QStringList nameFilters(const QList<FileFilter>& filters);
    // Sets title, start path and filters of a dialog the way both choosers do.
    static void prepare(QFileDialog& dialog, const FileDialogRequest& request);
};

} // namespace tolvan
