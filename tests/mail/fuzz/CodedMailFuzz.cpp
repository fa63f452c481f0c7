// libFuzzer harness for the coded mail reader: a mail file's bytes, read from
// disk and decoded as the inbox does. Any input must end in the mail's fields
// or a refusal that says why, never a crash, a hang or a leak; and a mail that
// decodes must come back the same when coded again as a sender codes it.

#include "mail/MailCodec.h"
#include "mail/MailFiles.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using namespace tolvan;

namespace {

void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

QString mailPath()
{
    static QTemporaryDir dir;
    return dir.path() + QStringLiteral("/MAIL");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = mailPath();
    {
        QFile f(path);
        require(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        require(f.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size));
    }
    const Result<QString> read = MailFiles::ReadWholeFile(path);
    if (!read.ok()) {
        require(!read.error().isEmpty()); // refused before decoding: it must say why
        return 0;
    }

    using Status = MailCodec::ParsedMail::Status;
    const MailCodec::ParsedMail mail = MailCodec::ParseCodedMail(read.value());
    if (mail.status == Status::BadFormat || mail.status == Status::BadCode || mail.status == Status::Cut) {
        require(!mail.error.isEmpty() && mail.decodedFields < 4); // a refusal says why
    }
    if (mail.status != Status::Ok) {
        return 0;
    }
    require(mail.decodedFields == 4);

    // Coded again (upper-cased, as every sender does), the mail reads back as
    // the upper-cased fields: every code the reader accepts can be written.
    const MailCodec::MailFields& f = mail.fields;
    // Written by a print, which ends the line.
    const QString again = MailCodec::FormatCodedMailLine(f.to, f.subject, f.message, f.from) + "\r\n";
    const MailCodec::ParsedMail back = MailCodec::ParseCodedMail(again);
    require(back.status == Status::Ok);
    require(back.fields.to == MailCodec::UpperCase(f.to));
    require(back.fields.subject == MailCodec::UpperCase(f.subject));
    require(back.fields.message == MailCodec::UpperCase(f.message));
    require(back.fields.from == MailCodec::UpperCase(f.from));
    return 0;
}
