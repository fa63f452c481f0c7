#include "platform/ReceivedName.h"

#include "platform/AnsiCodec.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

namespace tolvan::ReceivedName {

namespace {

QString describe(char32_t c)
{
    const QString hex = QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
        return hex;
    }
    return QStringLiteral("\"%1\" (%2)").arg(QString::fromUcs4(&c, 1), hex);
}

// Files and folders of the program itself: a received file of such a name
// beside them could take their place or be taken for one of them.
const QStringList& ownNames()
{
    static const QStringList names = {
        QStringLiteral("tolvan-pm"), QStringLiteral("tolvan-codec"),
        // hand-over files and folders
        QStringLiteral("mail.dat"), QStringLiteral("temp"), QStringLiteral("SentMail"),
        QStringLiteral("PMBA-Binary-Received"), QStringLiteral("7PLUS_OUTPUT"), QStringLiteral("7PLUS_RECEIVED"),
        QStringLiteral("7PLUS_NEW.TMP"),
        // store files
        QStringLiteral("receive.dat"), QStringLiteral("send.dat"), QStringLiteral("save.dat"),
        QStringLiteral("received.dat"), QStringLiteral("packet.dat"), QStringLiteral("winlink.dat"),
        QStringLiteral("splitter.dat"), QStringLiteral("soundmodempacket.dat"), QStringLiteral("direwolfpacket.dat"),
        QStringLiteral("VARA.dat"), QStringLiteral("nprmodem.dat"), QStringLiteral("TLVTerminal.dat"),
        QStringLiteral("soundstate.dat"), QStringLiteral("soundsettings.dat"), QStringLiteral("autosave.dat"),
        QStringLiteral("buttonstate.dat"), QStringLiteral("buttonstates.dat"), QStringLiteral("buttonstatess.dat"),
        QStringLiteral("buttonstatesss.dat"), QStringLiteral("buttonstatessss.dat"), QStringLiteral("thestate.dat"),
        QStringLiteral("varastate.dat"), QStringLiteral("TLVstate.dat"), QStringLiteral("buttonstater.dat")};
    return names;
}

bool isOwnName(const QString& name)
{
    for (const QString& own : ownNames()) {
        if (name.compare(own, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    // The running executable, whatever it is called.
    if (QCoreApplication::instance()) {
        const QString self = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        if (!self.isEmpty() && name.compare(self, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

// Names Windows keeps for its devices, with or without an extension: a file
// sent to a station there under such a name cannot be written.
bool isDeviceName(const QString& name)
{
    static const QStringList plain = {QStringLiteral("con"), QStringLiteral("prn"), QStringLiteral("aux"),
                                      QStringLiteral("nul")};
    const QString base = name.section(u'.', 0, 0).trimmed().toLower();
    if (plain.contains(base)) {
        return true;
    }
    return base.size() == 4 && (base.startsWith(QLatin1String("com")) || base.startsWith(QLatin1String("lpt")))
           && base[3] >= u'1' && base[3] <= u'9';
}

// Characters that would act on a terminal or reorder the text around them.
bool needsEscape(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E)
           || (c >= 0x2066 && c <= 0x2069) || (c >= 0xD800 && c <= 0xDFFF);
}

QString escaped(char32_t c)
{
    const bool small = c < 0x100;
    return (small ? QStringLiteral("\\x") : QStringLiteral("\\u"))
           + QStringLiteral("%1").arg(uint(c), small ? 2 : 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace

QString Shown(const QString& name)
{
    return Printable(name, false);
}

QString Printable(const QString& text, bool keepLineBreaks)
{
    QString out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (needsEscape(c) && !(keepLineBreaks && (c == u'\n' || c == u'\r' || c == u'\t'))) {
            out += escaped(c);
        } else {
            out += QString::fromUcs4(&c, 1);
        }
    }
    return out;
}

bool IsForbiddenChar(char32_t c)
{
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
        return true; // C0, DEL and C1: they cut or bend a path or a terminal line
    }
    return c < 0x80 && QByteArrayView("\\/:*?\"<>|").contains(char(c));
}

QString FirstCharacterOutsideCodePage(const QString& text)
{
    for (const char32_t c : text.toUcs4()) {
        // Control characters are the name rule's to refuse or replace.
        if (c != U'?' && !IsForbiddenChar(c) && Ansi::codeOf(c) == '?') {
            return describe(c);
        }
    }
    return {};
}

QString Problem(const QString& name)
{
    if (name.isEmpty()) {
        return QStringLiteral("it is empty");
    }
    if (name == u"." || name == u"..") {
        return QStringLiteral("it names a folder, not a file");
    }
    for (const char32_t c : name.toUcs4()) {
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
            return QStringLiteral("it holds the control character %1").arg(describe(c));
        }
        if (IsForbiddenChar(c)) {
            return QStringLiteral("it holds the character %1, which no file name may hold").arg(describe(c));
        }
        if (c >= 0xD800 && c <= 0xDFFF) {
            return QStringLiteral("it holds a broken character");
        }
    }
    // Stations on Windows exchange files with this one: names they cannot
    // write, or that hide the file or pass for an option here, are refused.
    if (name.startsWith(u'.')) {
        return QStringLiteral("it begins with a dot, which hides the file");
    }
    if (name.startsWith(u'-')) {
        return QStringLiteral("it begins with \"-\", which programs take for an option");
    }
    if (name.endsWith(u' ') || name.endsWith(u'.')) {
        return QStringLiteral("it ends with a space or a dot, which Windows drops");
    }
    if (isDeviceName(name)) {
        return QStringLiteral("it is the name of a Windows device (%1)").arg(name.section(u'.', 0, 0).trimmed());
    }
    if (isOwnName(name)) {
        return QStringLiteral("it is the name of one of the program's own files");
    }
    return {};
}

QString SendProblem(const QString& name)
{
    if (QString why = Problem(name); !why.isEmpty()) {
        return why;
    }
    if (const QString c = FirstCharacterOutsideCodePage(name); !c.isEmpty()) {
        return QStringLiteral("it holds the character %1, which the code page cannot carry").arg(c);
    }
    return {};
}

} // namespace tolvan::ReceivedName
