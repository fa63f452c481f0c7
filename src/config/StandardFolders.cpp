#include "config/StandardFolders.h"

#include "terminal/DirewolfConf.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tolvan::StandardFolders {

QList<Entry> Plan(const QString& home)
{
    const QString root = QDir::cleanPath(home) + QStringLiteral("/TOLVAN/");
    return {{QStringLiteral("receive.dat"), root + QStringLiteral("Receive")},
            {QStringLiteral("send.dat"), root + QStringLiteral("Send")},
            {QStringLiteral("save.dat"), root + QStringLiteral("Save")},
            {QStringLiteral("received.dat"), root + QStringLiteral("Attachments")}};
}

namespace {

const QString kBlank = QStringLiteral("blank");

// The program file a section names, when it is one that exists.
QString storedProgram(const ConfigStore& store, const QString& storeFile)
{
    const StoreValue<QString> v = store.ReadStoreField(storeFile);
    if (!v.ok() || v.value.compare(kBlank, Qt::CaseInsensitive) == 0) {
        return {};
    }
    const QFileInfo file(v.value);
    return file.isAbsolute() && file.isFile() ? v.value : QString();
}

QString executableIn(const QString& folder, const QString& name)
{
    const QFileInfo file(QDir(folder), name);
    return !folder.isEmpty() && file.isFile() && file.isExecutable() ? file.absoluteFilePath() : QString();
}

} // namespace

QStringList PathFolders()
{
    return QString::fromLocal8Bit(qgetenv("PATH")).split(u':', Qt::SkipEmptyParts);
}

QList<Program> PlanPrograms(const ConfigStore& store, const QString& executableFolder, const QStringList& pathFolders)
{
    const auto onPath = [&pathFolders](const QString& name) {
        return pathFolders.isEmpty() ? QString() : QStandardPaths::findExecutable(name, pathFolders);
    };
    QString terminal = executableIn(executableFolder, QStringLiteral("tolvan-terminal"));
    if (terminal.isEmpty()) {
        terminal = onPath(QStringLiteral("tolvan-terminal"));
    }
    QList<Program> programs = {
        {QStringLiteral("TLVTerminal.dat"), QStringLiteral("TOLVAN Terminal"), terminal, false},
        {QStringLiteral("direwolfpacket.dat"), QStringLiteral("Direwolf"), onPath(QStringLiteral("direwolf")), false}};
    for (Program& p : programs) {
        if (const QString chosen = storedProgram(store, p.storeFile); !chosen.isEmpty()) {
            p.path = chosen;
            p.kept = true;
        } else if (p.path.isEmpty()) {
            p.path = kBlank;
        }
    }
    return programs;
}

QString Describe(const QList<Entry>& plan, const QList<Program>& programs)
{
    QString text = QStringLiteral("These folders will be created (where missing) and used:\n\n");
    const QStringList roles = {QStringLiteral("Received mail"), QStringLiteral("Mail to send"),
                               QStringLiteral("Saved mail"), QStringLiteral("Received attachments")};
    for (qsizetype i = 0; i < plan.size(); ++i) {
        text += QStringLiteral("%1: %2\n").arg(i < roles.size() ? roles[i] : plan[i].storeFile, plan[i].folder);
    }
    text += QStringLiteral("\nEach mail you read is saved in the third (auto-save is switched on).");
    text += QStringLiteral("\nSet your packet program to drop incoming mail in the first and send from the second.");
    if (!programs.isEmpty()) {
        text += QStringLiteral("\n\nPacket programs:\n");
    }
    for (const Program& p : programs) {
        text += p.path == kBlank ? QStringLiteral("%1: not installed (left blank)\n").arg(p.name)
                                 : QStringLiteral("%1: %2%3\n").arg(p.name, p.path,
                                                                    p.kept ? QStringLiteral(" (kept)") : QString());
    }
    return text;
}

Result<> Apply(ConfigStore& store, const QList<Entry>& plan, const QList<Program>& programs)
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
    for (const Program& p : programs) {
        if (p.kept) {
            continue;
        }
        if (const StoreStatus s = store.WriteStoreLine(p.storeFile, p.path); !s.ok()) {
            return Fail(QStringLiteral("%1 cannot be written: %2").arg(p.storeFile, s.message));
        }
    }
    // Without a call sign there is nothing to configure yet; the settings
    // screen writes the file when the call sign is typed.
    if (!programs.isEmpty() && DirewolfConf::CallSignStored(store)) {
        if (const Result<DirewolfConf::Outcome> conf = DirewolfConf::WriteForStation(store); !conf.ok()) {
            return conf.failure();
        }
    }
    return {};
}

} // namespace tolvan::StandardFolders
