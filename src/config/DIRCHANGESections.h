#pragma once

#include "config/ConfigStore.h"
#include "platform/Result.h"

#include <QList>
#include <QString>

namespace tolvan::DirSetup {

// The directory screen's twelve sections and what their buttons write, kept
// free of widgets so the rules can be checked without a screen.

enum class Kind { Folder, Program };

struct Section {
    int number;    // suffix of the section's Drive, Dir and File lists
    QString label; // caption label
    QString caption;
    QString display; // box showing the value last stored
    QString enterButton;
    QString storeFile; // canonical store name
    Kind kind;
    bool storesWhileBrowsing; // the folder list writes the bare folder at once
    QString enterFailure;     // prefix of the error's description
    bool enterFailureIsWhole; // the message stands alone, without the description
    // Create-folder button and name box; empty for sections without one.
    QString createButton;
    QString createCaption;
    QString nameBox;
    QString nameText;
    QString createFailure;
};

// In screen order: the four folders, then the eight programs.
const QList<Section>& sections();
const Section* sectionByNumber(int number);

// Value a program section stores when no file is chosen.
inline const QString kBlank = QStringLiteral("blank");

// The folder a section works in: the list's folder, or the program folder
// with a trailing "/" when the list has none.
QString sectionFolder(const QString& listPath, const QString& programFolder);

// A program section stores "blank" when no file is chosen, otherwise the
// folder, "/" and the file name. The folder (or "blank") is written first,
// so after a failed second write the file still holds a usable value. The
// value is what was stored; a failure is the file error's description.
Result<QString> storeProgramPath(ConfigStore& store, const QString& storeFile, const QString& folder,
                                 const QString& fileName);
// A folder section stores the folder alone: every reader of these files uses
// the value as a folder, so a file chosen in the section's list is not added.
Result<QString> storeFolderPath(ConfigStore& store, const QString& storeFile, const QString& folder);

enum class CreateOutcome { EmptyName, BadName, Exists, Created, Failed };

struct CreateResult {
    CreateOutcome outcome;
    QString path;  // the folder meant, once the name is usable
    QString error; // the system's description when creating failed
};

// Creates the folder of the typed name (blanks around it removed) in the
// parent. A name must stay inside the parent: one holding "/" or being "."
// or ".." is refused.
CreateResult createFolder(const QString& parent, const QString& typedName);

} // namespace tolvan::DirSetup
