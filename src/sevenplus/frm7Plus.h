#pragma once

#include "sevenplus/Mod7plus.h"
#include "shell/Screen.h"

#include <QColor>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace tolvan {

// Encodes a file into a 7PLUS part set and rebuilds a received set. The
// codec does the work; this screen picks files, shows the status word, the
// progress per part and the codec's report. The hidden self-test buttons run
// single codec steps on sample files for diagnosis.
class frm7Plus : public Screen {
    Q_OBJECT
public:
    explicit frm7Plus(ScreenRegistry& registry);
    void Form_Load() override;

public slots:
    // Clamps to 0..100 and shows it, repainting the bar and letting the
    // screen handle its events; within 50 ms of the last update the value
    // waits for the next one (or for a timer), unless it ends a run or
    // starts one over.
    void Update7PlusProgress(int percent);

public:
    // The decode command after its file dialog: decodes the set whose part 1
    // is given, with this screen's status, progress and log. True when the
    // file was rebuilt; report receives the codec's message.
    bool DecodeReceivedSet(const QString& part1Path, QString* report = nullptr);
    // The screen that opened this one, which Close shows again; without one
    // (or once it is gone) Close leads to the main menu.
    void SetReturnScreen(const QString& name) { m_returnScreen = name; }

protected:
    // A window-manager close leaves the screen like its Close button.
    void closeEvent(QCloseEvent* event) override;

private slots:
    void cmdBrowse7Plus_Click();
    void cmdEncode7Plus_Click();
    void cmdDecode7Plus_Click();
    void cmdClose7Plus_Click();
    // Moves the parts of the set just made into the send folder, addressed
    // to the station named in the destination box.
    void cmdPost7Plus_Click();

    void cmdTest7PlusCRC_Click();
    void cmdDecodeReceived7Plus_Click();
    void cmdRead7PlusHeader_Click();
    void cmdDecodeAll7Plus_Click();
    void cmdCompare7PlusPart1_Click();
    void cmdDecodePart1_Click();
    void cmdCompare7PlusLine_Click();
    void cmdTest7PlusDecode_Click();
    void cmdCreateAll7Plus_Click();
    void cmdCreate7PlusPart_Click();
    void cmdTest7PlusFooter_Click();
    void cmdTest7PlusHeader_Click();
    void cmdTest7PlusPart_Click();
    void cmdTest7PlusLines_Click();
    void cmdTest7PlusEncoding_Click();
    void cmdTestPacking_Click();
    void cmdTestBinary_Click();

private:
    void setStatus(const QString& text, const QColor& colour);
    void setStatus(const QString& text);
    void setLog(const QString& text);
    // Runs one encode or decode: the status word ("ENCODING", "DECODING")
    // before and after, progress and replace questions through the codec's
    // host, and the codec's report in the log. Exceptions reach the caller.
    Result<QString> runCodec(const QString& word, const std::function<Result<QString>(const Mod7plus::Host& host)>& job);
    // Runs a self-test; an error it did not expect ends it with a critical box
    // naming the test, the error number and the description.
    void runSelfTest(void (frm7Plus::*test)(), const QString& errorPrefix);
    void box(const QString& text, MsgIcon icon);
    // The original picture a self-test compares with, asked for in a file
    // dialog; nothing when cancelled or not a file (which a box says).
    std::optional<QString> pickOriginalPicture();
    bool askYesNo(const QString& title, const QString& text);
    QString fileBox() const;
    QPushButton* makeButton(const QString& name, const QString& caption, int left, int top, int width, int height);

    QLabel* lbl7PlusStatus;
    QLineEdit* txt7PlusFile; // the file to encode
    QPushButton* cmdBrowse7Plus;
    QPushButton* cmdEncode7Plus;
    QPushButton* cmdDecode7Plus;
    QProgressBar* prg7Plus;      // progress per part
    QPlainTextEdit* txt7PlusLog; // report of the last command
    QPushButton* cmdClose7Plus;
    QLabel* lblPostTo;
    QLineEdit* txtPostTo; // the destination of the parts, completed from the call signs used
    QPushButton* cmdPost7Plus;
    QStringList m_madeParts; // the set the last encode made, until it is posted
    void setMadeParts(const QStringList& parts);
    // Sizes and air time of the chosen file in each way it can be sent.
    QLabel* lblEstimate;
    // Set while a codec operation runs, so a click that arrives during a
    // repaint cannot start a second one over the same files.
    bool m_busy = false;
    QString m_returnScreen;

    void showProgress(int percent);
    // Shows a value that is still waiting, if any.
    void flushProgress();
    QElapsedTimer m_progressClock; // since the bar was last painted
    QTimer m_progressTimer;        // shows a waiting value once the 50 ms are up
    int m_pendingProgress = -1;
};

} // namespace tolvan
