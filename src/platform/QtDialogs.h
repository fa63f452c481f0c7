#pragma once

#include "platform/Dialogs.h"

namespace tolvan {

// Real message boxes and file dialogs (QMessageBox, QFileDialog).
class QtDialogs : public Dialogs {
public:
    MsgAnswer messageBox(const MessageBoxRequest& request) override;
    std::optional<QString> openFileName(const FileDialogRequest& request) override;
    std::optional<QString> saveFileName(const FileDialogRequest& request) override;

    // "Text Files (*.txt)" style filter text for QFileDialog.
    static QString filterText(const QList<FileFilter>& filters);
};

} // namespace tolvan
