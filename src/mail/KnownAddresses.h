#pragma once

#include "mail/MailCodec.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tolvan {

class ConfigStore;

// The call signs and addresses the station has already written to or heard
// from, for completing the To and From boxes. Built from the mails on disk
// each time it is asked for; never stored anywhere of its own.
namespace KnownAddresses {

constexpr int kMaxEntries = 500;

// The To and From texts of the mails, in the order given (newest first),
// trimmed, without empty ones or bare prompts, each once (the first spelling
// wins, letter case ignored), at most cap of them.
QStringList FromMails(const QList<MailCodec::MailFields>& newestFirst, int cap = kMaxEntries);

// From the sent copies, the saved mails and the last mail read in the inbox,
// newest file first.
QStringList Collect(const ConfigStore& store, int cap = kMaxEntries);

} // namespace KnownAddresses
} // namespace tolvan
