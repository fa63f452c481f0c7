#pragma once

#include "platform/Dialogs.h"
#include "platform/Result.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace tolvan {

class ConfigStore;

// Posting a file with a short mail into the send folder, as a PMBA mail or as
// a regular file mail. The operations show nothing: they return the boxes the
// operator is to see, in order.
namespace FilePost {

inline const QString kSendFile = QStringLiteral("send.dat");
inline const QString kTitle = QStringLiteral("PMBA");
// Put before what went wrong when a PMBA post fails on send.dat, the send
// folder or the attachment file.
inline const QString kSendErrorPrefix = QStringLiteral("PMBA SEND ERROR: ");

// The send folder from the first line of send.dat, ending with "/":
// surrounding spaces and a pair of enclosing double quotes removed; it must
// exist. A failure's box is critical, under title.
Result<QString> ReadSendFolder(const ConfigStore& store, const QString& title);

// "hh-mm-ss--mm-dd-yy", hours 00 to 23.
QString TimeDateStamp(const QDateTime& now);

struct Fields {
    QString to;
    QString from;
    QString subject;
    QString message;
};

// What a post came to: the boxes to show in order (on success too, an
// information box for a PMBA mail; on failure the writer's box may be
// followed by one of the post's own), so it is an outcome record rather than
// a plain success or failure.
struct PostResult {
    bool ok = false;
    QString path;  // the posted file
    qint64 size = 0;
    QList<MessageBoxRequest> boxes;
};

// "Post PMBA to Outbox": the checks in order, then the PMBA mail written as
// "PMBA - <stamp>.pmb" into the send folder.
PostResult PostPmbaMail(const ConfigStore& store, const QDateTime& now, bool pmbaMode, const QString& attachment,
                        const Fields& fields);

// The parts of a regular file mail that hold a comma, by name ("Message",
// "Subject", "To", "From", "file name"): the receiver would cut the mail there.
QStringList FieldsWithComma(const Fields& fields, const QString& fileName);

// "Post Regular to Outbox": the regular file mail written as
// "File - <stamp>.txt" into the send folder. Refused when a field or the file
// name holds a comma, which the receiving station would take for a separator.
PostResult PostRegularMail(const ConfigStore& store, const QDateTime& now, const QString& attachment,
                           const Fields& fields);

} // namespace FilePost
} // namespace tolvan
