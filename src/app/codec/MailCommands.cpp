// Mail commands of tolvan-codec: PMBA mails, regular file mails and the coded
// mail line, with the same codecs and messages as the screens. Results are
// JSON objects, so fields holding commas and line breaks reach scripts whole.

#include "CommandTable.h"

#include "mail/MailCodec.h"
#include "mail/MailFiles.h"
#include "pmba/FileMail.h"
#include "pmba/ModPMBA.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <map>

namespace tolvan::codec {

namespace {

// Positional arguments plus "--name value" options from a fixed set and
// "--flag" switches; anything else is bad usage.
struct Args {
    QStringList positional;
    std::map<QString, QString> options;
    bool yes = false;
};

bool parseArgs(const QStringList& args, qsizetype positionals, const QStringList& valueOptions, bool allowYes,
               Args& out)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a.startsWith(QLatin1String("--"))) {
            const QString name = a.mid(2);
            if (allowYes && name == QLatin1String("yes")) {
                out.yes = true;
            } else if (valueOptions.contains(name) && i + 1 < args.size() && !out.options.count(name)) {
                out.options[name] = args[++i];
            } else {
                return false;
            }
        } else if (a.isEmpty() || out.positional.size() == positionals) {
            return false;
        } else {
            out.positional << a;
        }
    }
    return out.positional.size() == positionals;
}

QString option(const Args& a, const char* name)
{
    const auto it = a.options.find(QString::fromLatin1(name));
    return it == a.options.end() ? QString() : it->second;
}

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

int fail(const Output& io, const std::optional<MessageBoxRequest>& message)
{
    return fail(io, message ? message->text : QStringLiteral("Failed."));
}

int pmbaCreate(const QStringList& args, const Output& io)
{
    Args a;
    if (!parseArgs(args, 2, kMailOptions, false, a)) {
        return ExitUsage;
    }
    const ModPMBA::CreateResult r =
        ModPMBA::PMBA_CreateBinaryMail(a.positional[1], a.positional[0], option(a, "to"), option(a, "from"),
                                       option(a, "subject"), option(a, "message"));
    if (!r.ok) {
        return fail(io, r.message);
    }
    return printJson(io, {{QStringLiteral("size"), QJsonValue(double(r.size))}});
}

int pmbaDecode(const QStringList& args, const Output& io)
{
    Args a;
    if (!parseArgs(args, 2, {}, false, a)) {
        return ExitUsage;
    }
    const ModPMBA::DecodeResult r =
        ModPMBA::PMBA_DecodeBinaryMail(a.positional[0], QDir::cleanPath(QDir(a.positional[1]).absolutePath()));
    if (!r.ok) {
        return fail(io, r.message);
    }
    return printJson(io, {{QStringLiteral("to"), r.mail.to},
                          {QStringLiteral("from"), r.mail.from},
                          {QStringLiteral("subject"), r.mail.subject},
                          {QStringLiteral("message"), r.mail.message},
                          {QStringLiteral("attachment_path"), r.mail.attachmentPath}});
}

int fileMailWrite(const QStringList& args, const Output& io)
{
    Args a;
    if (!parseArgs(args, 2, kMailOptions, false, a)) {
        return ExitUsage;
    }
    const FileMail::WriteResult r = FileMail::Write(a.positional[1], a.positional[0], option(a, "to"),
                                                    option(a, "from"), option(a, "subject"), option(a, "message"));
    if (!r.ok) {
        return fail(io, r.message);
    }
    return printJson(io, {{QStringLiteral("size"), QJsonValue(double(r.size))}});
}

int fileMailRead(const QStringList& args, const Output& io)
{
    Args a;
    if (!parseArgs(args, 2, {}, true, a)) {
        return ExitUsage;
    }
    const FileMail::ReadResult mail = FileMail::Read(a.positional[0]);
    if (!mail.ok) {
        return fail(io, mail.message);
    }
    const QString folder = QDir::cleanPath(QDir(a.positional[1]).absolutePath());
    if (!QFileInfo(folder).isDir()) {
        return fail(io, QStringLiteral("Error: Output folder not found: ") + folder);
    }
    // Without --yes an existing file is kept, as when the operator answers No.
    const FileMail::SaveResult saved = FileMail::SaveCarriedFile(mail.mail, folder, a.yes);
    if (saved.status == FileMail::SaveResult::Status::Exists) {
        return fail(io, QStringLiteral("A file named \"%1\" already exists:\n%2\nUse --yes to replace it.")
                            .arg(mail.mail.fileName, saved.path));
    }
    if (!saved.ok()) {
        return fail(io, saved.message);
    }
    return printJson(io, {{QStringLiteral("message"), mail.mail.message},
                          {QStringLiteral("subject"), mail.mail.subject},
                          {QStringLiteral("to"), mail.mail.to},
                          {QStringLiteral("from"), mail.mail.from},
                          {QStringLiteral("filename"), mail.mail.fileName},
                          {QStringLiteral("path"), saved.path}});
}

int mailEncode(const QStringList& args, const Output& io)
{
    Args a;
    if (!parseArgs(args, 0, kMailOptions, false, a)) {
        return ExitUsage;
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

int mailDecode(const QStringList& args, const Output& io)
{
    Args a;
    if (!parseArgs(args, 1, {}, false, a)) {
        return ExitUsage;
    }
    const MailFiles::ReadResult file = MailFiles::ReadCodedMailFile(a.positional[0]);
    if (!file.ok) {
        return fail(io, file.error);
    }
    const MailCodec::ParsedMail mail = MailCodec::ParseCodedMail(file.text);
    switch (mail.status) {
    case MailCodec::ParsedMail::Status::Empty:
        io.out(QStringLiteral("null\n"));
        return ExitOk;
    case MailCodec::ParsedMail::Status::Ok:
        return printJson(io, {{QStringLiteral("to"), mail.fields.to},
                              {QStringLiteral("subject"), mail.fields.subject},
                              {QStringLiteral("message"), mail.fields.message},
                              {QStringLiteral("from"), mail.fields.from}});
    default:
        return fail(io, mail.error);
    }
}

} // namespace

void registerMailCommands(CommandTable& table)
{
    table.add(
        {QStringLiteral("pmba-create"), QStringLiteral("OUT ATTACHMENT --to T --from F --subject S --message M"),
         QStringLiteral("Write a PMBA mail carrying ATTACHMENT to OUT (which must not exist); prints {\"size\"}."),
         pmbaCreate});
    table.add({QStringLiteral("pmba-decode"), QStringLiteral("MAIL OUTFOLDER"),
               QStringLiteral("Check the PMBA mail MAIL and write its attachment into OUTFOLDER; prints the fields "
                              "and \"attachment_path\"."),
               pmbaDecode});
    table.add({QStringLiteral("filemail-write"),
               QStringLiteral("OUT ATTACHMENT --to T --from F --subject S --message M"),
               QStringLiteral("Write a regular file mail carrying ATTACHMENT to OUT (which must not exist); "
                              "prints {\"size\"}."),
               fileMailWrite});
    table.add({QStringLiteral("filemail-read"), QStringLiteral("MAIL OUTFOLDER [--yes]"),
               QStringLiteral("Write the file carried by the regular file mail MAIL into OUTFOLDER; --yes replaces "
                              "an existing file. Prints the fields, \"filename\" and \"path\"."),
               fileMailRead});
    table.add({QStringLiteral("mail-encode"), QStringLiteral("--to T --subject S --message M --from F"),
               QStringLiteral("Print the coded mail line of the four fields."), mailEncode});
    table.add({QStringLiteral("mail-decode"), QStringLiteral("FILE"),
               QStringLiteral("Decode the coded mail in FILE as the inbox does; prints the fields, or null for an "
                              "empty file."),
               mailDecode});
}

} // namespace tolvan::codec
