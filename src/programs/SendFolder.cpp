#include "programs/SendFolder.h"

#include "config/ConfigStore.h"
#include "monitor/fileoperation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tolvan::SendFolder {

namespace {

MessageBoxRequest box(const QString& text, MsgIcon icon)
{
    return {text, {}, icon, MsgButtons::Ok, MsgAnswer::Ok};
}

QString joined(const QString& folder, const QString& name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

} // namespace

QString ListedFolder(const ConfigStore& store)
{
    if (!store.StoreFileExists(kSendFile)) {
        return {};
    }
    const StoreValue<QString> line = store.ReadStoreLine(kSendFile);
    return line.ok() ? line.value.trimmed() : QString();
}

DeleteOutcome DeleteSelectedFile(const QString& folder, const QString& name)
{
    DeleteOutcome o;
    if (name.isEmpty()) {
        o.boxes << box(QStringLiteral("No file selected to delete."), MsgIcon::Exclamation);
        return o;
    }
    QFile file(joined(folder, name));
    QString why;
    if (folder.isEmpty()) {
        why = QStringLiteral("No send folder is set.");
    } else if (name.contains(u'/') || name == u"." || name == u"..") {
        // Only a name the list shows, never a path leading out of the folder.
        why = QStringLiteral("\"%1\" is not a file of the send folder.").arg(name);
    } else if (!file.remove()) {
        why = file.errorString();
    }
    if (!why.isEmpty()) {
        o.boxes << box(QStringLiteral("Unexpected error: ") + why, MsgIcon::Critical);
        return o;
    }
    o.boxes << box(QStringLiteral("File deleted successfully."), MsgIcon::Information);
    o.refresh = true;
    return o;
}

Result<DeleteAllPlan> PlanDeleteAll(const ConfigStore& store)
{
    // The same reading of the folder as the list, so that what is deleted is
    // what the operator sees listed: a field read would cut a folder name at
    // its first comma and could name another folder.
    const StoreValue<QString> line = store.ReadStoreLine(kSendFile);
    if (!line.ok()) {
        return Fail(box(QStringLiteral("Unexpected error: ") + line.message, MsgIcon::Critical));
    }
    const QString folder = line.value.trimmed();
    QString refusal;
    if (folder.isEmpty()) {
        refusal = QStringLiteral("No send folder is set. Choose the send folder with SETUP on the entry screen.");
    } else if (!QDir::isAbsolutePath(folder)) {
        refusal = QStringLiteral("\"%1\" is not the full path of a folder.").arg(folder);
    } else if (!QFileInfo(folder).isDir()) {
        refusal = QStringLiteral("The send folder \"%1\" does not exist.").arg(folder);
    }
    if (!refusal.isEmpty()) {
        return Fail(box(QStringLiteral("Error deleting files: ") + refusal, MsgIcon::Critical));
    }
    DeleteAllPlan plan;
    plan.folder = folder;
    plan.names = fileoperation::ListedFiles(folder);
    if (!plan.names.isEmpty()) {
        // The mails may not have been transmitted yet: deleting is the operator's call.
        const qsizetype n = plan.names.size();
        const QString text = QStringLiteral("Attempting to delete files in: %1\n\nDelete %2 in the send folder "
                                            "%3?\nThey cannot be brought back.")
                                 .arg(joined(folder, QStringLiteral("*.*")),
                                      n == 1 ? QStringLiteral("the 1 file") : QStringLiteral("all %1 files").arg(n),
                                      folder);
        plan.question = MessageBoxRequest{text, QStringLiteral("Confirmation"), MsgIcon::Question, MsgButtons::YesNo,
                                          MsgAnswer::No};
    }
    return plan;
}

DeleteOutcome DeleteAllFiles(const QString& folder, const QStringList& names)
{
    DeleteOutcome o;
    o.refresh = true;
    if (names.isEmpty()) {
        o.boxes << box(QStringLiteral("Error deleting files: File not found: ") + joined(folder, QStringLiteral("*.*")),
                       MsgIcon::Critical);
        return o;
    }
    const fileoperation::DeleteResult r = fileoperation::DeleteListedFiles(folder, names);
    o.boxes << r.messages;
    if (r.deleted == names.size()) {
        o.boxes << box(QStringLiteral("All files in the directory have been deleted."), MsgIcon::Information);
    } else {
        o.boxes << box(QStringLiteral("Error deleting files: %1 of %2 files could not be deleted.")
                           .arg(names.size() - r.deleted)
                           .arg(names.size()),
                       MsgIcon::Critical);
    }
    return o;
}

} // namespace tolvan::SendFolder
