#pragma once

#include "sevenplus/SevenPlusSets.h"
#include "shell/Screen.h"

#include <QHash>
#include <QList>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

namespace tolvan {

class PickList;

// Lists the receive folder and lets the operator open ("Read Message") or
// delete a file of it. Loading it starts the program-wide watch on the
// receive folder when it is not running yet (closing it leaves the watch
// running); arrivals are announced and shown on the main menu.
class received : public Screen {
    Q_OBJECT
public:
    static inline const QString kArrivalWarning = QStringLiteral(
        "Message has arrived  Warning Check Running Packet Program to ensure total message received before opening");
    static inline const QString kArrivalNotice = QStringLiteral("A Message Has Arrived ");
    static inline const QString kArrivalCheck =
        QStringLiteral(" Warning Check Packet Program to ensure total message received before opening");

    // The arrival notice, run inside the watch's tick whether this screen is
    // loaded or not: speech, the main menu's labels, this screen's list.
    static inline const QString kSevenPlusNotice = QStringLiteral("A 7PLUS File Has Arrived: ");
    static inline const QString kSevenPlusCheck =
        QStringLiteral(" All its parts are in the receive folder: Read Message decodes it");
    static void AnnounceArrival(ScreenRegistry& registry, const QString& folderPath,
                                const QStringList& arrivals = {});

    explicit received(ScreenRegistry& registry);
    void Form_Load() override;

    // The folder File1 shows, and pointing it somewhere else.
    QString fileListFolder() const { return m_folder; }
    void setFileListFolder(const QString& folder);

    // Deletes an ordinary file; after each failure the operator may try again
    // or give up, which leaves the file. True when the file is gone.
    bool KillFile(const QString& FilePath);

    // The 7PLUS sets beside the file list, as the watch saw them at its last tick.
    void refreshSevenPlusSets();

public slots:
    // Reads the folder again, keeping the selection where the name remains.
    void refreshFileList();
    void Form_Activate();
    void Timer1_Timer();
    void Timer2_Timer();

private slots:
    void Command2_Click();
    void Command1_Click();
    void Cmdexit_Click();
    void cmdAskMissing_Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString selectedName() const;
    // False, after saying so, while the selected file is still arriving.
    bool readableNow();
    // Decodes a whole set on the 7PLUS screen and offers to remove its parts.
    void decodeSevenPlus(const QString& part1Path, const SevenPlusSets::Set& set);

    QLabel* Label1;        // heading
    PickList* File1;       // the receive folder's files
    QPushButton* Command2; // read the picked file
    QPushButton* Command1; // delete the picked file
    QPushButton* Cmdexit;  // back to the main menu
    QTimer* Timer1;        // kept, without effect: the receive watch drives the scan
    QTimer* Timer2;        // blinks the main menu's arrival notice
    QLineEdit* Text1;      // hidden, not used
    QLabel* lbl7PlusSets;
    QListWidget* lst7PlusSets;
    QPushButton* cmdAskMissing;

    QString m_folder;
    QStringList m_listed; // what File1 shows, in its order
    // Parts whose lines failed their check when their set was decoded, by set.
    QHash<QString, QList<int>> m_damagedLines;
};

} // namespace tolvan
