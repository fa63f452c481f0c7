#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tolvan {

enum class MsgIcon { None, Critical, Exclamation, Information, Question };
enum class MsgButtons { Ok, YesNo };
enum class MsgAnswer { Ok, Yes, No };

struct MessageBoxRequest {
    QString text;
    QString title;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
    MsgAnswer defaultButton = MsgAnswer::Ok;
};

// One entry of a file dialog's filter list, e.g. {"Binary Files", "*.bin;*.exe"}.
struct FileFilter {
    QString description;
    QString patterns;
};

struct FileDialogRequest {
    QString title;
    QList<FileFilter> filters;
    QString proposedName;
    QString initialFolder;
};

// Message boxes and file dialogs. Screens never open a box themselves; they ask
// this service so tests can script the answers.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual MsgAnswer messageBox(const MessageBoxRequest& request) = 0;
    // The chosen file's full path, or nothing when the operator cancelled.
    virtual std::optional<QString> openFileName(const FileDialogRequest& request) = 0;
    virtual std::optional<QString> saveFileName(const FileDialogRequest& request) = 0;

    // Shorthands for the common boxes.
    void critical(const QString& text, const QString& title = {});
    void exclamation(const QString& text, const QString& title = {});
    void information(const QString& text, const QString& title = {});
    // Yes/No question; true when the answer is Yes.
    bool askYesNo(const QString& text, const QString& title, MsgAnswer defaultButton = MsgAnswer::Yes);
    // Before texts are posted: when the code page cannot hold some of their
    // characters, names them and asks whether to post anyway (default No).
    // True when nothing would be lost or the operator goes ahead. what names
    // the thing posted ("mail", "reply", ...).
    bool confirmCodePageLoss(const QStringList& texts, const QString& what);
};

inline const QString kCodePageLossTitle = QStringLiteral("Characters will be lost");

// Title used when a box is shown without one of its own.
inline const QString kDefaultBoxTitle = QStringLiteral("TOLVAN");

} // namespace tolvan
