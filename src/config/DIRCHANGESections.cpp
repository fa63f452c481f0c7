#include "config/DIRCHANGESections.h"

#include "config/FolderLists.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace tolvan::DirSetup {

namespace {

Section folder(int number, const char* label, const char* caption, const char* display, const char* enter,
               const char* store, bool storesWhileBrowsing, const char* createButton, const char* createCaption,
               const char* nameBox, const char* nameText, const char* createFailure)
{
    return {number,
            QString::fromLatin1(label),
            QString::fromLatin1(caption),
            QString::fromLatin1(display),
            QString::fromLatin1(enter),
            QString::fromLatin1(store),
            Kind::Folder,
            storesWhileBrowsing,
            QStringLiteral("An error has occurred: "),
            false,
            QString::fromLatin1(createButton),
            QString::fromLatin1(createCaption),
            QString::fromLatin1(nameBox),
            QString::fromLatin1(nameText),
            QString::fromLatin1(createFailure)};
}

Section program(int number, const char* label, const char* caption, const char* display, const char* enter,
                const char* store, bool storesWhileBrowsing)
{
    return {number,
            QString::fromLatin1(label),
            QString::fromLatin1(caption),
            QString::fromLatin1(display),
            QString::fromLatin1(enter),
            QString::fromLatin1(store),
            Kind::Program,
            storesWhileBrowsing,
            QStringLiteral("An error has occurred: "),
            false,
            {},
            {},
            {},
            {},
            {}};
}

QList<Section> makeSections()
{
    QList<Section> s;
    s << folder(1, "Label1", "Set DRIVE and DIRECTORY to SAVE ", "Text8", "Command9", "save.dat", false, "CmdCreatDir",
                "Create Save Directory", "Text1", "MAIL SAVE", "Error creating directory: ");
    s << folder(2, "Label2", "Set DRIVE and DIRECTORY to RECEIVE ", "Text9", "Command10", "receive.dat", false,
                "Cmdcreatrecieve", "Create Receive Directory", "Text2", "MAIL RECEIVE", "Error creating directory: ");
    s << folder(4, "Label4", "Set DRIVE and DIRECTORY to SEND ", "Text10", "Command11", "send.dat", false, "Command2",
                "Create Send Directory", "Text4", "MAIL SEND", "Cannot create directory: ");
    s << folder(7, "Label9", "  Set DRIVE and DIRECTORY to Save Attached  Files", "Text12", "Command13", "received.dat",
                true, "Command7", "Create Attachment Directory", "Text7", "MAIL ATTACHMENT",
                "Cannot create directory: ");
    s << program(3, "Label3", "Set drive for WINTNC Program", "Text3", "Command3", "packet.dat", false);
    s << program(5, "Label5", "Set Drive For WINLINK Program", "Text5", "Command4", "winlink.dat", false);
    // The Winlink section alone explains its failure in words of its own.
    s.last().enterFailure = QStringLiteral("Something went wrong\u2014possibly an invalid path. Please try again.");
    s.last().enterFailureIsWhole = true;
    s << program(6, "Label8", "       Serial Port      Splitter", "Text6", "Command6", "splitter.dat", true);
    s << program(8, "Label6", "Set Drive for Soundmodem", "Text13", "Command14", "soundmodempacket.dat", true);
    s << program(9, "Label7", "  Set Drive for Direwolf", "Text14", "Command15", "direwolfpacket.dat", true);
    s << program(11, "Label13", "Set Drive for VARAC", "Text15", "Command16", "VARA.dat", true);
    s << program(12, "Label14", "       NPR        Modem", "Text16", "Command17", "nprmodem.dat", true);
    s << program(13, "Label16", "Set Drive For TOLVAN Terminal", "Text17", "Command18", "TLVTerminal.dat", true);
    return s;
}

} // namespace

const QList<Section>& sections()
{
    static const QList<Section> all = makeSections();
    return all;
}

const Section* sectionByNumber(int number)
{
    for (const Section& s : sections()) {
        if (s.number == number) {
            return &s;
        }
    }
    return nullptr;
}

QString sectionFolder(const QString& listPath, const QString& programFolder)
{
    if (!listPath.isEmpty()) {
        return listPath;
    }
    return programFolder.endsWith(u'/') ? programFolder : programFolder + u'/';
}

namespace {
Result<QString> storeLine(ConfigStore& store, const QString& storeFile, const QString& value)
{
    if (const StoreStatus s = store.WriteStoreLine(storeFile, value); !s.ok()) {
        return Fail(s.message);
    }
    return value;
}
} // namespace

Result<QString> storeProgramPath(ConfigStore& store, const QString& storeFile, const QString& folder,
                                 const QString& fileName)
{
    const bool chosen = !fileName.isEmpty();
    Result<QString> first = storeLine(store, storeFile, chosen ? folder : kBlank);
    if (!first.ok() || !chosen) {
        return first;
    }
    // Always one separator added, as the readers expect; at the root this
    // gives "//name", which names the same file.
    return storeLine(store, storeFile, folder + u'/' + fileName);
}

Result<QString> storeFolderPath(ConfigStore& store, const QString& storeFile, const QString& folder)
{
    return storeLine(store, storeFile, folder);
}

CreateResult createFolder(const QString& parent, const QString& typedName)
{
    const QString name = typedName.trimmed();
    if (name.isEmpty()) {
        return {CreateOutcome::EmptyName, {}, {}};
    }
    if (name.contains(u'/') || name.contains(QChar(u'\0')) || name == u"." || name == u"..") {
        return {CreateOutcome::BadName, {}, {}};
    }
    const QString path = FolderLists::joinPath(parent, name);
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink()) {
        return {CreateOutcome::Exists, path, {}};
    }
    if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0) {
        const int err = errno;
        return {CreateOutcome::Failed, path, QString::fromLocal8Bit(std::strerror(err))};
    }
    return {CreateOutcome::Created, path, {}};
}

} // namespace tolvan::DirSetup
