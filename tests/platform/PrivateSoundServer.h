#pragma once

// A PulseAudio server of the test's own, with one null output on a socket in a
// temporary folder, so tests can play and mute without touching the
// operator's sound.

#include "platform/PlatformTestSupport.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <optional>

namespace tolvan::test {

class PrivateSoundServer {
public:
    ~PrivateSoundServer()
    {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(3000)) {
                m_server.kill();
                m_server.waitForFinished(1000);
            }
        }
    }

    // Empty when the server answers; otherwise why not ("... not installed" when it is missing here).
    QString start()
    {
        const QString pulseaudio = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        if (pulseaudio.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("pactl")).isEmpty()) {
            return QStringLiteral("pulseaudio and pactl (packages pulseaudio, pulseaudio-utils) are not installed");
        }
        if (!m_dir.isValid()) {
            return QStringLiteral("no temporary folder");
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_STATE_HOME"}) {
            env.insert(name, m_dir.path());
        }
        env.remove("DISPLAY");
        m_server.setProcessEnvironment(env);
        m_server.setStandardOutputFile(QProcess::nullDevice());
        m_server.setStandardErrorFile(QProcess::nullDevice());
        m_server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        // -n: none of the machine's configuration, only the two modules named here.
        m_server.start(pulseaudio,
                       {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "--disable-shm=yes",
                        "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socketPath(),
                        "--load=module-null-sink sink_name=tolvan_test"});
        if (!m_server.waitForStarted(5000)) {
            return QStringLiteral("pulseaudio did not start: ") + m_server.errorString();
        }
        if (!waitUntil([&] { return accepts(); }, 10000)) {
            return QStringLiteral("pulseaudio did not open its socket");
        }
        return {};
    }

    QByteArray address() const { return "unix:" + socketPath().toUtf8(); }

    // The default output's mute switch as pactl reads it.
    std::optional<bool> muted() const
    {
        QProcess pactl;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PULSE_SERVER", QString::fromUtf8(address()));
        env.insert("HOME", m_dir.path());
        pactl.setProcessEnvironment(env);
        pactl.start(QStandardPaths::findExecutable(QStringLiteral("pactl")), {"get-sink-mute", "@DEFAULT_SINK@"});
        if (!pactl.waitForFinished(5000) || pactl.exitCode() != 0) {
            return std::nullopt;
        }
        const QByteArray out = pactl.readAllStandardOutput();
        if (out.contains("yes")) {
            return true;
        }
        if (out.contains("no")) {
            return false;
        }
        return std::nullopt;
    }

    QString home() const { return m_dir.path(); }

private:
    QString socketPath() const { return m_dir.filePath(QStringLiteral("native")); }

    bool accepts() const
    {
        return unixSocketAccepts(socketPath());
    }

    QTemporaryDir m_dir;
    QProcess m_server;
};

} // namespace tolvan::test
