#include "shell/Notify.h"

#include "config/ConfigStore.h"
#include "platform/LocaleText.h"
#include "platform/fake/FakePlatform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tolvan;

namespace {

class NotifyTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    std::unique_ptr<ConfigStore> store;
    void SetUp() override
    {
        QDir().mkpath(tmp.path() + "/prog");
        store = std::make_unique<ConfigStore>(tmp.path() + "/prog");
    }
    void put(const QString& name, const QByteArray& bytes)
    {
        QFile f(store->StorePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray read(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};

} // namespace

TEST_F(NotifyTest, SoundIsOnUnlessTheSwitchReadsAsANumberOtherThanOne)
{
    EXPECT_TRUE(Notify::IsSoundEnabled(*store)); // missing
    const std::pair<const char*, bool> cases[] = {{"1\r\n", true}, {"0\r\n", false}, {"", true},
                                                  {"ON\r\n", true}, {"2\r\n", false}, {" 0 ,x\r\n", false}};
    for (const auto& [content, expected] : cases) {
        put("soundsettings.dat", content);
        EXPECT_EQ(Notify::IsSoundEnabled(*store), expected) << content;
    }
    FakeSpeaker speaker;
    put("soundsettings.dat", "0\r\n");
    Notify::AnnounceIfEnabled(*store, speaker, "Welcome");
    EXPECT_TRUE(speaker.spoken.isEmpty());
    Notify::SaveSoundSetting(*store, true);
    EXPECT_EQ(read(store->StorePath("soundsettings.dat")), QByteArray("1\r\n"));
    Notify::AnnounceIfEnabled(*store, speaker, "Welcome");
    EXPECT_EQ(speaker.spoken, QStringList{"Welcome"});
}

TEST_F(NotifyTest, StoredSwitchTexts)
{
    for (const char* on : {"1", "ON", "on", "  On  ", "1.0", " 1"}) {
        EXPECT_TRUE(Notify::AutoSaveLineIsOn(on)) << on;
    }
    for (const char* off : {"0", "OFF", "", "2", "ONE"}) {
        EXPECT_FALSE(Notify::AutoSaveLineIsOn(off)) << off;
    }
    EXPECT_TRUE(Notify::SoundStateLineIsOn("on"));
    EXPECT_FALSE(Notify::SoundStateLineIsOn(" ON")); // not trimmed
}

TEST_F(NotifyTest, SavedMailsOfOneMinuteShareAFile)
{
    QDir().mkpath(tmp.path() + "/save");
    put("save.dat", (tmp.path() + "/save,ignored\r\n").toUtf8());
    LocaleText locale;
    locale.setDateSeparator("/"); // made safe in the name
    const QDateTime t(QDate(2024, 3, 15), QTime(14, 30, 5));
    const MailCodec::MailFields mail{"TO: A", "Subject: S", "line1\r\nline2", "From- B"};
    ASSERT_TRUE(Notify::SaveMailToSaveFolder(*store, t, locale, mail).ok());
    const Result<QString> second = Notify::SaveMailToSaveFolder(*store, t.addSecs(30), locale, mail);
    ASSERT_TRUE(second.ok()) << second.error().toStdString();
    EXPECT_EQ(second.value(), tmp.path() + "/save/mail_24-03-15_1430.dat");
    EXPECT_EQ(read(second.value()), QByteArray("TO: A,Subject: S,line1\r\nline2,From- B\r\n").repeated(2));
}

TEST_F(NotifyTest, SaveAndSelfTestNameWhatIsMissing)
{
    const MailCodec::MailFields mail{"TO: TEST", "SUBJECT:TEST", "Hi", "From Test"};
    const QDateTime t(QDate(2024, 3, 15), QTime(14, 30, 5));
    const Result<QString> noSave = Notify::SaveMailToSaveFolder(*store, t, LocaleText(), mail);
    EXPECT_FALSE(noSave.ok());
    EXPECT_TRUE(noSave.error().contains("save.dat"));

    const Result<QString> noReceive = Notify::WriteSelfTestMail(*store, t, mail);
    EXPECT_FALSE(noReceive.ok());
    EXPECT_TRUE(noReceive.error().contains("receive.dat"));

    put("receive.dat", (tmp.path() + "/nowhere\r\n").toUtf8());
    const Result<QString> noFolder = Notify::WriteSelfTestMail(*store, t, mail);
    EXPECT_FALSE(noFolder.ok());
    EXPECT_TRUE(noFolder.error().contains(tmp.path() + "/nowhere"));
}
