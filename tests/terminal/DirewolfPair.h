#pragma once

// Two Direwolf sound-card modems joined by a private PulseAudio server, so
// that tests and benches can send AX.25 over a real modem without a radio.
//
// Everything lives in one temporary folder: the sound server (no autospawn,
// its own socket, none of the machine's configuration), two null outputs AB
// and BA, an .asoundrc with four ALSA devices through the pulse plugin, and
// one configuration per modem. Station A plays into AB and listens to
// BA.monitor, station B the other way round. The outputs are turned down to
// -12 dB: at full scale Direwolf reports the audio level as too high and
// decodes worse. AGW and KISS ports are free ports picked at start.
//
// start() returns an empty text when both AGW ports accept, otherwise the
// reason; missing() says whether the programs are not installed at all, which
// is the one reason to skip rather than fail. The destructor stops
// everything, and the children also die with the process that started them.

#include "platform/PlatformTestSupport.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QString>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstring>
#include <memory>

namespace tolvan::test {

class DirewolfPair {
public:
    enum Side { A = 0, B = 1 };

    // Volume of the two outputs: -12 dB on PulseAudio's cubic scale.
    static constexpr int kSinkVolume = 41285;

    explicit DirewolfPair(int baud = 9600, const QString& callA = QStringLiteral("N0AAA"),
                          const QString& callB = QStringLiteral("N0BBB"))
        : m_baud(baud)
        , m_calls{callA, callB}
    {
    }
    ~DirewolfPair()
    {
        for (auto& modem : m_modems) {
            stopProcess(modem.get());
        }
        stopProcess(m_server.get());
    }
    DirewolfPair(const DirewolfPair&) = delete;
    DirewolfPair& operator=(const DirewolfPair&) = delete;

    // Why the pair cannot run on this machine at all; empty when it can.
    static QString missing()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("direwolf")).isEmpty()) {
            return QStringLiteral("direwolf is not installed (Debian package direwolf)");
        }
        return {};
    }

    QString start()
    {
        if (const QString why = missing(); !why.isEmpty()) {
            return why;
        }
        if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty()) {
            return QStringLiteral("pulseaudio is not installed (Debian package pulseaudio)");
        }
        if (!m_dir.isValid()) {
            return QStringLiteral("no temporary folder for the modems");
        }
        if (const QString why = writeFiles(); !why.isEmpty()) {
            return why;
        }
        if (const QString why = startServer(); !why.isEmpty()) {
            return why;
        }
        for (Side side : {A, B}) {
            if (const QString why = startModem(side); !why.isEmpty()) {
                return why;
            }
        }
        return {};
    }

    // Kills one modem, as a crash or a pulled plug would.
    void stopModem(Side side) { stopProcess(m_modems[side].get(), false); }
    // Starts it again on the same ports; empty text when its AGW port accepts.
    QString startModem(Side side)
    {
        stopProcess(m_modems[side].get());
        const QString log = logPath(side);
        QFile::remove(log);
        auto modem = std::make_unique<QProcess>();
        modem->setProcessEnvironment(environment());
        modem->setWorkingDirectory(m_dir.path());
        modem->setStandardOutputFile(log);
        modem->setStandardErrorFile(log, QIODevice::Append);
        modem->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        modem->start(QStandardPaths::findExecutable(QStringLiteral("direwolf")),
                     {"-c", confPath(side), "-t", "0", "-q", "d"});
        QProcess* started = modem.get();
        m_modems[side] = std::move(modem);
        if (!started->waitForStarted(5000)) {
            return QStringLiteral("direwolf %1 did not start: %2").arg(m_calls[side], started->errorString());
        }
        const QByteArray ready = "Ready to accept AGW client application 0 on port " + QByteArray::number(m_agw[side]);
        const QDeadlineTimer deadline(15000);
        while (!readLog(side).contains(ready)) {
            if (started->state() == QProcess::NotRunning || deadline.hasExpired()) {
                return QStringLiteral("direwolf %1 did not open its AGW port %2; it said:\n%3")
                    .arg(m_calls[side])
                    .arg(m_agw[side])
                    .arg(QString::fromLocal8Bit(readLog(side)));
            }
            QThread::msleep(20);
        }
        return {};
    }

    bool running(Side side) const { return m_modems[side] && m_modems[side]->state() != QProcess::NotRunning; }
    quint16 agwPort(Side side) const { return m_agw[side]; }
    QString call(Side side) const { return m_calls[side]; }
    int baud() const { return m_baud; }
    QString folder() const { return m_dir.path(); }
    // What the modem has printed since it last started, for failure messages.
    QByteArray readLog(Side side) const
    {
        QFile f(logPath(side));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString confPath(Side side) const { return path(QStringLiteral("direwolf-%1.conf").arg(m_calls[side])); }
    QString logPath(Side side) const { return path(QStringLiteral("direwolf-%1.log").arg(m_calls[side])); }
    QString socketPath() const { return path(QStringLiteral("pulse-native")); }

    static quint16 freePort()
    {
        QTcpServer probe;
        return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
    }

    static bool write(const QString& path, const QByteArray& text)
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
    }

    QString writeFiles()
    {
        for (Side side : {A, B}) {
            m_agw[side] = freePort();
            m_kiss[side] = freePort();
        }
        if (!m_agw[A] || !m_agw[B] || !m_kiss[A] || !m_kiss[B] ||
            QSet<quint16>{m_agw[A], m_agw[B], m_kiss[A], m_kiss[B]}.size() != 4) {
            return QStringLiteral("no four free TCP ports for the modems");
        }
        const QByteArray socket = socketPath().toUtf8();
        QByteArray script = "load-module module-native-protocol-unix auth-anonymous=1 socket=" + socket + "\n";
        for (const char* sink : {"AB", "BA"}) {
            script += QByteArray("load-module module-null-sink rate=48000 channels=1 sink_name=") + sink + "\n";
            script += QByteArray("set-sink-volume ") + sink + " " + QByteArray::number(kSinkVolume) + "\n";
        }
        // The modems find their sound devices in the ALSA file of their home folder.
        QByteArray alsa;
        const char* devices[][3] = {
            {"a_out", "AB", ""}, {"a_in", "BA", ".monitor"}, {"b_out", "BA", ""}, {"b_in", "AB", ".monitor"}};
        for (const auto& d : devices) {
            alsa += QByteArray("pcm.") + d[0] + " { type pulse device " + d[1] + d[2] + " server \"unix:" + socket +
                    "\" }\n";
        }
        bool ok = write(path(QStringLiteral("default.pa")), script) && write(path(QStringLiteral(".asoundrc")), alsa) &&
                  write(path(QStringLiteral("client.conf")), "autospawn = no\ndefault-server = unix:" + socket + "\n");
        for (Side side : {A, B}) {
            const QByteArray io = side == A ? "a_in a_out" : "b_in b_out";
            const QByteArray conf = "ADEVICE " + io + "\nARATE 48000\nACHANNELS 1\nCHANNEL 0\nMYCALL " +
                                    m_calls[side].toLatin1() + "\nMODEM " + QByteArray::number(m_baud) + "\nAGWPORT " +
                                    QByteArray::number(m_agw[side]) + "\nKISSPORT " + QByteArray::number(m_kiss[side]) +
                                    "\nPACLEN 256\nEMAXFRAME 32\nFRACK 3\nRETRY 10\n";
            ok = ok && write(confPath(side), conf);
        }
        return ok ? QString() : QStringLiteral("cannot write the modem set-up in %1").arg(m_dir.path());
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"}) {
            env.insert(name, m_dir.path());
        }
        env.insert("PULSE_SERVER", "unix:" + socketPath());
        env.insert("PULSE_CLIENTCONFIG", path(QStringLiteral("client.conf")));
        env.remove("ALSA_CONFIG_PATH");
        env.remove("DISPLAY");
        return env;
    }

    QString startServer()
    {
        m_server = std::make_unique<QProcess>();
        m_server->setProcessEnvironment(environment());
        m_server->setStandardOutputFile(path(QStringLiteral("pulseaudio.log")));
        m_server->setStandardErrorFile(path(QStringLiteral("pulseaudio.log")), QIODevice::Append);
        m_server->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        // -n: none of the machine's configuration, only the script written above.
        m_server->start(QStandardPaths::findExecutable(QStringLiteral("pulseaudio")),
                        {"-n", "-F", path(QStringLiteral("default.pa")), "--daemonize=no", "--exit-idle-time=-1",
                         "--use-pid-file=no", "--disable-shm=yes", "--log-target=stderr"});
        if (!m_server->waitForStarted(5000)) {
            return QStringLiteral("pulseaudio did not start: ") + m_server->errorString();
        }
        const QDeadlineTimer deadline(10000);
        while (!socketAccepts()) {
            if (m_server->state() == QProcess::NotRunning || deadline.hasExpired()) {
                QFile log(path(QStringLiteral("pulseaudio.log")));
                return QStringLiteral("pulseaudio did not open its socket; it said:\n") +
                       QString::fromLocal8Bit(log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray());
            }
            QThread::msleep(20);
        }
        return {};
    }

    bool socketAccepts() const
    {
        return unixSocketAccepts(socketPath());
    }

    // Politely where asked (so the sound server lets go of its clients), else at once.
    static void stopProcess(QProcess* process, bool polite = true)
    {
        if (!process || process->state() == QProcess::NotRunning) {
            return;
        }
        if (polite) {
            process->terminate();
            if (process->waitForFinished(3000)) {
                return;
            }
        }
        process->kill();
        process->waitForFinished(3000);
    }

    int m_baud;
    std::array<QString, 2> m_calls;
    std::array<quint16, 2> m_agw{};
    std::array<quint16, 2> m_kiss{};
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_server;
    std::array<std::unique_ptr<QProcess>, 2> m_modems;
};

} // namespace tolvan::test
