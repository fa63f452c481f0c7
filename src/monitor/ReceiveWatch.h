#pragma once

#include "sevenplus/SevenPlusSets.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>

namespace tolvan {

class ConfigStore;

// The program-wide watch on the receive folder. It lives as long as the
// program, not as long as a screen: Begin when the full main menu is first
// shown (or the received screen loads), End when the main menu's EXIT goes
// back to the entry screen. Every tick it reads "receive.dat" again and
// checks the folder, so that it follows a changed setting and recovers by
// itself when the folder comes back; the files there then count as known.
// The monitor itself is the one StartReceiveMonitor builds, bound to this
// object's timer.
class ReceiveWatch : public QObject {
    Q_OBJECT
public:
    struct State {
        enum class Kind { Off, Watching, NoStoreFile, NoFolderNamed, FolderMissing, FolderUnreadable };
        Kind kind = Kind::Off;
        QString folder;
        // What the last arrival notice failed with, when it failed; the watch
        // goes on regardless.
        QString noticeFailure;
        // One line for the main menu.
        QString text() const;
        bool operator==(const State&) const = default;
    };

    explicit ReceiveWatch(const ConfigStore& store, QObject* parent = nullptr);
    ~ReceiveWatch() override;

    void Begin();
    void End();
    bool isActive() const { return m_active; }
    State state() const { return m_state; }

    // Set before Begin; tests use a short one.
    std::chrono::milliseconds quietPeriod;

    // Whether the named file of the receive folder is still arriving. When the
    // watch does not cover that folder, the file's own time and format decide.
    bool IsStillArriving(const QString& name) const;

    // One tick: the state check, then the monitor's scan (bound to the same timer).
    void Check();
    QTimer* timer() { return &m_timer; }

    // The arrival notice not yet taken up by the operator ("&Read Inbox"):
    // kept here so that the main menu shows it also when it was closed while
    // the file arrived (compose or another screen open).
    struct Notice {
        QString text;
        QString check;
    };
    Notice pendingNotice;

    // The 7PLUS sets of the watched folder as of the last tick.
    const SevenPlusSets::Collector& sevenPlusSets() const { return m_sets; }
    // The sets whose last part is among the arrivals being announced; valid
    // inside the receivers of Arrived.
    const QList<SevenPlusSets::Set>& CompletedSets() const { return m_completed; }

signals:
    // Once per tick in which files became complete arrivals.
    void Arrived(const QString& folder, const QStringList& names);
    void StateChanged(const ReceiveWatch::State& state);
    // After every tick's look at the 7PLUS sets.
    void SetsRefreshed();

private:
    State readState() const;
    void restartMonitor();
    void setState(const State& state);
    // Reads the parts that came or went; returns the sets that became complete.
    QList<SevenPlusSets::Set> refreshSets();
    // IsStillArriving for a file of this receive folder.
    bool stillArrivingIn(const QString& folder, const QString& name, bool reportsRead = false) const;

    const ConfigStore& m_store;
    QTimer m_timer;
    State m_state;
    bool m_active = false;
    SevenPlusSets::Collector m_sets;
    QList<SevenPlusSets::Set> m_completed;
};

} // namespace tolvan
