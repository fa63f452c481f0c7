#pragma once

// Recording fakes of the platform services, for tests: they remember every box,
// spoken text, key and start, and answer from queues the test fills.

#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/Dialogs.h"
#include "platform/Processes.h"
#include "platform/Speech.h"

#include <QQueue>
#include <QSet>
#include <QStringList>

#include <functional>
#include <utility>

namespace tolvan {

class FakeDialogs : public Dialogs {
public:
    QList<MessageBoxRequest> boxes;
    QList<FileDialogRequest> fileRequests;
    QQueue<MsgAnswer> answers;                     // for Yes/No boxes; empty means the default button
    QQueue<std::optional<QString>> fileAnswers;    // empty means cancel
    // Runs before a file dialog answers; a test lets it throw to stand for a fault.
    std::function<void()> beforeFileAnswer;

    MsgAnswer messageBox(const MessageBoxRequest& request) override
    {
        boxes.append(request);
        if (request.buttons == MsgButtons::Ok) {
            return MsgAnswer::Ok;
        }
        return answers.isEmpty() ? request.defaultButton : answers.dequeue();
    }
    std::optional<QString> openFileName(const FileDialogRequest& request) override
    {
        fileRequests.append(request);
        if (beforeFileAnswer) {
            beforeFileAnswer();
        }
        return fileAnswers.isEmpty() ? std::nullopt : fileAnswers.dequeue();
    }
    std::optional<QString> saveFileName(const FileDialogRequest& request) override
    {
        fileRequests.append(request);
        if (beforeFileAnswer) {
            beforeFileAnswer();
        }
        return fileAnswers.isEmpty() ? std::nullopt : fileAnswers.dequeue();
    }

    QStringList texts() const
    {
        QStringList out;
        for (const auto& b : boxes) {
            out << b.text;
        }
        return out;
    }
    void clear()
    {
        boxes.clear();
        fileRequests.clear();
    }
};

class FakeSpeaker : public Speaker {
public:
    QStringList spoken;
    bool soundOutput = true; // what available() reports
    bool speak(const QString& text) override
    {
        spoken << text;
        return soundOutput;
    }
    bool available() override { return soundOutput; }
};

class FakeDesktop : public DesktopService {
public:
    QSet<QString> windows;     // titles of the windows that exist
    bool available = true;
    QStringList raised;        // titles raised, in order
    QList<DesktopKey> keys;
    QList<bool> muteRequests;  // the states asked for, in order
    int fileManagerStarts = 0;
    QString fileManagerFolder; // the folder the file manager was last asked to open
    // When set, the file manager's opener starts and then fails with these words.
    QString fileManagerLaterFailure;

    DesktopResult findWindow(const QString& title) override
    {
        if (!available) {
            return DesktopResult::NotAvailable;
        }
        return windows.contains(title) ? DesktopResult::Done : DesktopResult::NotFound;
    }
    DesktopResult raiseWindow(const QString& title, WindowShow) override
    {
        DesktopResult r = findWindow(title);
        if (r == DesktopResult::Done) {
            raised << title;
        }
        return r;
    }
    DesktopResult pressKey(DesktopKey key) override
    {
        if (!available) {
            return DesktopResult::NotAvailable;
        }
        keys << key;
        return DesktopResult::Done;
    }
    DesktopResult setMute(bool muted) override
    {
        if (!available) {
            return DesktopResult::NotAvailable;
        }
        muteRequests << muted;
        return DesktopResult::Done;
    }
    DesktopResult openFileManager(const QString& folder, LaterFailure whenFailed) override
    {
        if (!available) {
            return DesktopResult::NotAvailable;
        }
        ++fileManagerStarts;
        fileManagerFolder = folder;
        if (!fileManagerLaterFailure.isEmpty() && whenFailed) {
            whenFailed(fileManagerLaterFailure);
        }
        return DesktopResult::Done;
    }
};

class FakeProcesses : public ProcessService {
public:
    QSet<QString> running;                // lower-case executable names
    QStringList started;                  // paths passed to start()
    QList<QStringList> startedArguments;  // the arguments of each start
    QList<QPair<QString, QString>> opened; // (file, working folder)
    QList<QStringList> openedArguments;   // the arguments of each open
    bool startSucceeds = true;
    QString startError = QStringLiteral("The system cannot find the file specified.");

    QList<ProcessNames> processes;        // the process list beside the names in running
    int listScans = 0;                    // calls of processList()

    bool isRunning(const QString& name) override { return running.contains(name.toLower()); }
    QList<ProcessNames> processList() override
    {
        ++listScans;
        QList<ProcessNames> list = processes;
        for (const QString& name : running) {
            list.append({QStringLiteral("/opt/radio/") + name, name, name.left(kCommLength)});
        }
        return list;
    }
    Result<qint64> start(const QString& path, const LaunchOptions& options = {}) override
    {
        started << path;
        startedArguments << options.arguments;
        if (!startSucceeds) {
            return Fail(startError);
        }
        keep(options);
        return qint64{4242};
    }
    Result<qint64> open(const QString& file, const QString& folder, const QStringList& arguments,
                        const LaunchOptions& options = {}) override
    {
        opened.append({file, folder});
        openedArguments.append(arguments);
        if (!startSucceeds) {
            return Fail(startError);
        }
        keep(options);
        return qint64{4243};
    }

    QStringList outputFiles;   // the output file of each successful start
    QList<StartWatch> watches; // watches not told yet, oldest first
    // Tells every waiting watch, as the end of the watch time would: the
    // programs still run (no end) or ended with what they printed.
    void endWatches(const std::optional<EarlyEnd>& end = std::nullopt)
    {
        const QList<StartWatch> due = std::exchange(watches, {});
        for (const StartWatch& watch : due) {
            watch(end);
        }
    }

private:
    void keep(const LaunchOptions& options)
    {
        outputFiles << options.outputFile;
        if (options.watch) {
            watches << options.watch;
        }
    }
};

class FakeClock : public Clock {
public:
    QDateTime time = QDateTime(QDate(2026, 12, 5), QTime(14, 35, 7));
    QDateTime now() const override { return time; }
};

} // namespace tolvan
