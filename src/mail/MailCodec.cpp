#include "mail/MailCodec.h"

#include "platform/AnsiCodec.h"
#include "platform/LocaleText.h"

#include <cmath>

namespace tolvan::MailCodec {

namespace {

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QChar(u'0'));
}

bool isWhite(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

enum class TokenKind { Skip, Code, Error };

struct Token {
    TokenKind kind = TokenKind::Skip;
    int code = 0;
    QString error;
};

// One token of a coded field: a number within white space becomes a code; a
// token that is no number is skipped; a number beyond the 16-bit range or a
// code outside the code page is an error.
Token readToken(QStringView token)
{
    qsizetype b = 0;
    qsizetype e = token.size();
    while (b < e && isWhite(token[b])) {
        ++b;
    }
    while (e > b && isWhite(token[e - 1])) {
        --e;
    }
    const QStringView t = token.sliced(b, e - b);
    if (t.isEmpty()) {
        return {};
    }
    double value = 0;
    bool plainDigits = t.size() <= 9;
    for (QChar c : t) {
        if (c < u'0' || c > u'9') {
            plainDigits = false;
            break;
        }
    }
    if (plainDigits) {
        value = t.toInt();
    } else {
        bool ok = false;
        value = t.toDouble(&ok);
        if (!ok || !std::isfinite(value)) {
            return {};
        }
        value = std::nearbyint(value); // halves go to the even neighbour
    }
    if (value < -32768 || value > 32767) {
        return {TokenKind::Error, 0, QStringLiteral("Overflow: the character code %1 is too large").arg(t)};
    }
    if (value < 0 || value > 255) {
        return {TokenKind::Error, 0,
                QStringLiteral("Invalid procedure call or argument: %1 is not a character code").arg(t)};
    }
    return {TokenKind::Code, static_cast<int>(value), {}};
}

} // namespace

QString ConvertToASCII(QStringView text)
{
    const QByteArray codes = Ansi::encode(text);
    // At most three digits and a space per character, written into one buffer.
    QByteArray out(codes.size() * 4, Qt::Uninitialized);
    char* d = out.data();
    for (qsizetype i = 0; i < codes.size(); ++i) {
        if (i > 0) {
            *d++ = ' ';
        }
        const unsigned v = static_cast<unsigned char>(codes[i]);
        if (v >= 100) {
            *d++ = static_cast<char>('0' + v / 100);
        }
        if (v >= 10) {
            *d++ = static_cast<char>('0' + v / 10 % 10);
        }
        *d++ = static_cast<char>('0' + v % 10);
    }
    out.truncate(d - out.constData());
    return QString::fromLatin1(out);
}

Result<QString> DecodeFromASCII(QStringView asciiString)
{
    QByteArray codes;
    codes.reserve(asciiString.size() / 3 + 1);
    qsizetype tokens = 0;
    qsizetype start = 0;
    while (start <= asciiString.size()) {
        qsizetype end = asciiString.indexOf(u' ', start);
        if (end < 0) {
            end = asciiString.size();
        }
        if (++tokens > kMaxFieldLength) {
            return Fail(QStringLiteral("The coded field holds more than %1 character codes.").arg(kMaxFieldLength));
        }
        const Token t = readToken(asciiString.sliced(start, end - start));
        if (t.kind == TokenKind::Error) {
            return Fail(t.error);
        }
        if (t.kind == TokenKind::Code) {
            codes.append(static_cast<char>(t.code));
        }
        start = end + 1;
    }
    return Ansi::decode(codes);
}

QString UpperCase(QStringView text)
{
    QString out = text.toString();
    for (QChar& c : out) {
        const QChar up = c.toUpper();
        if (up != c && (Ansi::codeOf(up.unicode()) != '?')) {
            c = up;
        }
    }
    return out;
}

QString FormatCodedMailLine(const QString& to, const QString& subject, const QString& message, const QString& from)
{
    return ConvertToASCII(UpperCase(to)) + u',' + ConvertToASCII(UpperCase(subject)) + u','
           + ConvertToASCII(UpperCase(message)) + u',' + ConvertToASCII(UpperCase(from));
}

QStringList SplitMailText(const QString& text)
{
    if (text.isEmpty()) {
        return {};
    }
    return text.split(u',');
}

ParsedMail ParseCodedMail(const QString& wholeText)
{
    ParsedMail mail;
    const QStringList parts = SplitMailText(wholeText);
    if (parts.isEmpty()) {
        return mail;
    }
    if (parts.size() < 4) {
        mail.status = ParsedMail::Status::BadFormat;
        mail.error = QStringLiteral("File content is not in the expected format.");
        return mail;
    }
    QString* targets[] = {&mail.fields.to, &mail.fields.subject, &mail.fields.message, &mail.fields.from};
    for (int i = 0; i < 4; ++i) {
        const Result<QString> d = DecodeFromASCII(parts[i]);
        if (!d.ok()) {
            // The fields before the bad one stay decoded, so the reader sees
            // as much of the mail as can be read.
            mail.status = ParsedMail::Status::BadCode;
            mail.error = QStringLiteral("The %1 field of the mail could not be decoded: %2")
                             .arg(QString::fromLatin1(kFieldNames[i]), d.error());
            return mail;
        }
        *targets[i] = d.value();
        mail.decodedFields = i + 1;
    }
    // Blanks (and a DOS end-of-file mark) may follow the line end.
    qsizetype end = wholeText.size();
    while (end > 0 && (wholeText[end - 1] == u' ' || wholeText[end - 1] == u'\t' || wholeText[end - 1] == u'\x1a')) {
        --end;
    }
    if (end == 0 || (wholeText[end - 1] != u'\n' && wholeText[end - 1] != u'\r')) {
        mail.status = ParsedMail::Status::Cut;
        mail.fields = {};
        mail.decodedFields = 0;
        mail.error = QStringLiteral("The mail is incomplete: it does not end with a line end, so part of it is "
                                    "missing or still arriving.");
        return mail;
    }
    mail.status = ParsedMail::Status::Ok;
    return mail;
}

bool IsPlainMailText(QStringView wholeText)
{
    if (wholeText.isEmpty()) {
        return false;
    }
    bool anyCode = false;
    qsizetype start = 0;
    for (int part = 0; part < 4 && start <= wholeText.size(); ++part) {
        qsizetype end = wholeText.indexOf(u',', start);
        if (end < 0) {
            end = wholeText.size();
        }
        // Line ends count as white space here, so two mails appended in one
        // file (the second starting on the first one's last line) stay coded.
        qsizetype i = start;
        while (i < end) {
            while (i < end && isWhite(wholeText[i])) {
                ++i;
            }
            qsizetype j = i;
            while (j < end && !isWhite(wholeText[j])) {
                ++j;
            }
            if (j > i) {
                if (readToken(wholeText.sliced(i, j - i)).kind == TokenKind::Skip) {
                    return true; // a word that is no character code
                }
                anyCode = true;
            }
            i = j;
        }
        start = end + 1;
    }
    return !anyCode;
}

QString PlainMailBody(QStringView wholeText)
{
    qsizetype end = wholeText.size();
    while (end > 0 && (wholeText[end - 1] == u'\r' || wholeText[end - 1] == u'\n')) {
        --end;
    }
    return wholeText.first(end).toString();
}

QString SafeFileNamePart(QString text)
{
    static const QString bad = QStringLiteral("/\\:*?\"<>|");
    for (QChar& c : text) {
        if (c.unicode() < 32 || bad.contains(c)) {
            c = u'-';
        }
    }
    return text;
}

QString ComposeMailFileName(const QString& sendFolder, const QString& fromText, const QDateTime& now,
                            const LocaleText& locale)
{
    const QString sep = SafeFileNamePart(locale.dateSeparator());
    const QTime t = now.time();
    const QDate d = now.date();
    const QString time = twoDigits(t.hour()) + sep + twoDigits(t.minute()) + sep + twoDigits(t.second());
    const QString date = twoDigits(d.month()) + sep + twoDigits(d.day()) + sep + twoDigits(d.year() % 100);
    return sendFolder + u'/' + QStringLiteral("MAIL - ") + SafeFileNamePart(fromText) + QStringLiteral("--") + time
           + QStringLiteral("--") + date + QStringLiteral(".dat");
}

QString ReplyMailFileName(const QString& folder, const QDateTime& now)
{
    const QTime t = now.time();
    return folder + QStringLiteral("/MAIL - ") + twoDigits(t.hour()) + twoDigits(t.minute()) + twoDigits(t.second())
           + QStringLiteral(".txt");
}

QString SavedMailFileName(const QString& saveFolder, const QDateTime& now, const LocaleText& locale)
{
    const QString sep = SafeFileNamePart(locale.dateSeparator());
    const QDate d = now.date();
    const QTime t = now.time();
    return saveFolder + QStringLiteral("/mail_") + twoDigits(d.year() % 100) + sep + twoDigits(d.month()) + sep
           + twoDigits(d.day()) + u'_' + twoDigits(t.hour()) + twoDigits(t.minute()) + QStringLiteral(".dat");
}

} // namespace tolvan::MailCodec
