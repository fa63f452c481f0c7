#include "ScreenFixture.h"
#include "SevenPlusTestUtil.h"

#include "sevenplus/frm7Plus.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include <new>
#include <stdexcept>

using namespace tolvan;
using namespace tolvan::sevenplus_test;

namespace {

const QStringList kHiddenButtons = {
    "cmdTest7PlusCRC",     "cmdDecodeReceived7Plus", "cmdRead7PlusHeader", "cmdDecodeAll7Plus",
    "cmdCompare7PlusPart1", "cmdDecodePart1",        "cmdCompare7PlusLine", "cmdTest7PlusDecode",
    "cmdCreateAll7Plus",   "cmdCreate7PlusPart",     "cmdTest7PlusFooter", "cmdTest7PlusHeader",
    "cmdTest7PlusPart",    "cmdTest7PlusLines",      "cmdTest7PlusEncoding", "cmdTestPacking",
    "cmdTestBinary"};

class SevenPlusScreen : public test::ScreenFixture {
protected:
    frm7Plus* screen = nullptr;

    void SetUp() override
    {
        ScreenFixture::SetUp();
        screen = registry->form<frm7Plus>("frm7Plus");
        ASSERT_NE(screen, nullptr);
    }

    template <class T>
    T* get(const QString& name)
    {
        T* w = screen->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QString status() { return get<QLabel>("lbl7PlusStatus")->text(); }
    QColor statusColour() { return get<QLabel>("lbl7PlusStatus")->palette().color(QPalette::WindowText); }
    // The log box shows the reports' CR LF line ends as plain line breaks.
    QString log() { return get<QPlainTextEdit>("txt7PlusLog")->toPlainText(); }
    int progress() { return get<QProgressBar>("prg7Plus")->value(); }
    void click(const QString& name) { get<QPushButton>(name)->click(); }
    void setFile(const QString& path) { get<QLineEdit>("txt7PlusFile")->setText(path); }

    // A source file with a three-part set already encoded beside it.
    QString encodedSet()
    {
        const QString src = tmp.path() + "/pic.jpg";
        writeFile(src, randomBytes(70000));
        QString msg;
        EXPECT_TRUE(reported(Mod7plus::Encode7PlusFile(src), msg));
        return tmp.path() + "/7PLUS_OUTPUT/PIC.P01";
    }
};

const QColor kBlue(0, 0, 255);
const QColor kGreen(0, 100, 0);
const QColor kRed(180, 0, 0);
const QColor kNeutral(64, 64, 64);

} // namespace

TEST_F(SevenPlusScreen, OpensReadyWithEmptyBoxesAndHiddenSelfTests)
{
    EXPECT_EQ(screen->windowTitle(), "7PLUS Encoder / Decoder");
    EXPECT_EQ(status(), "READY");
    EXPECT_EQ(statusColour(), kBlue);
    EXPECT_TRUE(get<QLineEdit>("txt7PlusFile")->text().isEmpty());
    EXPECT_TRUE(log().isEmpty());
    EXPECT_EQ(progress(), 0);
    EXPECT_EQ(get<QPushButton>("cmdEncode7Plus")->text(), "Encode File to send using7plus");
    EXPECT_EQ(get<QPushButton>("cmdDecode7Plus")->text(), "Decode Recieved file using 7PLUS");
    EXPECT_EQ(get<QPushButton>("cmdBrowse7Plus")->text(), "Browse File to Send");
    EXPECT_EQ(get<QPushButton>("cmdClose7Plus")->text(), "Close");
    screen->show();
    for (const QString& name : kHiddenButtons) {
        EXPECT_FALSE(get<QPushButton>(name)->isVisible()) << name.toStdString();
    }
    EXPECT_TRUE(get<QPushButton>("cmdEncode7Plus")->isVisible());
}

struct ProgressCase {
    int given;
    int shown;
};

class SevenPlusProgress : public SevenPlusScreen, public ::testing::WithParamInterface<ProgressCase> {};

TEST_P(SevenPlusProgress, IsClampedToItsRange)
{
    screen->Update7PlusProgress(GetParam().given);
    EXPECT_EQ(progress(), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Values, SevenPlusProgress,
                         ::testing::Values(ProgressCase{150, 100}, ProgressCase{-5, 0}, ProgressCase{42, 42},
                                           ProgressCase{100, 100}, ProgressCase{0, 0}));

// A run of 255 parts must not paint the bar 255 times, yet the end shows at
// once, a new run restarts it at once, and a value held back shows soon.
TEST_F(SevenPlusScreen, ProgressPaintsAtMostEvery50msWithoutLosingAValue)
{
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override
        {
            paints += e->type() == QEvent::Paint ? 1 : 0;
            return false;
        }
    } counter;
    screen->show();
    QCoreApplication::processEvents();
    get<QProgressBar>("prg7Plus")->installEventFilter(&counter);
    for (int p = 1; p <= 255; ++p) {
        screen->Update7PlusProgress(p * 100 / 255);
    }
    EXPECT_EQ(progress(), 100);
    EXPECT_GT(counter.paints, 0);
    EXPECT_LT(counter.paints, 20);

    screen->Update7PlusProgress(3);
    EXPECT_EQ(progress(), 3);
    screen->Update7PlusProgress(7);
    QElapsedTimer waited;
    waited.start();
    while (progress() != 7 && waited.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    EXPECT_EQ(progress(), 7);
}

TEST_F(SevenPlusScreen, EncodeRefusesEmptyOrMissingFileWithoutChangingStatus)
{
    click("cmdEncode7Plus");
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].text, "Please select a file first.");
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(dialogs.boxes[0].title, "7PLUS");
    EXPECT_EQ(status(), "READY");
    EXPECT_TRUE(log().isEmpty());

    setFile("  " + tmp.path() + "/gone.bin  ");
    click("cmdEncode7Plus");
    ASSERT_EQ(dialogs.boxes.size(), 2);
    EXPECT_EQ(dialogs.boxes[1].text, "Selected file does not exist:\r\n" + tmp.path() + "/gone.bin");
    EXPECT_EQ(status(), "READY");
}

TEST_F(SevenPlusScreen, BrowseFillsTheFileBoxAndCancelChangesNothing)
{
    click("cmdBrowse7Plus");
    EXPECT_EQ(status(), "READY");
    ASSERT_EQ(dialogs.fileRequests.size(), 1);
    EXPECT_EQ(dialogs.fileRequests[0].title, "Select File for 7PLUS");

    dialogs.fileAnswers.enqueue(tmp.path() + "/a.bin");
    click("cmdBrowse7Plus");
    EXPECT_EQ(get<QLineEdit>("txt7PlusFile")->text(), tmp.path() + "/a.bin");
    EXPECT_EQ(status(), "FILE SELECTED");
    EXPECT_EQ(statusColour(), kBlue);
    EXPECT_EQ(log(), "Selected file: " + tmp.path() + "/a.bin");
}

TEST_F(SevenPlusScreen, LongestStatusWordsFitTheirLabel)
{
    auto* label = get<QLabel>("lbl7PlusStatus");
    for (const char* word : {"ENCODING COMPLETE", "DECODING FAILED", "Complete 7PLUS comparison FAILED",
                             "Received 7PLUS file decoded successfully"}) {
        const QSize need = label->fontMetrics().size(0, QString::fromLatin1(word));
        EXPECT_LE(need.width(), label->contentsRect().width()) << word;
        EXPECT_LE(need.height(), label->contentsRect().height()) << word;
    }
}

TEST_F(SevenPlusScreen, EncodeShowsReportAndAsksBeforeReplacingWithNoAsDefault)
{
    const QString src = tmp.path() + "/pic.jpg";
    writeFile(src, randomBytes(70000));
    setFile(src);
    click("cmdEncode7Plus");
    EXPECT_EQ(status(), "ENCODING COMPLETE");
    EXPECT_EQ(statusColour(), kGreen);
    EXPECT_TRUE(log().startsWith("7PLUS MULTIPART ENCODING COMPLETE"));
    EXPECT_EQ(progress(), 100);
    EXPECT_TRUE(dialogs.boxes.isEmpty());

    click("cmdEncode7Plus");
    ASSERT_EQ(dialogs.boxes.size(), 1);
    const MessageBoxRequest& q = dialogs.boxes[0];
    EXPECT_EQ(q.title, "Replace Existing 7PLUS Files");
    EXPECT_EQ(q.icon, MsgIcon::Question);
    EXPECT_EQ(q.buttons, MsgButtons::YesNo);
    EXPECT_EQ(q.defaultButton, MsgAnswer::No);
    // Keeping the existing set is no failure.
    EXPECT_EQ(status(), "CANCELLED");
    EXPECT_EQ(statusColour(), kNeutral);
    EXPECT_EQ(log(), "7PLUS encoding cancelled. Existing files preserved.");

    dialogs.answers.enqueue(MsgAnswer::Yes);
    click("cmdEncode7Plus");
    EXPECT_EQ(status(), "ENCODING COMPLETE");
}

// The set just made goes to the send folder once the operator names the
// station; a refusal keeps the set for another try.
TEST_F(SevenPlusScreen, PostsTheSetJustMadeToTheNamedStation)
{
    EXPECT_FALSE(get<QPushButton>("cmdPost7Plus")->isEnabled()); // nothing made yet
    const QString src = tmp.path() + "/pic.jpg";
    writeFile(src, randomBytes(70000));
    setFile(src);
    click("cmdEncode7Plus");
    ASSERT_TRUE(get<QPushButton>("cmdPost7Plus")->isEnabled());

    click("cmdPost7Plus"); // no destination
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith("Which station are the parts for?"));
    get<QLineEdit>("txtPostTo")->setText("n0bbb-1");
    click("cmdPost7Plus"); // no send folder yet
    EXPECT_TRUE(dialogs.boxes.last().text.contains("send folder is not set up"));
    const QString send = tmp.path() + "/send";
    QDir().mkpath(send);
    writeStore("send.dat", send.toUtf8() + "\r\n");
    click("cmdPost7Plus");
    EXPECT_EQ(dialogs.boxes.last().icon, MsgIcon::Information);
    EXPECT_EQ(QDir(send + "/N0BBB-1").entryList(QDir::Files), (QStringList{"PIC.P01", "PIC.P02", "PIC.P03"}));
    EXPECT_TRUE(QDir(tmp.path() + "/7PLUS_OUTPUT").entryList(QDir::Files).isEmpty());
    EXPECT_EQ(status(), "PARTS POSTED");
    EXPECT_FALSE(get<QPushButton>("cmdPost7Plus")->isEnabled()); // posted once only
}

TEST_F(SevenPlusScreen, DecodeSucceedsFailsOrIsCancelled)
{
    const QString p1 = encodedSet();
    click("cmdDecode7Plus");
    EXPECT_EQ(status(), "READY");
    EXPECT_TRUE(log().isEmpty());
    ASSERT_EQ(dialogs.fileRequests.size(), 1);
    EXPECT_EQ(dialogs.fileRequests[0].title, "Select First 7PLUS Part (.P01)");
    EXPECT_EQ(dialogs.fileRequests[0].filters[0].patterns, "*.P01");

    dialogs.fileAnswers.enqueue(QString("   "));
    click("cmdDecode7Plus");
    EXPECT_EQ(status(), "READY");

    dialogs.fileAnswers.enqueue(p1);
    click("cmdDecode7Plus");
    EXPECT_EQ(status(), "DECODING COMPLETE");
    EXPECT_EQ(statusColour(), kGreen);
    EXPECT_TRUE(log().endsWith("RESULT: DECODING COMPLETE"));

    // Damage line 3 of part 2: the bar stays where part 1 left it.
    const QString p2 = tmp.path() + "/7PLUS_OUTPUT/PIC.P02";
    QByteArray d = readFile(p2);
    d[71 * 4 + 10] = d[71 * 4 + 10] == '!' ? '"' : '!';
    writeFile(p2, d);
    dialogs.fileAnswers.enqueue(p1);
    dialogs.answers.enqueue(MsgAnswer::Yes);
    click("cmdDecode7Plus");
    EXPECT_EQ(status(), "DECODING FAILED");
    EXPECT_EQ(statusColour(), kRed);
    EXPECT_EQ(log(), "7PLUS CRC FAILED\nPart: 2\nLine: 3");
    EXPECT_EQ(progress(), 33);
}

TEST_F(SevenPlusScreen, CloseUnloadsTheScreen)
{
    click("cmdClose7Plus");
    EXPECT_FALSE(registry->IsFormLoaded("frm7Plus"));
    flush();
    screen = registry->form<frm7Plus>("frm7Plus");
    EXPECT_EQ(status(), "READY");
    QCloseEvent e;
    QCoreApplication::sendEvent(screen, &e);
    EXPECT_FALSE(registry->IsFormLoaded("frm7Plus"));
}

// Every self-test runs on a real set and reports without a crash; the ones
// with a clear verdict must pass on a sound set.
struct SelfTestCase {
    const char* button;
    const char* logContains; // empty: no report expected
};

class SevenPlusSelfTests : public SevenPlusScreen, public ::testing::WithParamInterface<SelfTestCase> {};

TEST_P(SevenPlusSelfTests, ReportOnASoundSet)
{
    const QString p1 = encodedSet();
    const QString src = tmp.path() + "/pic.jpg";
    // The part-1 tests use the fixed set name.
    QFile::copy(p1, tmp.path() + "/7PLUS_OUTPUT/20250821.P01");
    setFile(src);
    const QString button = GetParam().button;
    if (button == "cmdTest7PlusDecode") {
        setFile(p1);
    }
    if (button == "cmdCompare7PlusPart1") {
        ASSERT_TRUE(Mod7plus::Decode7PlusPart1(p1, tmp.path() + "/7PLUS_OUTPUT/PART1_TEST.BIN").ok());
    }
    if (button == "cmdCreateAll7Plus") {
        dialogs.answers.enqueue(MsgAnswer::Yes);
    }
    dialogs.fileAnswers.enqueue(button.contains("Decode") || button.contains("Compare") ? src : p1);
    if (button == "cmdDecodeReceived7Plus") {
        dialogs.fileAnswers.clear();
        dialogs.fileAnswers.enqueue(p1);
    }
    click(button);
    EXPECT_TRUE(log().contains(GetParam().logContains)) << log().toStdString();
    if (QString(GetParam().logContains).isEmpty()) {
        EXPECT_TRUE(dialogs.boxes.isEmpty());
        return;
    }
    ASSERT_FALSE(dialogs.boxes.isEmpty());
    EXPECT_EQ(dialogs.boxes.back().title, "7PLUS");
    EXPECT_NE(dialogs.boxes.back().icon, MsgIcon::Exclamation) << dialogs.boxes.back().text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, SevenPlusSelfTests,
    ::testing::Values(SelfTestCase{"cmdTest7PlusCRC", "RESULT: ALL CRC CHECKS PASSED"},
                      SelfTestCase{"cmdDecodeReceived7Plus", "RESULT: DECODING COMPLETE"},
                      SelfTestCase{"cmdRead7PlusHeader", "RESULT: HEADER VERIFIED"},
                      SelfTestCase{"cmdDecodeAll7Plus", "BINARY COMPARISON: 100% IDENTICAL"},
                      SelfTestCase{"cmdCompare7PlusPart1", "Part 1 comparison PASSED"},
                      SelfTestCase{"cmdCompare7PlusLine", "FIRST LINE COMPARISON: PASSED"},
                      SelfTestCase{"cmdTest7PlusDecode", "7PLUS FIRST DATA LINE DECODE TEST"},
                      SelfTestCase{"cmdCreateAll7Plus", "7PLUS MULTIPART ENCODING COMPLETE"},
                      SelfTestCase{"cmdCreate7PlusPart", "7PLUS FIRST PART CREATED"},
                      SelfTestCase{"cmdTest7PlusFooter", "RESULT: FOOTER VERIFIED"},
                      SelfTestCase{"cmdTest7PlusHeader", "RESULT: HEADER VERIFIED"},
                      SelfTestCase{"cmdTest7PlusPart", "7PLUS 512-LINE PART TEST"},
                      SelfTestCase{"cmdTest7PlusLines", ""},
                      SelfTestCase{"cmdTest7PlusEncoding", "7PLUS PROTECTED LINE TEST"},
                      SelfTestCase{"cmdTestPacking", "Value 15 = "},
                      SelfTestCase{"cmdTestBinary", "Both files are 100% identical."}),
    [](const auto& info) { return std::string(info.param.button); });

TEST_F(SevenPlusScreen, DecodePart1TestAnnouncesItselfThenDecodes)
{
    const QString p1 = encodedSet();
    QFile::copy(p1, tmp.path() + "/7PLUS_OUTPUT/20250821.P01");
    setFile(tmp.path() + "/pic.jpg");
    click("cmdDecodePart1");
    ASSERT_EQ(dialogs.boxes.size(), 2);
    EXPECT_EQ(dialogs.boxes[0].title, "7PLUS TEST");
    EXPECT_EQ(dialogs.boxes[1].text, "7PLUS Part 1 decoded successfully!\r\n31,744 bytes written.");
    EXPECT_EQ(readFile(tmp.path() + "/7PLUS_OUTPUT/PART1_TEST.BIN"), readFile(tmp.path() + "/pic.jpg").left(31744));
}

// Clicks a command while a question is open, as an operator can while the
// screen repaints between parts.
class ClickingDialogs : public FakeDialogs {
public:
    QPushButton* button = nullptr;
    MsgAnswer messageBox(const MessageBoxRequest& request) override
    {
        if (button && request.buttons == MsgButtons::YesNo) {
            QPushButton* b = button;
            button = nullptr;
            b->click();
        }
        return FakeDialogs::messageBox(request);
    }
};

TEST_F(SevenPlusScreen, ASecondRunCannotStartWhileOneIsRunning)
{
    ClickingDialogs clicking;
    context->dialogs = clicking;
    const QString src = tmp.path() + "/pic.jpg";
    writeFile(src, randomBytes(1000));
    ASSERT_TRUE(Mod7plus::Encode7PlusFile(src).ok());
    setFile(src);
    clicking.button = get<QPushButton>("cmdEncode7Plus");
    clicking.answers.enqueue(MsgAnswer::Yes);
    click("cmdEncode7Plus");
    // Only the outer run asked; the click inside it was ignored.
    EXPECT_EQ(clicking.boxes.size(), 1);
    EXPECT_EQ(status(), "ENCODING COMPLETE");
    context->dialogs = dialogs;
}

// A fault inside a self-test ends it with a critical box that names the test,
// the error number and the description; the screen stays usable.
struct SelfTestFault {
    const char* button;
    bool outOfMemory; // else any other error
    const char* box;
};

class SevenPlusSelfTestFault : public SevenPlusScreen, public ::testing::WithParamInterface<SelfTestFault> {};

TEST_P(SevenPlusSelfTestFault, IsShownInABoxNamingTheTest)
{
    dialogs.beforeFileAnswer = [outOfMemory = GetParam().outOfMemory] {
        if (outOfMemory) {
            throw std::bad_alloc();
        }
        throw std::runtime_error("device lost");
    };
    click(GetParam().button);
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].text, GetParam().box);
    EXPECT_EQ(dialogs.boxes[0].title, "7PLUS");
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Critical);
}

INSTANTIATE_TEST_SUITE_P(
    Tests, SevenPlusSelfTestFault,
    ::testing::Values(SelfTestFault{"cmdTest7PlusCRC", false, "7PLUS CRC test error 51: device lost"},
                      SelfTestFault{"cmdDecodeReceived7Plus", true, "7PLUS error 7: Out of memory"},
                      SelfTestFault{"cmdRead7PlusHeader", false, "7PLUS error 51: device lost"},
                      SelfTestFault{"cmdDecodeAll7Plus", true, "7PLUS comparison error 7: Out of memory"},
                      SelfTestFault{"cmdCompare7PlusPart1", false, "7PLUS comparison error 51: device lost"}),
    [](const auto& info) { return std::string(info.param.button); });

// Answers a replace question by failing, as a broken display would.
class FailingQuestionDialogs : public FakeDialogs {
public:
    bool fail = true;
    MsgAnswer messageBox(const MessageBoxRequest& request) override
    {
        if (fail && request.buttons == MsgButtons::YesNo) {
            fail = false;
            throw std::runtime_error("no display for the question");
        }
        return FakeDialogs::messageBox(request);
    }
};

TEST_F(SevenPlusScreen, SelfTestStoppedByAFaultLeavesTheCommandsFree)
{
    FailingQuestionDialogs failing;
    context->dialogs = failing;
    encodedSet();
    setFile(tmp.path() + "/pic.jpg");
    click("cmdCreateAll7Plus"); // the set exists, so the encoder asks first
    ASSERT_EQ(failing.boxes.size(), 1);
    EXPECT_EQ(failing.boxes[0].text, "7PLUS error 51: no display for the question");

    click("cmdCreateAll7Plus");
    EXPECT_GE(failing.boxes.size(), 3) << "the second run asked again and reported, so it ran";
    context->dialogs = dialogs;
}
