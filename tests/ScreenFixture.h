#pragma once

// A program with fake platform services, a temporary program folder and a
// temporary working folder, for driving screens headless.

#include "platform/Application.h"
#include "platform/fake/FakePlatform.h"
#include "shell/AppContext.h"
#include "shell/ScreenRegistry.h"
#include "shell/Screens.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace tolvan::test {

class ScreenFixture : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    FakeDialogs dialogs;
    FakeSpeaker speaker;
    FakeDesktop desktop;
    FakeProcesses processes;
    FakeClock clock;
    std::unique_ptr<AppContext> context;
    std::unique_ptr<ScreenRegistry> registry;
    int quits = 0;
    QString previousCurrent;

    QString programFolder() const { return tmp.path() + QStringLiteral("/prog"); }

    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        QDir().mkpath(programFolder());
        QDir().mkpath(tmp.path() + QStringLiteral("/work"));
        previousCurrent = QDir::currentPath();
        QDir::setCurrent(tmp.path() + QStringLiteral("/work"));
        LocaleText locale(QLocale(QLocale::English, QLocale::UnitedStates));
        locale.setDateSeparator(QStringLiteral("-"));
        context.reset(new AppContext{ConfigStore(programFolder()), dialogs, speaker, desktop, processes, clock,
                                     locale});
        // Files the tests write count as complete at once; tests of arrivals
        // while a file is written set a quiet period of their own.
        context->receiveWatch.quietPeriod = std::chrono::milliseconds(0);
        // A station that chose auto-save off; the tests of auto-save ask for it.
        writeStore(QStringLiteral("autosave.dat"), "0\r\n");
        registry = std::make_unique<ScreenRegistry>(*context);
        registerAllScreens(*registry);
        registry->setQuitHook([this] { ++quits; });
        if (Application* app = Application::instance()) {
            app->setDialogs(&dialogs);
        }
    }

    void TearDown() override
    {
        if (Application* app = Application::instance()) {
            app->setDialogs(nullptr);
        }
        registry.reset();
        flush();
        QDir::setCurrent(previousCurrent);
    }

    // Lets unloaded screens be deleted.
    static void flush() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    template <class T = QWidget>
    T* control(const QString& screen, const QString& name)
    {
        Screen* s = registry->loaded(screen);
        return s ? s->findChild<T*>(name) : nullptr;
    }

    void click(const QString& screen, const QString& button)
    {
        auto* b = control<QAbstractButton>(screen, button);
        ASSERT_NE(b, nullptr) << button.toStdString();
        b->click();
        flush();
    }

    // Whether the control would be shown with its screen.
    bool shown(const QString& screen, const QString& name)
    {
        QWidget* w = control(screen, name);
        return w && !w->isHidden();
    }

    void writeStore(const QString& name, const QByteArray& bytes)
    {
        QFile f(context->store.StorePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QByteArray readFile(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

} // namespace tolvan::test
