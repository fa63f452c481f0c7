#include "sevenplus/frm7Plus.h"

#include "mail/AddressCompleter.h"
#include "platform/SafeFile.h"
#include "pmba/SendEstimateView.h"

#include "sevenplus/Mod7plus.h"
#include "sevenplus/SevenPlusPost.h"
#include "shell/AppContext.h"
#include "shell/Palette.h"
#include "shell/ScreenRegistry.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include <new>

namespace tolvan {

using namespace Mod7plus;

namespace {

const QString kTitle = QStringLiteral("7PLUS");
const QString kCrLf = QStringLiteral("\r\n");
// Dark enough to read on the status word's grey.
const QColor kBlue(0, 0, 255);
const QColor kGreen(0, 100, 0);
const QColor kRed(180, 0, 0);
const QColor kNeutral(64, 64, 64);
constexpr int kProgressInterval = 50; // ms between progress updates while a codec runs

// Design positions are in twips; 15 twips make a pixel. The controls sit in
// the right half of the design, so the whole layout is moved left.
constexpr int kShiftX = 6300;
// The command buttons are taller than designed so their 12 pt captions fit on
// three lines; what lies below them moves down by as much.
constexpr int kWrapRoom = 375;
QRect twips(int left, int top, int width, int height)
{
    return {(left - kShiftX) / 15, top / 15, width / 15, height / 15};
}

const QList<FileFilter> kPartFilters = {{QStringLiteral("7PLUS Parts"), QStringLiteral("*.P*")},
                                        {QStringLiteral("All Files"), QStringLiteral("*.*")}};
const QList<FileFilter> kPart1Filters = {{QStringLiteral("7PLUS Part 1"), QStringLiteral("*.P01")},
                                         {QStringLiteral("All Files"), QStringLiteral("*.*")}};
const QList<FileFilter> kJpegFilters = {{QStringLiteral("JPEG Pictures"), QStringLiteral("*.jpg;*.jpeg")}};

QString hexBytes(const std::uint8_t* p, int n)
{
    QString out;
    for (int i = 0; i < n; ++i) {
        out += QStringLiteral("%1").arg(p[i], 2, 16, QLatin1Char('0')).toUpper();
        out += (i % 16 == 15 || i == n - 1) ? kCrLf : QStringLiteral(" ");
    }
    return out;
}

QString folderOf(const QString& path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// The set's base name as the encoder forms it from a source file.
QString setBase(const QString& path)
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return (dot >= 0 ? name.left(dot) : name).toUpper().left(8);
}

// Data line 0 of a part file, or nothing when the file is too short.
bool firstDataLine(const QString& partPath, Block& line)
{
    const QByteArray head = SafeFile::ReadHead(partPath, kStoredLine + kBlockSize, SafeFile::Links::Follow).value();
    const QByteArray b = head.mid(kStoredLine);
    if (b.size() != kBlockSize) {
        return false;
    }
    std::copy_n(reinterpret_cast<const std::uint8_t*>(b.constData()), kBlockSize, line.data());
    return true;
}

} // namespace

frm7Plus::frm7Plus(ScreenRegistry& registry)
    : Screen(registry, QStringLiteral("frm7Plus"))
{
    setWindowTitle(QStringLiteral("7PLUS Encoder / Decoder"));
    setFixedSize(540, 545);
    m_progressTimer.setSingleShot(true);
    m_progressTimer.setInterval(kProgressInterval);
    connect(&m_progressTimer, &QTimer::timeout, this, &frm7Plus::flushProgress);

    QFont big = font();
    big.setPointSize(12);
    big.setBold(true);

    lbl7PlusStatus = make<QLabel>(QStringLiteral("lbl7PlusStatus"), QStringLiteral("Ready"));
    // As wide as the file box, so the longest status word is shown whole.
    lbl7PlusStatus->setGeometry(twips(6600, 480, 7035, 480));
    lbl7PlusStatus->setAlignment(Qt::AlignCenter);
    lbl7PlusStatus->setFont(big);
    lbl7PlusStatus->setAutoFillBackground(true);
    QPalette pal = lbl7PlusStatus->palette();
    pal.setColor(QPalette::Window, QColor(224, 224, 224));
    lbl7PlusStatus->setPalette(pal);

    txt7PlusFile = make<QLineEdit>(QStringLiteral("txt7PlusFile"));
    txt7PlusFile->setGeometry(twips(6600, 1080, 7035, 555));
    lblEstimate = SendEstimateView::MakeLabel(this, QStringLiteral("lblEstimate"));
    // Three lines in the room between the file box and the buttons.
    QFont small = lblEstimate->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    lblEstimate->setFont(small);
    lblEstimate->setStyleSheet(lblEstimate->styleSheet().replace(QStringLiteral("padding: 3px"),
                                                                 QStringLiteral("padding: 0px 3px")));
    lblEstimate->setGeometry(twips(6600, 1650, 7035, 675));
    connect(txt7PlusFile, &QLineEdit::textChanged, this,
            [this](const QString& path) { SendEstimateView::Show(lblEstimate, ctx().store, path, {}); });

    cmdBrowse7Plus = makeButton(QStringLiteral("cmdBrowse7Plus"), QStringLiteral("Browse File to Send"), 6540, 2340,
                                2295, 990);
    cmdEncode7Plus = makeButton(QStringLiteral("cmdEncode7Plus"), QStringLiteral("Encode File to send using7plus"),
                                9060, 2340, 2295, 990);
    cmdDecode7Plus = makeButton(QStringLiteral("cmdDecode7Plus"), QStringLiteral("Decode Recieved file using 7PLUS"),
                                11640, 2340, 2295, 990);
    const std::pair<QPushButton*, QColor> colours[] = {{cmdBrowse7Plus, QColor(255, 192, 128)},
                                                       {cmdEncode7Plus, QColor(255, 255, 128)},
                                                       {cmdDecode7Plus, QColor(192, 255, 192)}};
    for (const auto& [button, colour] : colours) {
        button->setFont(big);
        // A push button cannot wrap its caption, so a wrapping label shows it
        // on two lines while the button keeps the caption as its text.
        button->setStyleSheet(
            QStringLiteral("QPushButton { background-color: %1; color: transparent; }").arg(colour.name()));
        button->setProperty("backColor", colour);
        auto* face = new QLabel(button->text(), button);
        face->setWordWrap(true);
        face->setAlignment(Qt::AlignCenter);
        face->setFont(big);
        face->setStyleSheet(
            QStringLiteral("QLabel { color: %1; background: transparent; } QLabel:disabled { color: %2; }")
                .arg(Palette::readableText(colour, true).name(), Palette::readableText(colour, false).name()));
        face->setAttribute(Qt::WA_TransparentForMouseEvents);
        face->setGeometry(button->rect().adjusted(4, 2, -4, -2));
    }

    prg7Plus = make<QProgressBar>(QStringLiteral("prg7Plus"));
    prg7Plus->setGeometry(twips(7560, 3060 + kWrapRoom, 5055, 435));
    prg7Plus->setRange(0, 100);

    txt7PlusLog = make<QPlainTextEdit>(QStringLiteral("txt7PlusLog"));
    txt7PlusLog->setGeometry(twips(7860, 3840 + kWrapRoom, 4395, 2415));
    txt7PlusLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    
    cmdClose7Plus = makeButton(QStringLiteral("cmdClose7Plus"), QStringLiteral("Close"), 8880, 6360 + kWrapRoom, 1995, 555);
    setBackColor(cmdClose7Plus, QColor(255, 0, 0));

    // Below the designed controls: where the set just made is posted to.
    lblPostTo = make<QLabel>(QStringLiteral("lblPostTo"), QStringLiteral("Post &to:"));
    lblPostTo->setGeometry(16, 500, 64, 30);
    txtPostTo = make<QLineEdit>(QStringLiteral("txtPostTo"));
    txtPostTo->setGeometry(80, 500, 180, 30);
    txtPostTo->setPlaceholderText(QStringLiteral("call sign, e.g. N0BBB-1"));
    txtPostTo->setAccessibleName(QStringLiteral("Post the parts to"));
    lblPostTo->setBuddy(txtPostTo);
    AttachCallSignCompleter(ctx().store, txtPostTo);
    cmdPost7Plus = make<QPushButton>(QStringLiteral("cmdPost7Plus"), QStringLiteral("&Post the parts"));
    cmdPost7Plus->setGeometry(270, 500, 254, 30);
    cmdPost7Plus->setToolTip(QStringLiteral("Moves the parts just made into the send folder, for the terminal to send "
                                            "to the station named beside"));
    setMadeParts({});

    connect(cmdBrowse7Plus, &QPushButton::clicked, this, &frm7Plus::cmdBrowse7Plus_Click);
    connect(cmdPost7Plus, &QPushButton::clicked, this, &frm7Plus::cmdPost7Plus_Click);
    connect(txtPostTo, &QLineEdit::returnPressed, this, &frm7Plus::cmdPost7Plus_Click);
    connect(cmdEncode7Plus, &QPushButton::clicked, this, &frm7Plus::cmdEncode7Plus_Click);
    connect(cmdDecode7Plus, &QPushButton::clicked, this, &frm7Plus::cmdDecode7Plus_Click);
    connect(cmdClose7Plus, &QPushButton::clicked, this, &frm7Plus::cmdClose7Plus_Click);

    // The self-test family: hidden from the operator, found by name.
    struct Test {
        const char* name;
        const char* caption;
        void (frm7Plus::*handler)();
        const char* errorPrefix; // names the test in the box of an unexpected error
    };
    const Test tests[] = {
        {"cmdTest7PlusCRC", "Test 7PLUS CRC", &frm7Plus::cmdTest7PlusCRC_Click, "7PLUS CRC test error "},
        {"cmdDecodeReceived7Plus", "Decode Received 7PLUS File", &frm7Plus::cmdDecodeReceived7Plus_Click, "7PLUS error "},
        {"cmdRead7PlusHeader", "Read 7PLUS Header", &frm7Plus::cmdRead7PlusHeader_Click, "7PLUS error "},
        {"cmdDecodeAll7Plus", "Decode Complete 7PLUS File", &frm7Plus::cmdDecodeAll7Plus_Click, "7PLUS comparison error "},
        {"cmdCompare7PlusPart1", "Compare Decoded Part 1", &frm7Plus::cmdCompare7PlusPart1_Click, "7PLUS comparison error "},
        {"cmdDecodePart1", "Decode Part 1", &frm7Plus::cmdDecodePart1_Click, "7PLUS decode test error "},
        {"cmdCompare7PlusLine", "Compare First 62 Bytes", &frm7Plus::cmdCompare7PlusLine_Click, "7PLUS comparison error "},
        {"cmdTest7PlusDecode", "Test 7PLUS Decode", &frm7Plus::cmdTest7PlusDecode_Click, "7PLUS decode test error "},
        {"cmdCreateAll7Plus", "Create All 7PLUS Parts", &frm7Plus::cmdCreateAll7Plus_Click, "7PLUS error "},
        {"cmdCreate7PlusPart", "Create First 7PLUS Part", &frm7Plus::cmdCreate7PlusPart_Click, "7PLUS part test failed: error "},
        {"cmdTest7PlusFooter", "Test 7PLUS Footer", &frm7Plus::cmdTest7PlusFooter_Click, "7PLUS error "},
        {"cmdTest7PlusHeader", "Test 7PLUS Header", &frm7Plus::cmdTest7PlusHeader_Click, "7PLUS error "},
        {"cmdTest7PlusPart", "Test 512-Line Part", &frm7Plus::cmdTest7PlusPart_Click, "7PLUS part test failed: error "},
        {"cmdTest7PlusLines", "Test 10 7PLUS Lines", &frm7Plus::cmdTest7PlusLines_Click, "7PLUS error "},
        {"cmdTest7PlusEncoding", "Test 7PLUS Encoding", &frm7Plus::cmdTest7PlusEncoding_Click, "7PLUS error "},
        {"cmdTestPacking", "test packing", &frm7Plus::cmdTestPacking_Click, "7PLUS error "},
        {"cmdTestBinary", "test", &frm7Plus::cmdTestBinary_Click, "7PLUS error "},
    };
    int i = 0;
    for (const Test& t : tests) {
        QPushButton* b = makeButton(QString::fromLatin1(t.name), QString::fromLatin1(t.caption),
                                    kShiftX + 300 + (i % 6) * 1500, 6000 + kWrapRoom + (i / 6) * 300, 1800, 495);
        b->setVisible(false);
        const QString prefix = QString::fromLatin1(t.errorPrefix);
        connect(b, &QPushButton::clicked, this, [this, handler = t.handler, prefix] { runSelfTest(handler, prefix); });
        ++i;
    }
}

QPushButton* frm7Plus::makeButton(const QString& name, const QString& caption, int left, int top, int width,
                                  int height)
{
    auto* b = make<QPushButton>(name, caption);
    b->setGeometry(twips(left, top, width, height));
    return b;
}

void frm7Plus::Form_Load()
{
    prg7Plus->setRange(0, 100);
    prg7Plus->setValue(0);
    txt7PlusFile->clear();
    txt7PlusLog->clear();
    setStatus(QStringLiteral("7PLUS Ready"));
    prg7Plus->setRange(0, 100);
    prg7Plus->setValue(0);
    cmdEncode7Plus->setEnabled(true);
    cmdDecode7Plus->setEnabled(true);
    txtPostTo->clear();
    setMadeParts({});
    setStatus(QStringLiteral("READY"), kBlue);
}

void frm7Plus::Update7PlusProgress(int percent)
{
    const int value = std::clamp(percent, 0, 100);
    // A part takes less time to code than a repaint and an event pass take,
    // so the bar follows at most every 50 ms, which still keeps the screen
    // responsive; the end of a run, or a new run, shows at once.
    if (!m_progressClock.isValid() || m_progressClock.hasExpired(kProgressInterval) || value == 100
        || value < prg7Plus->value()) {
        showProgress(value);
        return;
    }
    m_pendingProgress = value;
    if (!m_progressTimer.isActive()) {
        m_progressTimer.start();
    }
}

void frm7Plus::showProgress(int percent)
{
    m_pendingProgress = -1;
    m_progressTimer.stop();
    prg7Plus->setValue(percent);
    prg7Plus->repaint();
    m_progressClock.start();
    QCoreApplication::processEvents();
}

void frm7Plus::flushProgress()
{
    if (m_pendingProgress >= 0) {
        showProgress(m_pendingProgress);
    }
}

void frm7Plus::setStatus(const QString& text, const QColor& colour)
{
    QPalette pal = lbl7PlusStatus->palette();
    pal.setColor(QPalette::WindowText, colour);
    lbl7PlusStatus->setPalette(pal);
    setStatus(text);
}

void frm7Plus::setStatus(const QString& text)
{
    lbl7PlusStatus->setText(text);
    lbl7PlusStatus->repaint();
}

void frm7Plus::setLog(const QString& text)
{
    txt7PlusLog->setPlainText(text);
}

void frm7Plus::box(const QString& text, MsgIcon icon)
{
    MessageBoxRequest r;
    r.text = text;
    r.title = kTitle;
    r.icon = icon;
    ctx().dialogs->messageBox(r);
}

bool frm7Plus::askYesNo(const QString& title, const QString& text)
{
    MessageBoxRequest r;
    r.text = text;
    r.title = title;
    r.icon = MsgIcon::Question;
    r.buttons = MsgButtons::YesNo;
    r.defaultButton = MsgAnswer::No;
    return ctx().dialogs->messageBox(r) == MsgAnswer::Yes;
}

QString frm7Plus::fileBox() const
{
    return txt7PlusFile->text().trimmed();
}

void frm7Plus::closeEvent(QCloseEvent* event)
{
    event->ignore();
    cmdClose7Plus_Click();
}

void frm7Plus::cmdBrowse7Plus_Click()
{
    const auto path = ctx().dialogs->openFileName(
        {QStringLiteral("Select File for 7PLUS"), {{QStringLiteral("All Files"), QStringLiteral("*.*")}}, {}, {}});
    if (!path) {
        return;
    }
    txt7PlusFile->setText(*path);
    setStatus(QStringLiteral("FILE SELECTED"), kBlue);
    setLog(QStringLiteral("Selected file: ") + *path);
}

Result<QString> frm7Plus::runCodec(const QString& word, const std::function<Result<QString>(const Host&)>& job)
{
    setStatus(word + QStringLiteral("..."), kBlue);
    QCoreApplication::processEvents();
    Update7PlusProgress(0);
    bool declined = false;
    const Host host{[this, &declined](const QString& t, const QString& q) {
                        const bool yes = askYesNo(t, q);
                        declined = declined || !yes;
                        return yes;
                    },
                    [this](int p) { Update7PlusProgress(p); }};
    const Result<QString> done = job(host);
    const bool ok = done.ok();
    flushProgress();
    setLog(ReportText(done));
    if (!ok && declined) {
        // The operator kept an existing file: nothing failed.
        setStatus(QStringLiteral("CANCELLED"), kNeutral);
        return done;
    }
    setStatus(word + (ok ? QStringLiteral(" COMPLETE") : QStringLiteral(" FAILED")), ok ? kGreen : kRed);
    return done;
}

void frm7Plus::cmdEncode7Plus_Click()
{
    if (m_busy) {
        return;
    }
    const QString path = fileBox();
    if (path.isEmpty()) {
        box(QStringLiteral("Please select a file first."), MsgIcon::Exclamation);
        return;
    }
    if (!QFileInfo(path).isFile()) {
        box(QStringLiteral("Selected file does not exist:") + kCrLf + path, MsgIcon::Exclamation);
        return;
    }
    m_busy = true;
    setMadeParts({});
    try {
        QStringList parts;
        const Result<QString> done = runCodec(QStringLiteral("ENCODING"),
                                              [&](const Host& host) { return Encode7PlusFile(path, host, &parts); });
        if (done.ok()) {
            setMadeParts(parts);
        }
    } catch (const std::exception&) {
        setStatus(QStringLiteral("7PLUS encoding error"));
    }
    m_busy = false;
}

void frm7Plus::setMadeParts(const QStringList& parts)
{
    m_madeParts = parts;
    cmdPost7Plus->setEnabled(!parts.isEmpty());
    if (!parts.isEmpty() && isVisible()) {
        txtPostTo->setFocus(); // the next question: where the parts go
    }
}

void frm7Plus::cmdPost7Plus_Click()
{
    if (m_busy || m_madeParts.isEmpty()) {
        return;
    }
    const QString to = txtPostTo->text().trimmed();
    if (to.isEmpty()) {
        box(QStringLiteral("Which station are the parts for? Type its call sign in \"Post to\", then press "
                           "\"Post the parts\"."),
            MsgIcon::Exclamation);
        txtPostTo->setFocus();
        return;
    }
    const StoreValue<QString> send = ctx().store.ReadStoreLine(QStringLiteral("send.dat"));
    QString folder = send.ok() ? send.value.trimmed() : QString();
    if (folder.size() >= 2 && folder.startsWith(u'"') && folder.endsWith(u'"')) {
        folder = folder.mid(1, folder.size() - 2);
    }
    if (folder.isEmpty()) {
        box(QStringLiteral("The send folder is not set up: choose it with SETUP. The parts stay in 7PLUS_OUTPUT."),
            MsgIcon::Exclamation);
        return;
    }
    const Result<QStringList> posted = PostSevenPlusParts(m_madeParts, folder, to);
    if (!posted.ok()) {
        box(posted.error() + QStringLiteral("\nThe parts stay in 7PLUS_OUTPUT."), MsgIcon::Exclamation);
        return;
    }
    QString text = QStringLiteral("%1 part(s) posted: they wait in %2 for the terminal.")
                       .arg(posted->size())
                       .arg(QFileInfo(posted->value(0)).absolutePath());
    QStringList left;
    for (const QString& part : m_madeParts) {
        if (QFileInfo::exists(part)) {
            left << part;
        }
    }
    if (!left.isEmpty()) {
        text += QStringLiteral("\nThese copies could not be removed from 7PLUS_OUTPUT: ") + left.join(QStringLiteral(", "));
    }
    setMadeParts({});
    setStatus(QStringLiteral("PARTS POSTED"), kGreen);
    box(text, MsgIcon::Information);
}

void frm7Plus::cmdDecode7Plus_Click()
{
    if (m_busy) {
        return;
    }
    const auto chosen = ctx().dialogs->openFileName({QStringLiteral("Select First 7PLUS Part (.P01)"), kPart1Filters, {}, {}});
    if (!chosen || chosen->trimmed().isEmpty()) {
        return;
    }
    DecodeReceivedSet(*chosen);
}

bool frm7Plus::DecodeReceivedSet(const QString& path, QString* report)
{
    if (m_busy) {
        return false;
    }
    m_busy = true;
    bool decoded = false;
    setLog(QStringLiteral("Decoding received 7PLUS file:") + kCrLf + path);
    try {
        const Result<QString> done =
            runCodec(QStringLiteral("DECODING"), [&](const Host& host) { return DecodeReceived7Plus(path, host); });
        decoded = done.ok();
        if (report) {
            *report = ReportText(done);
        }
    } catch (const std::exception& e) {
        setStatus(QStringLiteral("7PLUS decoding error"));
        box(QStringLiteral("7PLUS DECODE ERROR 51: %1").arg(QString::fromLocal8Bit(e.what())), MsgIcon::Critical);
    }
    m_busy = false;
    return decoded;
}

void frm7Plus::cmdClose7Plus_Click()
{
    ScreenRegistry& r = registry();
    const QString back = m_returnScreen;
    r.Unload(QStringLiteral("frm7Plus"));
    // Back where the operator came from, when that screen is still open.
    if (!back.isEmpty() && r.IsFormLoaded(back)) {
        r.Show(back);
        return;
    }
    const QString menu = QStringLiteral("mainmenu");
    r.setControlVisible(menu, QStringLiteral("testprogram"), false);
    r.setControlVisible(menu, QStringLiteral("chksoundtoggle"), false);
    r.Show(menu);
}

// ---- Self-tests ----

void frm7Plus::runSelfTest(void (frm7Plus::*test)(), const QString& errorPrefix)
{
    int number = 51;
    QString description;
    try {
        (this->*test)();
        return;
    } catch (const std::bad_alloc&) {
        number = 7;
        description = QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
        description = QString::fromLocal8Bit(e.what());
    }
    // A test that stopped half-way must not leave the commands locked.
    m_busy = false;
    box(errorPrefix + QStringLiteral("%1: %2").arg(number).arg(description), MsgIcon::Critical);
}

void frm7Plus::cmdTest7PlusCRC_Click()
{
    const auto path = ctx().dialogs->openFileName({QStringLiteral("Select 7PLUS Part for CRC Test"), kPartFilters, {}, {}});
    if (!path) {
        return;
    }
    const Result<Header> header = Read7PlusHeader(*path);
    if (!header.ok()) {
        setLog(header.error());
        setStatus(QStringLiteral("7PLUS CRC verification FAILED"), kRed);
        box(header.error(), MsgIcon::Exclamation);
        return;
    }
    const Header& h = header.value();
    const int lines = h.encodedBytes / kCodeChars;
    if (h.encodedBytes % kCodeChars != 0 || lines < 1 || lines > h.blockLines) {
        setLog(QStringLiteral("Invalid encoded line count."));
        setStatus(QStringLiteral("7PLUS CRC verification FAILED"), kRed);
        box(QStringLiteral("Invalid encoded line count."), MsgIcon::Exclamation);
        return;
    }
    const QByteArray data = SafeFile::ReadWhole(*path, kMaxPartFileBytes, SafeFile::Links::Follow).value();
    int passed = 0;
    for (int k = 0; k < lines; ++k) {
        const qsizetype at = qsizetype(kStoredLine) * (k + 1);
        if (at + kBlockSize <= data.size()
            && Verify7PlusLine({reinterpret_cast<const std::uint8_t*>(data.constData()) + at, size_t(kBlockSize)}, k)) {
            ++passed;
        }
    }
    const bool ok = passed == lines;
    setLog(QStringLiteral("7PLUS DATA LINE CRC TEST") + kCrLf + QStringLiteral("File: ") + *path + kCrLf
           + QStringLiteral("Part: %1 of %2").arg(h.partNumber).arg(h.totalParts) + kCrLf
           + QStringLiteral("Lines checked: %1").arg(lines) + kCrLf + QStringLiteral("Passed: %1").arg(passed) + kCrLf
           + QStringLiteral("Failed: %1").arg(lines - passed) + kCrLf + kCrLf
           + (ok ? QStringLiteral("RESULT: ALL CRC CHECKS PASSED") : QStringLiteral("RESULT: CRC VERIFICATION FAILED")));
    if (ok) {
        setStatus(QStringLiteral("7PLUS CRC verification PASSED"), kGreen);
        box(QStringLiteral("RESULT: ALL CRC CHECKS PASSED"), MsgIcon::Information);
    } else {
        setStatus(QStringLiteral("7PLUS CRC verification FAILED"), kRed);
        box(QStringLiteral("RESULT: CRC VERIFICATION FAILED"), MsgIcon::Exclamation);
    }
}

void frm7Plus::cmdDecodeReceived7Plus_Click()
{
    if (m_busy) {
        return;
    }
    const auto path = ctx().dialogs->openFileName({QStringLiteral("Select Received 7PLUS Part 1"), kPart1Filters, {}, {}});
    if (!path) {
        return;
    }
    m_busy = true;
    Update7PlusProgress(0);
    const Host host{[this](const QString& t, const QString& q) { return askYesNo(t, q); },
                    [this](int p) { Update7PlusProgress(p); }};
    const Result<QString> done = DecodeReceived7Plus(*path, host);
    m_busy = false;
    if (done.ok()) {
        setLog(done.value());
        setStatus(QStringLiteral("Received 7PLUS file decoded successfully"), kGreen);
        box(QStringLiteral("SUCCESS!") + kCrLf + QStringLiteral("Received 7PLUS file reconstructed."),
            MsgIcon::Information);
    } else {
        setLog(done.error());
        setStatus(QStringLiteral("Received 7PLUS decoding failed"), kRed);
        box(done.error(), MsgIcon::Exclamation);
    }
}

void frm7Plus::cmdRead7PlusHeader_Click()
{
    const auto path = ctx().dialogs->openFileName({QStringLiteral("Select 7PLUS Part"), kPartFilters, {}, {}});
    if (!path) {
        return;
    }
    const Result<Header> header = Read7PlusHeader(*path);
    if (!header.ok()) {
        setLog(header.error());
        box(header.error(), MsgIcon::Exclamation);
        return;
    }
    const Header& h = header.value();
    setLog(QStringLiteral("7PLUS HEADER TEST") + kCrLf + QStringLiteral("File: ") + *path + kCrLf
           + QStringLiteral("Original name: ") + h.name + kCrLf + QStringLiteral("Original size: %1").arg(h.size) + kCrLf
           + QStringLiteral("Part number: %1").arg(h.partNumber) + kCrLf
           + QStringLiteral("Total parts: %1").arg(h.totalParts) + kCrLf
           + QStringLiteral("Encoded bytes: %1").arg(h.encodedBytes) + kCrLf
           + QStringLiteral("Block lines: %1").arg(h.blockLines) + kCrLf + kCrLf
           + QStringLiteral("RESULT: HEADER VERIFIED"));
    setStatus(QStringLiteral("7PLUS header verified"), kGreen);
    box(QStringLiteral("7PLUS header verified successfully!"), MsgIcon::Information);
}

std::optional<QString> frm7Plus::pickOriginalPicture()
{
    const auto picture = ctx().dialogs->openFileName({QStringLiteral("Select Original JPG"), kJpegFilters, {}, {}});
    if (picture && !QFileInfo(*picture).isFile()) {
        box(QStringLiteral("Original JPG not found."), MsgIcon::Exclamation);
        return std::nullopt;
    }
    return picture;
}

void frm7Plus::cmdDecodeAll7Plus_Click()
{
    const auto picture = pickOriginalPicture();
    if (!picture) {
        return;
    }
    const QString out = folderOf(*picture) + QStringLiteral("7PLUS_OUTPUT/");
    const QString base = setBase(*picture);
    const Result<QString> decoded = Decode7PlusAll(out + base + QStringLiteral(".P01"), QFileInfo(*picture).size());
    if (!decoded.ok()) {
        setLog(decoded.error());
        setStatus(QStringLiteral("7PLUS decoding failed"), kRed);
        box(decoded.error(), MsgIcon::Exclamation);
        return;
    }
    const bool same = FilesIdentical(*picture, out + base + QStringLiteral("_DECODED.JPG"));
    const QString verdict =
        same ? QStringLiteral("BINARY COMPARISON: 100% IDENTICAL") : QStringLiteral("BINARY COMPARISON: FAILED");
    setLog(decoded.value() + kCrLf + kCrLf + verdict);
    if (same) {
        setStatus(QStringLiteral("Complete 7PLUS decoding PASSED"), kGreen);
        box(verdict, MsgIcon::Information);
    } else {
        setStatus(QStringLiteral("Complete 7PLUS comparison FAILED"), kRed);
        box(verdict, MsgIcon::Exclamation);
    }
}

void frm7Plus::cmdCompare7PlusPart1_Click()
{
    const auto picture = pickOriginalPicture();
    if (!picture) {
        return;
    }
    const QString decodedPath = folderOf(*picture) + QStringLiteral("7PLUS_OUTPUT/PART1_TEST.BIN");
    // A file that cannot be read compares as empty.
    const QByteArray a = ReadBinaryFile(*picture).value().left(kPartBytes);
    const QByteArray b = ReadBinaryFile(decodedPath).value().left(kPartBytes);
    const bool same = !a.isEmpty() && a == b;
    setLog(QStringLiteral("7PLUS PART 1 BINARY COMPARISON") + kCrLf + QStringLiteral("Original: ") + *picture + kCrLf
           + QStringLiteral("Decoded: ") + decodedPath + kCrLf + QStringLiteral("Bytes compared: %1").arg(a.size())
           + kCrLf + kCrLf
           + (same ? QStringLiteral("Part 1 comparison PASSED") : QStringLiteral("Part 1 comparison FAILED")));
    setStatus(same ? QStringLiteral("Part 1 comparison PASSED") : QStringLiteral("Part 1 comparison FAILED"),
              same ? kGreen : kRed);
    box(same ? QStringLiteral("Part 1 comparison PASSED") : QStringLiteral("Part 1 comparison FAILED"),
        same ? MsgIcon::Information : MsgIcon::Exclamation);
}

void frm7Plus::cmdDecodePart1_Click()
{
    MessageBoxRequest r;
    r.text = QStringLiteral("Decode Part 1 button was clicked.");
    r.title = QStringLiteral("7PLUS TEST");
    ctx().dialogs->messageBox(r);
    // The test set lies beside the file in the file box.
    const QString out = folderOf(fileBox()) + QStringLiteral("7PLUS_OUTPUT/");
    if (!fileBox().isEmpty()
        && Decode7PlusPart1(out + QStringLiteral("20250821.P01"), out + QStringLiteral("PART1_TEST.BIN")).ok()) {
        box(QStringLiteral("7PLUS Part 1 decoded successfully!") + kCrLf + QStringLiteral("31,744 bytes written."),
            MsgIcon::Information);
    } else {
        box(QStringLiteral("7PLUS Part 1 decoding failed."), MsgIcon::Exclamation);
    }
}

void frm7Plus::cmdCompare7PlusLine_Click()
{
    const QString picture = fileBox();
    const Result<QByteArray> read = ReadBinaryFile(picture);
    const QByteArray& original = read.value();
    Block line{};
    LineBytes decoded{};
    const QString part = folderOf(picture) + QStringLiteral("7PLUS_OUTPUT/20250821.P01");
    if (!read.ok() || !firstDataLine(part, line) || !Decode7PlusLine(line, decoded)) {
        setLog(QStringLiteral("7PLUS FIRST LINE COMPARISON") + kCrLf + QStringLiteral("FIRST LINE COMPARISON: FAILED"));
        setStatus(QStringLiteral("FIRST LINE COMPARISON: FAILED"), kRed);
        box(QStringLiteral("FIRST LINE COMPARISON: FAILED"), MsgIcon::Exclamation);
        return;
    }
    QString report = QStringLiteral("7PLUS FIRST LINE COMPARISON") + kCrLf;
    int differences = 0;
    for (int i = 0; i < kLineBytes; ++i) {
        const int want = i < original.size() ? std::uint8_t(original[i]) : 0;
        if (want != decoded[i]) {
            ++differences;
            report += QStringLiteral("Byte %1: original %2, decoded %3")
                          .arg(i)
                          .arg(want, 2, 16, QLatin1Char('0'))
                          .arg(decoded[i], 2, 16, QLatin1Char('0'))
                          .toUpper()
                      + kCrLf;
        }
    }
    const QString verdict =
        differences == 0 ? QStringLiteral("FIRST LINE COMPARISON: PASSED") : QStringLiteral("FIRST LINE COMPARISON: FAILED");
    setLog(report + kCrLf + verdict);
    setStatus(verdict, differences == 0 ? kGreen : kRed);
    box(verdict, differences == 0 ? MsgIcon::Information : MsgIcon::Exclamation);
}

void frm7Plus::cmdTest7PlusDecode_Click()
{
    Block line{};
    LineBytes decoded{};
    if (!firstDataLine(fileBox(), line) || !Decode7PlusLine(line, decoded)) {
        setLog(QStringLiteral("7PLUS FIRST DATA LINE DECODE TEST") + kCrLf + QStringLiteral("Decode failed."));
        setStatus(QStringLiteral("7PLUS first line decode failed"), kRed);
        box(QStringLiteral("7PLUS first line decode failed."), MsgIcon::Exclamation);
        return;
    }
    setLog(QStringLiteral("7PLUS FIRST DATA LINE DECODE TEST") + kCrLf + hexBytes(decoded.data(), kLineBytes));
    setStatus(QStringLiteral("7PLUS first line decoded"), kGreen);
    box(QStringLiteral("7PLUS first line decoded"), MsgIcon::Information);
}

void frm7Plus::cmdCreateAll7Plus_Click()
{
    if (m_busy) {
        return;
    }
    m_busy = true;
    setStatus(QStringLiteral("Creating 7PLUS parts..."), kBlue);
    Update7PlusProgress(0);
    const Host host{[this](const QString& t, const QString& q) { return askYesNo(t, q); },
                    [this](int p) { Update7PlusProgress(p); }};
    const Result<QString> done = Encode7PlusFile(fileBox(), host);
    m_busy = false;
    const bool ok = done.ok();
    const QString& message = ReportText(done);
    setLog(message);
    setStatus(ok ? QStringLiteral("All 7PLUS parts created") : QStringLiteral("7PLUS encoding failed"),
              ok ? kGreen : kRed);
    box(message, ok ? MsgIcon::Information : MsgIcon::Exclamation);
}

void frm7Plus::cmdCreate7PlusPart_Click()
{
    const QString source = fileBox();
    const QString output = source + QStringLiteral(".7plus-test.P01");
    if (QFileInfo::exists(output)) {
        box(QStringLiteral("The test output already exists.") + kCrLf + QStringLiteral("Please move or rename it first."),
            MsgIcon::Exclamation);
        return;
    }
    const Result<QString> done =
        Create7PlusFirstPart(source, output, source.mid(source.lastIndexOf(QLatin1Char('/')) + 1));
    const bool ok = done.ok();
    setLog(ReportText(done));
    setStatus(ok ? QStringLiteral("First 7PLUS part created.") : QStringLiteral("7PLUS part creation failed"),
              ok ? kGreen : kRed);
    box(ok ? QStringLiteral("First 7PLUS part created.") : QStringLiteral("7PLUS part creation failed"),
        ok ? MsgIcon::Information : MsgIcon::Exclamation);
}

void frm7Plus::cmdTest7PlusFooter_Click()
{
    Block footer{};
    if (!Build7PlusFooter(QStringLiteral("TEST.JPG"), 1, 34, footer, Get7PlusTimestamp(fileBox()))) {
        setLog(QStringLiteral("7PLUS COMPLETE FOOTER TEST") + kCrLf + QStringLiteral("Footer generation failed."));
        box(QStringLiteral("Footer generation failed."), MsgIcon::Exclamation);
        return;
    }
    // Recomputes the three check characters independently of the sealing.
    QString failure;
    if (footer[66] != Get7PlusChar(Crc7PlusRange(footer, 0, 65, false) % 216)) {
        failure = QStringLiteral("Footer mini-CRC FAILED.");
    } else {
        const int r = Crc7PlusRange(footer, 0, 66, true) & 0x7FFF;
        if (footer[67] != Get7PlusChar(r % 216)) {
            failure = QStringLiteral("Footer CRC byte 67 FAILED.");
        } else if (footer[68] != Get7PlusChar(r / 216)) {
            failure = QStringLiteral("Footer CRC byte 68 FAILED.");
        }
    }
    setLog(QStringLiteral("7PLUS COMPLETE FOOTER TEST") + kCrLf + hexBytes(footer.data(), kBlockSize)
           + (failure.isEmpty() ? QStringLiteral("RESULT: FOOTER VERIFIED") : failure));
    setStatus(failure.isEmpty() ? QStringLiteral("7PLUS footer verified") : failure, failure.isEmpty() ? kGreen : kRed);
    box(failure.isEmpty() ? QStringLiteral("7PLUS footer verified.") : failure,
        failure.isEmpty() ? MsgIcon::Information : MsgIcon::Exclamation);
}

void frm7Plus::cmdTest7PlusHeader_Click()
{
    const qint64 size = QFileInfo(fileBox()).size();
    const int total = int((size + kPartBytes - 1) / kPartBytes);
    Block header{};
    if (size < 1 || size > kMaxFileSize || !Build7PlusHeader(int(size), 1, total, kBlockLines, header, QStringLiteral("TEST.JPG"))) {
        setLog(QStringLiteral("7PLUS COMPLETE HEADER TEST") + kCrLf + QStringLiteral("Header generation failed."));
        box(QStringLiteral("Header generation failed."), MsgIcon::Exclamation);
        return;
    }
    const bool ok = Verify7PlusHeader(header);
    setLog(QStringLiteral("7PLUS COMPLETE HEADER TEST") + kCrLf + hexBytes(header.data(), kBlockSize)
           + (ok ? QStringLiteral("RESULT: HEADER VERIFIED") : QStringLiteral("7PLUS header verification FAILED.")));
    setStatus(ok ? QStringLiteral("7PLUS header verified") : QStringLiteral("7PLUS header verification FAILED."),
              ok ? kGreen : kRed);
    box(ok ? QStringLiteral("7PLUS header verified successfully!") : QStringLiteral("7PLUS header verification FAILED."),
        ok ? MsgIcon::Information : MsgIcon::Exclamation);
}

void frm7Plus::cmdTest7PlusPart_Click()
{
    const QString source = fileBox();
    const QString output = source + QStringLiteral(".7plus-part-test");
    const Result<QByteArray> read = ReadBinaryFile(source);
    if (!read.ok()) {
        box(QStringLiteral("7PLUS part test failed: ") + read.error(), MsgIcon::Critical);
        return;
    }
    const QByteArray& data = read.value();
    if (QFileInfo::exists(output) && !askYesNo(QStringLiteral("7PLUS Test"), QStringLiteral("Replace the previous test file?"))) {
        return;
    }
    const int n = int(std::min<qint64>(kBlockLines, (data.size() + kLineBytes - 1) / kLineBytes));
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(data.constData()), size_t(data.size()));
    QByteArray out;
    Values values{};
    Chars chars{};
    Block line{};
    for (int k = 0; k < n; ++k) {
        if (k % 64 == 0) {
            setStatus(QStringLiteral("Encoding line %1 of %2").arg(k + 1).arg(n), kBlue);
        }
        if (!Pack7PlusLine(bytes, qint64(k) * kLineBytes, values) || !Encode7PlusValues(values, chars)
            || !Protect7PlusLine(chars, k, line)) {
            box(QStringLiteral("7PLUS part test failed: line %1").arg(k), MsgIcon::Critical);
            return;
        }
        out.append(reinterpret_cast<const char*>(line.data()), kBlockSize);
        out.append("\r\n", 2);
    }
    QFile::remove(output);
    if (!WriteBinaryFile(output, out).ok()) {
        box(QStringLiteral("7PLUS part test failed: Unable to write ") + output, MsgIcon::Critical);
        return;
    }
    setLog(QStringLiteral("7PLUS 512-LINE PART TEST") + kCrLf + QStringLiteral("Source: ") + source + kCrLf
           + QStringLiteral("Protected lines: %1").arg(n) + kCrLf + QStringLiteral("Output size: %1").arg(out.size())
           + kCrLf + QStringLiteral("Output: ") + output);
    setStatus(QStringLiteral("7PLUS 512-line part test done"), kGreen);
    box(QStringLiteral("%1 protected lines saved successfully.").arg(n), MsgIcon::Information);
}

void frm7Plus::cmdTest7PlusLines_Click() {}

void frm7Plus::cmdTest7PlusEncoding_Click()
{
    const Result<QByteArray> read = ReadBinaryFile(fileBox());
    const QByteArray& data = read.value();
    Values values{};
    Chars chars{};
    Block line{};
    if (!read.ok()
        || !Pack7PlusLine(std::span(reinterpret_cast<const std::uint8_t*>(data.constData()), size_t(data.size())), 0,
                          values)
        || !Encode7PlusValues(values, chars) || !Protect7PlusLine(chars, 0, line)) {
        box(QStringLiteral("7PLUS encoding test failed."), MsgIcon::Exclamation);
        return;
    }
    setLog(QStringLiteral("7PLUS PROTECTED LINE TEST") + kCrLf + hexBytes(line.data(), kBlockSize));
    setStatus(QStringLiteral("7PLUS protected line generated"), kGreen);
    box(QStringLiteral("69-byte 7PLUS line generated."), MsgIcon::Information);
}

void frm7Plus::cmdTestPacking_Click()
{
    const Result<QByteArray> read = ReadBinaryFile(fileBox());
    const QByteArray& data = read.value();
    Values values{};
    if (!read.ok()
        || !Pack7PlusLine(std::span(reinterpret_cast<const std::uint8_t*>(data.constData()), size_t(data.size())), 0,
                          values)) {
        box(QStringLiteral("7PLUS packing test failed."), MsgIcon::Exclamation);
        return;
    }
    QString report = QStringLiteral("7PLUS PACKING TEST") + kCrLf;
    for (int i = 0; i < 16; ++i) {
        report += QStringLiteral("Value %1 = %2").arg(i).arg(values[i]) + kCrLf;
    }
    setLog(report);
    setStatus(QStringLiteral("7PLUS packing done"), kGreen);
    box(QStringLiteral("16 packed values generated."), MsgIcon::Information);
}

void frm7Plus::cmdTestBinary_Click()
{
    const QString source = fileBox();
    const QString copy = source + QStringLiteral(".7plus-test-copy");
    if (QFileInfo::exists(copy)) {
        box(QStringLiteral("Test copy already exists."), MsgIcon::Exclamation);
        return;
    }
    const Result<QByteArray> read = ReadBinaryFile(source);
    const bool same = read.ok() && WriteBinaryFile(copy, read.value()).ok() && FilesIdentical(source, copy);
    const QString verdict = same ? QStringLiteral("Both files are 100% identical.") : QStringLiteral("The two files are different.");
    setLog(QStringLiteral("7PLUS BINARY VERIFICATION") + kCrLf + QStringLiteral("Source: ") + source + kCrLf
           + QStringLiteral("Copy: ") + copy + kCrLf + kCrLf + verdict);
    setStatus(verdict, same ? kGreen : kRed);
    box(verdict, same ? MsgIcon::Information : MsgIcon::Exclamation);
}

} // namespace tolvan
