// Mail commands of tolvan-codec: PMBA mails, regular file mails and the coded
// mail line, with the same codecs and messages as the screens. Results are
// JSON objects, so fields holding commas and line breaks reach scripts whole.

#include "CommandTable.h"

#include "mail/MailCodec.h"
#include "mail/MailFiles.h"
#include "platform/AnsiCodec.h"
#include "platform/ReceivedName.h"
#include "pmba/FileMail.h"
#include "pmba/FilePost.h"
#include "pmba/ModPMBA.h"
#include "pmba/SendEstimate.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cmath>

namespace tolvan::codec {

namespace {

const QStringList kMailOptions = {QStringLiteral("to"), QStringLiteral("from"), QStringLiteral("subject"),
                                  QStringLiteral("message")};

int printJson(const Output& io, const QJsonObject& object)
{
    io.out(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + u'\n');
    return ExitOk;
}

int fail(const Output& io, const QString& text)
{
    io.err(terminalText(text));
    return ExitFailed;
}

// Text the code page cannot hold would reach the other station as "?": a
// script has to ask for that with --lossy. Empty when the text may be written.
QString lossyRefusal(const Args& a, const QStringList& texts)
{
    const QString lost = Ansi::lostCharacters(texts.join(u'\n'));
    if (a.lossy || lost.isEmpty()) {
        return {};
    }
    return QStringLiteral("tolvan-codec: the text holds characters that the Windows-1252 code page cannot hold; "
                          "each would be written as \"?\": %1\nGive --lossy to write them as \"?\".")
        .arg(Ansi::describeCharacters(lost));
}

QStringList mailTexts(const Args& a)
{
    return {option(a, "to"), option(a, "from"), option(a, "subject"), option(a, "message")};
}

// The receiver cuts a regular file mail at every comma and would write a
// damaged file. Empty when the texts and the file name hold none.
QString commaRefusal(const Args& a, const QString& attachment)
{
    const QStringList withComma = FilePost::FieldsWithComma(
        {option(a, "to"), option(a, "from"), option(a, "subject"), option(a, "message")},
        attachment.mid(attachment.lastIndexOf(u'/') + 1));
    if (withComma.isEmpty()) {
        return {};
    }
    return QStringLiteral("tolvan-codec: a regular file mail cannot carry a comma; there is one in: %1.\n"
                          "Remove it, or send the file with pmba-create, which carries any text.")
        .arg(withComma.join(QStringLiteral(", ")));
}

int pmbaCreate(const QStringList& args, const Output& io)
{
    Args a;
    if (!parseArgs(args, 2, kMailOptions, LossySwitch, a)) {
        return ExitUsage;
    }
    if (const QString refusal = lossyRefusal(a, mailTexts(a)); !refusal.isEmpty()) {
        return fail(io, refusal);
    }
    const Result<qint64> size =
        ModPMBA::PMBA_CreateBinaryMail(a.positional[1], a.positional[0], option(a, "to"), option(a, "from"),
                                       option(a, "subject"), option(a, "message"));
    if (!size.ok()) {
        return fail(io, size.error());
    }
    return printJson(io, {{QStringLiteral("size"), QJsonValue(double(size.value()))}});
}

int pmbaDecode(const QStringList& args, const Output& io)
{
    Args a;
    if (!parseArgs(args, 2, {}, YesSwitch, a)) {
        return ExitUsage;
    }
    // Without --yes an existing attachment is kept, as the other decoders do.
    const Result<ModPMBA::DecodedPmbaMail> r = ModPMBA::PMBA_DecodeBinaryMail(
        a.positional[0], QDir::cleanPath(QDir(a.positional[1]).absolutePath()),
        a.yes ? ModPMBA::Existing::Replace : ModPMBA::Existing::Keep, SafeFile::Links::Follow);
    if (!r.ok()) {
        const bool exists = r.error().startsWith(QLatin1String("PMBA: A file named"));
        return fail(io, exists ? r.error() + QStringLiteral("\nUse --yes to replace it.") : r.error());
    }
    return printJson(io, {{QStringLiteral("to"), r->to},
                          {QStringLiteral("from"), r->from},
                          {QStringLiteral("subject"), r->subject},
                          {QStringLiteral("message"), r->message},
                          {QStringLiteral("attachment_path"), r->attachmentPath}});
}

int fileMailWrite(const QStringList& args, const Output& io)
{
    Args a;
    if (!parseArgs(args, 2, kMailOptions, LossySwitch, a)) {
        return ExitUsage;
    }
    if (const QString refusal = commaRefusal(a, a.positional[1]); !refusal.isEmpty()) {
        return fail(io, refusal);
    }
    if (const QString refusal = lossyRefusal(a, mailTexts(a)); !refusal.isEmpty()) {
        return fail(io, refusal);
    }
    const Result<qint64> size = FileMail::Write(a.positional[1], a.positional[0], option(a, "to"), option(a, "from"),
                                                option(a, "subject"), option(a, "message"));
    if (!size.ok()) {
        return fail(io, size.error());
    }
    return printJson(io, {{QStringLiteral("size"), QJsonValue(double(size.value()))}});
}

int fileMailRead(const QStringList& args, const Output& io)
{
    Args a;
    if (!parseArgs(args, 2, {}, YesSwitch, a)) {
        return ExitUsage;
    }
    const Result<FileMail::Mail> mail = FileMail::Read(a.positional[0], SafeFile::Links::Follow);
    if (!mail.ok()) {
        return fail(io, mail.error());
    }
    const QString folder = QDir::cleanPath(QDir(a.positional[1]).absolutePath());
    if (!QFileInfo(folder).isDir()) {
        return fail(io, QStringLiteral("Error: Output folder not found: ") + folder);
    }
    // Without --yes an existing file is kept, as when the operator answers No.
    const Result<FileMail::SavedFile> saved = FileMail::SaveCarriedFile(mail.value(), folder, a.yes);
    if (!saved.ok()) {
        return fail(io, saved.error());
    }
    if (saved->status == FileMail::SavedFile::Status::Exists) {
        return fail(io, QStringLiteral("A file named \"%1\" already exists:\n%2\nUse --yes to replace it.")
                            .arg(ReceivedName::Shown(mail->fileName), saved->path));
    }
    return printJson(io, {{QStringLiteral("message"), mail->message},
                          {QStringLiteral("subject"), mail->subject},
                          {QStringLiteral("to"), mail->to},
                          {QStringLiteral("from"), mail->from},
                          {QStringLiteral("filename"), mail->fileName},
                          {QStringLiteral("path"), saved->path}});
}

int mailEncode(const QStringList& args, const Output& io)
{
    Args a;
    if (!parseArgs(args, 0, kMailOptions, LossySwitch, a)) {
        return ExitUsage;
    }
    if (const QString refusal = lossyRefusal(a, mailTexts(a)); !refusal.isEmpty()) {
        return fail(io, refusal);
    }
    const QString fields[] = {option(a, "to"), option(a, "subject"), option(a, "message"), option(a, "from")};
    for (const QString& f : fields) {
        if (f.size() > MailCodec::kMaxFieldLength) {
            return fail(io, QStringLiteral("A field is longer than %1 characters.").arg(MailCodec::kMaxFieldLength));
        }
    }
    io.out(MailCodec::FormatCodedMailLine(fields[0], fields[1], fields[2], fields[3]) + u'\n');
    return ExitOk;
}

// Sizes and air time of FILE sent each way, without writing anything.
int estimate(const QStringList& args, const Output& io)
{
    Args a;
    if (!parseArgs(args, 1, kMailOptions + QStringList{QStringLiteral("baud")}, LossySwitch, a)) {
        return ExitUsage;
    }
    int baud = SendEstimate::kDefaultBaud;
    if (a.options.count(QStringLiteral("baud"))) {
        baud = SendEstimate::ParseBaud(option(a, "baud"));
        if (baud <= 0) {
            return ExitUsage;
        }
    }
    const QString path = QFileInfo(a.positional[0]).absoluteFilePath();
    const SendEstimate::Estimate e = SendEstimate::EstimateFile(
        path, {option(a, "to"), option(a, "from"), option(a, "subject"), option(a, "message")});
    // The mail writers of this program refuse such texts without --lossy.
    const QString textRefusal = lossyRefusal(a, mailTexts(a));
    // The writers' own order: the comma check before the code page.
    const QString fileMailRefusal = commaRefusal(a, path);
    const auto form = [&](const Result<SendEstimate::Form>& f, const QString& firstRefusal, bool carriesTexts,
                          bool withParts) {
        QJsonObject o;
        if (!firstRefusal.isEmpty()) {
            o.insert(QStringLiteral("refused"), terminalText(firstRefusal));
        } else if (carriesTexts && !textRefusal.isEmpty() && f.ok()) {
            o.insert(QStringLiteral("refused"), terminalText(textRefusal));
        } else if (!f.ok()) {
            o.insert(QStringLiteral("refused"), terminalText(f.error()));
        } else {
            if (withParts) {
                o.insert(QStringLiteral("parts"), f->parts);
            }
            o.insert(QStringLiteral("bytes"), double(f->bytes));
            o.insert(QStringLiteral("seconds"), std::round(SendEstimate::AirSeconds(f->bytes, baud) * 10) / 10);
        }
        return o;
    };
    const QJsonObject pmba = form(e.pmba, {}, true, false);
    const QJsonObject fileMail = form(e.fileMail, fileMailRefusal, true, false);
    const QJsonObject sevenPlus = form(e.sevenPlus, {}, false, true);
    printJson(io, {{QStringLiteral("pmba"), pmba},
                   {QStringLiteral("filemail"), fileMail},
                   {QStringLiteral("sevenplus"), sevenPlus}});
    const bool any = !pmba.contains(QStringLiteral("refused")) || !fileMail.contains(QStringLiteral("refused"))
                     || !sevenPlus.contains(QStringLiteral("refused"));
    return any ? ExitOk : ExitFailed;
}

int mailDecode(const QStringList& args, const Output& io)
{
    Args a;
    if (!parseArgs(args, 1, {}, NoSwitch, a)) {
        return ExitUsage;
    }
    const Result<QString> file = MailFiles::ReadCodedMailFile(a.positional[0], SafeFile::Links::Follow);
    if (!file.ok()) {
        return fail(io, file.error());
    }
    if (MailCodec::IsPlainMailText(file.value())) {
        // Mail in clear from other software: the whole text is the message.
        return printJson(io, {{QStringLiteral("to"), QString()},
                              {QStringLiteral("subject"), QString()},
                              {QStringLiteral("message"), MailCodec::PlainMailBody(file.value())},
                              {QStringLiteral("from"), QString()},
                              {QStringLiteral("coded"), false}});
    }
    const MailCodec::ParsedMail mail = MailCodec::ParseCodedMail(file.value());
    switch (mail.status) {
    case MailCodec::ParsedMail::Status::Empty:
        io.out(QStringLiteral("null\n"));
        return ExitOk;
    case MailCodec::ParsedMail::Status::Ok:
        return printJson(io, {{QStringLiteral("to"), mail.fields.to},
                              {QStringLiteral("subject"), mail.fields.subject},
                              {QStringLiteral("message"), mail.fields.message},
                              {QStringLiteral("from"), mail.fields.from},
                              {QStringLiteral("coded"), true}});
    default:
        return fail(io, mail.error);
    }
}

} // namespace

void registerMailCommands(CommandTable& table)
{
    table.add(
        {QStringLiteral("pmba-create"), QStringLiteral("OUT ATTACHMENT --to T --from F --subject S --message M [--lossy]"),
         QStringLiteral("Write a PMBA mail carrying ATTACHMENT to OUT (which must not exist); prints {\"size\"}. "
                        "--lossy writes characters the code page lacks as \"?\" instead of refusing them."),
         pmbaCreate});
    table.add({QStringLiteral("pmba-decode"), QStringLiteral("MAIL OUTFOLDER [--yes]"),
               QStringLiteral("Check the PMBA mail MAIL and write its attachment into OUTFOLDER; --yes replaces an "
                              "existing file. Prints the fields and \"attachment_path\"."),
               pmbaDecode});
    table.add({QStringLiteral("filemail-write"),
               QStringLiteral("OUT ATTACHMENT --to T --from F --subject S --message M [--lossy]"),
               QStringLiteral("Write a regular file mail carrying ATTACHMENT to OUT (which must not exist); "
                              "prints {\"size\"}. The texts may hold no comma; --lossy as for pmba-create."),
               fileMailWrite});
    table.add({QStringLiteral("filemail-read"), QStringLiteral("MAIL OUTFOLDER [--yes]"),
               QStringLiteral("Write the file carried by the regular file mail MAIL into OUTFOLDER; --yes replaces "
                              "an existing file. Prints the fields, \"filename\" and \"path\"."),
               fileMailRead});
    table.add({QStringLiteral("estimate"),
               QStringLiteral("FILE [--baud N] [--to T --from F --subject S --message M] [--lossy]"),
               QStringLiteral("Print the bytes and air time of FILE sent as a PMBA mail, a regular file mail and a "
                              "7PLUS set (with its parts), without writing anything; a form that would be refused "
                              "gives {\"refused\"} with the writer's words. --baud is the link speed (1200)."),
               estimate});
    table.add({QStringLiteral("mail-encode"), QStringLiteral("--to T --subject S --message M --from F [--lossy]"),
               QStringLiteral("Print the coded mail line of the four fields; --lossy as for pmba-create."),
               mailEncode});
    table.add({QStringLiteral("mail-decode"), QStringLiteral("FILE"),
               QStringLiteral("Decode the coded mail in FILE as the inbox does; prints the fields and \"coded\" "
                              "(false for a mail in plain text, shown whole as the message), or null for an empty "
                              "file."),
               mailDecode});
}

} // namespace tolvan::codec
