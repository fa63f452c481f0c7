#include "config/StandardFolders.h"

#include <QDir>
#include <QFileInfo>

namespace tolvan::StandardFolders {

QList<Entry> Plan(const QString& home)
{
    const QString root = QDir::cleanPath(home) + QStringLiteral("/TOLVAN/");
    return {{QStringLiteral("receive.dat"), root + QStringLiteral("Receive")},
            {QStringLiteral("send.dat"), root + QStringLiteral("Send")},
            {QStringLiteral("save.dat"), root + QStringLiteral("Save")},
            {QStringLiteral("received.dat"), root + QStringLiteral("Attachments")}};
}

QString Describe(const QList<Entry>& plan)
{
    QString text = QStringLiteral("These folders will be created (where missing) and used:\n\n");
    const QStringList roles = {QStringLiteral("Received mail"), QStringLiteral("Mail to send"),
                               QStringLiteral("Saved mail"), QStringLiteral("Received attachments")};
    for (qsizetype i = 0; i < plan.size(); ++i) {
        text += QStringLiteral("%1: %2\n").arg(i < roles.size() ? roles[i] : plan[i].storeFile, plan[i].folder);
    }
    text += QStringLiteral("\nEach mail you read is saved in the third (auto-save is switched on).");
    text += QStringLiteral("\nSet your packet program to drop incoming mail in the first and send from the second.");
    return text;
}

Result<> Apply(ConfigStore& store, const QList<Entry>& plan)
{
    for (const Entry& e : plan) {
        if (!QDir().mkpath(e.folder) || !QFileInfo(e.folder).isDir()) {
            return Fail(QStringLiteral("The folder %1 cannot be created.").arg(e.folder));
        }
    }
    for (const Entry& e : plan) {
        const StoreStatus s = store.WriteStoreLine(e.storeFile, e.folder);
        if (!s.ok()) {
            return Fail(QStringLiteral("%1 cannot be written: %2").arg(e.storeFile, s.message));
        }
    }
    // Reading a mail removes it from the receive folder: a working station
    // keeps a copy of each one in the save folder.
    if (const StoreStatus s = store.WriteStoreNumber(QStringLiteral("autosave.dat"), 1); !s.ok()) {
        return Fail(QStringLiteral("autosave.dat cannot be written: %1").arg(s.message));
    }
    return {};
}

} // namespace tolvan::StandardFolders
