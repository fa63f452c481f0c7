#include "terminal/SendQueue.h"

#include "mail/MailCodec.h"
#include "mail/MailFiles.h"
#include "platform/AnsiCodec.h"
#include "platform/SafeFile.h"
#include "pmba/FileMail.h"
#include "pmba/ModPMBA.h"
#include "terminal/FreeName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sys/stat.h>

namespace tolvan {

namespace {

// How much of a file mail is read to find its To field: the fields before the
// carried file are short, and a large mail is never read whole for this.
constexpr qint64 kFileMailHead = 64 * 1024;

QString pmbaTo(const QString& path)
{
    if (!ModPMBA::IsPMBAFile(path)) {
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    // Signature field and version, then the To field.
    if (!ModPMBA::PMBA_ReadText(file).ok() || file.read(4).size() != 4) {
        return {};
    }
    const Result<QString> to = ModPMBA::PMBA_ReadText(file);
    return to.ok() ? to.value() : QString();
}

std::optional<QString> codedMailTo(const QString& path, qint64 size)
{
    if (size > MailCodec::kMaxCodedMailFileBytes) {
        return std::nullopt;
    }
    const Result<QString> text = MailFiles::ReadCodedMailFile(path);
    if (!text.ok() || MailCodec::IsPlainMailText(text.value())) {
        return std::nullopt;
    }
    const MailCodec::ParsedMail mail = MailCodec::ParseCodedMail(text.value());
    // A mail whose To field decoded is enough, whatever came after it.
    if (mail.status == MailCodec::ParsedMail::Status::Ok || mail.decodedFields >= 1) {
        return mail.fields.to;
    }
    return std::nullopt;
}

std::optional<QString> fileMailTo(const QString& path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray head = file.read(kFileMailHead);
    if (size <= kFileMailHead) {
        // Small enough to read as the receiving station does.
        const Result<FileMail::Mail> mail = FileMail::Parse(head);
        return mail.ok() ? std::optional<QString>(mail->to) : std::nullopt;
    }
    // Only the head: Base64 up to the last whole group, and the fields before
    // the carried file must all be in it.
    QByteArray b64;
    b64.reserve(head.size());
    for (char c : head) {
        if (c == '\r' || c == '\n' || c == ' ' || c == '\t') {
            continue;
        }
        const bool alphabet = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                              c == '+' || c == '/';
        if (!alphabet) {
            return std::nullopt;
        }
        b64.append(c);
    }
    b64.truncate(b64.size() - b64.size() % 4);
    const std::optional<QByteArray> bytes = FileMail::Base64DecodeBytes(QByteArrayView(b64));
    if (!bytes) {
        return std::nullopt;
    }
    const QStringList pieces = Ansi::decode(*bytes).split(u',');
    if (pieces.size() < 6) {
        return std::nullopt;
    }
    return pieces.at(2);
}

} // namespace

FileStamp StampOf(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return {};
    }
    FileStamp stamp;
    stamp.size = st.st_size;
    stamp.modifiedMs = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    stamp.inode = st.st_ino;
    return stamp;
}

SendQueue::SendQueue(QString sendFolder)
    : m_folder(std::move(sendFolder))
{
}

QString SendQueue::transmittedFolder() const
{
    return m_folder + QStringLiteral("/Transmitted");
}

QString SendQueue::journalPath() const
{
    return transmittedFolder() + QStringLiteral("/journal.txt");
}

namespace {

// The regular, visible files of folder as the scan sees them: hidden names
// (the writers' temporary files among them), links and folders are never sent.
QList<OutgoingFile> visibleFiles(const QDir& folder)
{
    QList<OutgoingFile> files;
    for (const QFileInfo& info : folder.entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Name)) {
        if (info.fileName().startsWith(u'.')) {
            continue;
        }
        OutgoingFile file;
        file.path = info.absoluteFilePath();
        file.name = info.fileName();
        file.stamp = StampOf(file.path);
        if (file.stamp.size >= 0) { // else gone or not a regular file any more
            files << file;
        }
    }
    return files;
}

} // namespace

QList<Destination> SendQueue::scan(const QString& defaultDestination, QStringList* undeliverable) const
{
    const QDir dir(m_folder);
    QMap<QString, Destination> byCall;
    for (OutgoingFile& file : visibleFiles(dir)) {
        file.destination = DestinationOf(file.path, defaultDestination);
        if (file.destination.isEmpty()) {
            if (undeliverable) {
                undeliverable->append(file.name);
            }
            continue;
        }
        Destination& d = byCall[file.destination];
        d.call = file.destination;
        d.files.append(file);
    }
    // Sub-folders named by a call sign (Transmitted is none): everything in
    // them goes there.
    for (const QFileInfo& folder :
         dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name)) {
        const QString call = folder.fileName().toUpper();
        if (!IsCallSign(call)) {
            continue;
        }
        for (OutgoingFile& file : visibleFiles(QDir(folder.absoluteFilePath()))) {
            file.destination = call;
            Destination& d = byCall[call];
            d.call = call;
            d.files.append(file);
        }
    }
    return byCall.values();
}

QStringList SendQueue::addressFolders() const
{
    QStringList folders;
    const QDir dir(m_folder);
    for (const QFileInfo& folder :
         dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name)) {
        if (IsCallSign(folder.fileName().toUpper())) {
            folders << folder.absoluteFilePath();
        }
    }
    return folders;
}

QString SendQueue::DestinationOf(const QString& path, const QString& defaultDestination)
{
    const qint64 size = QFileInfo(path).size();
    std::optional<QString> to;
    if (ModPMBA::IsPMBAFile(path)) {
        to = pmbaTo(path);
    } else {
        to = codedMailTo(path, size);
        if (!to) {
            to = fileMailTo(path, size);
        }
    }
    if (to) {
        if (const QString call = CallFromToField(*to); !call.isEmpty()) {
            return call;
        }
    }
    const QString fallback = defaultDestination.trimmed().toUpper();
    return IsCallSign(fallback) ? fallback : QString();
}

QString SendQueue::CallFromToField(const QString& field)
{
    QString text = field.trimmed().toUpper();
    // "TO-", "TO:", "TO " and the like: the prompt the screens start the box with.
    if (text.size() > 2 && text.startsWith(QLatin1String("TO")) &&
        QStringLiteral("-: \t").contains(text.at(2))) {
        qsizetype i = 2;
        while (i < text.size() && QStringLiteral("-: \t").contains(text.at(i))) {
            ++i;
        }
        text = text.mid(i).trimmed();
    }
    return IsCallSign(text) ? text : QString();
}

bool SendQueue::IsCallSign(const QString& call)
{
    static const QRegularExpression form(QStringLiteral("^([A-Z0-9]{1,6})(-([0-9]|1[0-5]))?$"));
    const QRegularExpressionMatch m = form.match(call);
    if (!m.hasMatch()) {
        return false;
    }
    const QString base = m.captured(1);
    bool digit = false;
    bool letter = false;
    for (QChar c : base) {
        digit = digit || c.isDigit();
        letter = letter || c.isLetter();
    }
    return digit && letter;
}

Result<SendQueue::SentOutcome> SendQueue::markSent(const OutgoingFile& file, qint64 bytes, double seconds,
                                                   const QDateTime& when) const
{
    const FileStamp now = StampOf(file.path);
    if (now.size < 0) {
        return SentOutcome::Gone;
    }
    if (!(now == file.stamp)) {
        return SentOutcome::Changed;
    }
    const QString folder = transmittedFolder();
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        return Fail(QStringLiteral("The folder %1 could not be made; %2 stays in the send folder.")
                        .arg(folder, file.name));
    }
    // The journal exists before any file moves in, so a sent file of the
    // journal's name gets a number instead of being appended to.
    if (QFile journal(journalPath()); !journal.exists() && journal.open(QIODevice::Append)) {
        journal.close();
    }
    const Result<QString> moved = MoveUnderFreeName(file.path, folder, file.name);
    if (!moved.ok()) {
        return moved.failure();
    }
    const QString line = QStringLiteral("%1\t%2\t%3\t%4\t%5\r\n")
                             .arg(when.toString(Qt::ISODate), file.destination, file.name)
                             .arg(bytes)
                             .arg(seconds, 0, 'f', 1);
    if (const Result<> journal = SafeFile::append(journalPath(), Ansi::encode(line)); !journal.ok()) {
        return Result<SentOutcome>(Fail(QStringLiteral("%1 was sent and moved to %2, but the journal could not be "
                                                       "written: %3")
                                            .arg(file.name, moved.value(), journal.error())),
                                   SentOutcome::Moved);
    }
    return SentOutcome::Moved;
}

} // namespace tolvan
