#pragma once

#include "mail/MailCodec.h"
#include "platform/Result.h"

#include <QDateTime>
#include <QString>

namespace tolvan {

class ConfigStore;
class LocaleText;
class Speaker;

// The sound switch, spoken announcements, the auto-save switch and the
// routines that write the operator's mails into the station's folders.
namespace Notify {

inline const QString kSoundSettingsFile = QStringLiteral("soundsettings.dat");
inline const QString kSoundStateFile = QStringLiteral("soundstate.dat");
inline const QString kAutoSaveFile = QStringLiteral("autosave.dat");

QString GetSoundSettingsPath(const ConfigStore& store);
QString GetAutoSavePath(const ConfigStore& store);

// Announcements are spoken unless the switch reads exactly as the number 0 or
// another number than 1; a missing or unreadable switch means spoken.
bool IsSoundEnabled(const ConfigStore& store);
void SaveSoundSetting(ConfigStore& store, bool enabled);
void SpeakText(Speaker& speaker, const QString& text);
void AnnounceIfEnabled(const ConfigStore& store, Speaker& speaker, const QString& text);

void SaveAutoSaveSetting(ConfigStore& store, bool enabled);
// The auto-save switch as stored. A station without "autosave.dat" (a first
// start) has it on, and the file is written so: reading removes a mail from
// the receive folder, so a new station keeps a copy of each.
bool ReadAutoSaveSetting(ConfigStore& store);
// Whether a stored auto-save line means on: its numeric value is 1, or it is
// "ON" in any letter case with blanks around it.
bool AutoSaveLineIsOn(const QString& line);
// Whether a stored sound-state line means on: exactly "ON" in any letter case.
bool SoundStateLineIsOn(const QString& line);
// The leading number of a text, 0 when it starts with none.
double LeadingNumber(QStringView text);

inline const QString kAutoSaveOnText = QStringLiteral("Receive Auto Save ON");
inline const QString kAutoSaveOffText = QStringLiteral("Receive Auto Save OFF");

// Appends the inbox's four fields as one plain line to the dated file of the
// save folder. The value is the file written; a failure names what is missing
// or failed, for the operator.
Result<QString> SaveMailToSaveFolder(const ConfigStore& store, const QDateTime& now, const LocaleText& locale,
                                     const MailCodec::MailFields& mail);

// Appends the self-test's coded mail to a time-named file in the receive
// folder; the value is the file written.
Result<QString> WriteSelfTestMail(const ConfigStore& store, const QDateTime& now, const MailCodec::MailFields& mail);

} // namespace Notify
} // namespace tolvan
