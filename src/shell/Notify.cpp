#include "shell/Notify.h"

#include "config/ConfigStore.h"
#include "mail/MailFiles.h"
#include "platform/Speech.h"

#include <QFileInfo>

namespace tolvan::Notify {

QString GetSoundSettingsPath(const ConfigStore& store)
{
    return store.StorePath(kSoundSettingsFile);
}

QString GetAutoSavePath(const ConfigStore& store)
{
    return store.StorePath(kAutoSaveFile);
}

bool IsSoundEnabled(const ConfigStore& store)
{
    const StoreValue<int> n = store.ReadStoreNumber(kSoundSettingsFile);
    return !n.ok() || n.value == 1;
}

void SaveSoundSetting(ConfigStore& store, bool enabled)
{
    store.WriteStoreNumber(kSoundSettingsFile, enabled ? 1 : 0);
}

void SpeakText(Speaker& speaker, const QString& text)
{
    // A missing engine or sound device is no reason to stop the operator, nor
    // to keep them waiting: with no sound output nothing is tried.
    if (speaker.available()) {
        speaker.speak(text);
    }
}

void AnnounceIfEnabled(const ConfigStore& store, Speaker& speaker, const QString& text)
{
    if (IsSoundEnabled(store)) {
        SpeakText(speaker, text);
    }
}

void SaveAutoSaveSetting(ConfigStore& store, bool enabled)
{
    store.WriteStoreNumber(kAutoSaveFile, enabled ? 1 : 0);
}

bool ReadAutoSaveSetting(ConfigStore& store)
{
    if (!store.StoreFileExists(kAutoSaveFile)) {
        SaveAutoSaveSetting(store, true);
        return true;
    }
    const StoreValue<QString> line = store.ReadStoreLine(kAutoSaveFile);
    return line.ok() && AutoSaveLineIsOn(line.value);
}

double LeadingNumber(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) {
        ++i;
    }
    const qsizetype start = i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        ++i;
    }
    while (i < text.size() && text[i].isDigit()) {
        ++i;
    }
    if (i < text.size() && text[i] == u'.') {
        ++i;
        while (i < text.size() && text[i].isDigit()) {
            ++i;
        }
    }
    bool ok = false;
    const double v = text.sliced(start, i - start).toDouble(&ok);
    return ok ? v : 0.0;
}

bool AutoSaveLineIsOn(const QString& line)
{
    return LeadingNumber(line) == 1.0 || line.trimmed().toUpper() == u"ON";
}

bool SoundStateLineIsOn(const QString& line)
{
    return line.toUpper() == u"ON";
}

Result<QString> SaveMailToSaveFolder(const ConfigStore& store, const QDateTime& now, const LocaleText& locale,
                                     const MailCodec::MailFields& mail)
{
    const StoreValue<QString> folder = store.ReadStoreField(QStringLiteral("save.dat"));
    if (!folder.ok()) {
        return Fail(QStringLiteral("The save folder is not set up (save.dat: %1). Choose it on the setup screen.")
                        .arg(folder.message));
    }
    const QString path = MailCodec::SavedMailFileName(folder.value, now, locale);
    const QString line = mail.to + u',' + mail.subject + u',' + mail.message + u',' + mail.from;
    if (const Result<> r = MailFiles::AppendLine(path, line); !r.ok()) {
        return r.failure();
    }
    return path;
}

Result<QString> WriteSelfTestMail(const ConfigStore& store, const QDateTime& now, const MailCodec::MailFields& mail)
{
    const StoreValue<QString> folder = store.ReadStoreLine(QStringLiteral("receive.dat"));
    if (folder.error == StoreError::FileNotFound) {
        return Fail(QStringLiteral("The receive folder is not set up: receive.dat was not found.\n"
                                   "Choose the receive folder on the SETUP screen, then run the test again."));
    }
    if (!folder.ok() || folder.value.isEmpty()) {
        return Fail(QStringLiteral("The receive folder could not be read from receive.dat (%1).\n"
                                   "Choose the receive folder on the SETUP screen, then run the test again.")
                        .arg(folder.ok() ? QStringLiteral("the file is empty") : folder.message));
    }
    if (!QFileInfo(folder.value).isDir()) {
        return Fail(QStringLiteral("The receive folder \"%1\" does not exist.\n"
                                   "Create it or choose another on the SETUP screen, then run the test again.")
                        .arg(folder.value));
    }
    const QString path = MailCodec::ReplyMailFileName(folder.value, now);
    if (const Result<> r =
            MailFiles::AppendLine(path, MailCodec::FormatCodedMailLine(mail.to, mail.subject, mail.message, mail.from));
        !r.ok()) {
        return r.failure();
    }
    return path;
}

} // namespace tolvan::Notify
