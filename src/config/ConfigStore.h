#pragma once

#include <QString>

namespace tolvan {

enum class StoreError { None, FileNotFound, EndOfFile, Io, BadValue };

template <class T>
struct StoreValue {
    T value{};
    StoreError error = StoreError::None;
    QString message; // the file error's description, for the operator

    bool ok() const { return error == StoreError::None; }
};

struct StoreStatus {
    StoreError error = StoreError::None;
    QString message;

    bool ok() const { return error == StoreError::None; }
};

// The ".dat" files that hold the system's folders, program paths and switches.
// Each file holds one value on one line. Names are matched without regard to
// letter case; a new file gets the canonical spelling the caller passes.
//
// Two path rules: most files take the folder's path text followed directly by
// the name (prefix rule), the sound and auto-save switches sit inside the
// folder. The program passes its station folder with a trailing "/", so both
// kinds land inside it; a folder given without one keeps prefix-rule files
// beside it, in the parent.
class ConfigStore {
public:
    enum class Rule { Prefix, Inside };

    // Without a folder, the station folder this copy of the program would
    // choose when started without --station.
    explicit ConfigStore(QString programFolder = {});

    // The folder that holds the running executable.
    static QString executableFolder();

    const QString& programFolder() const { return m_programFolder; }
    static Rule ruleOf(const QString& name);

    // The path a file of this name has when it is created.
    QString StorePath(const QString& name) const;
    // The path of the existing file of this name in any spelling; empty when none.
    QString existingPath(const QString& name) const;
    bool StoreFileExists(const QString& name) const { return !existingPath(name).isEmpty(); }

    // The first line, up to the first CR or LF, untrimmed.
    StoreValue<QString> ReadStoreLine(const QString& name) const;
    // The first comma-separated field of the first line.
    StoreValue<QString> ReadStoreField(const QString& name) const;
    StoreValue<int> ReadStoreNumber(const QString& name) const;
    StoreValue<bool> ReadStoreBool(const QString& name) const;

    // Each write replaces the file as a whole: the old content stays until the
    // new one is complete on disk.
    StoreStatus WriteStoreLine(const QString& name, const QString& text);
    // A literal text must not be taken for a Boolean.
    StoreStatus WriteStoreLine(const QString& name, const char* text) { return WriteStoreLine(name, QString::fromUtf8(text)); }
    StoreStatus WriteStoreLine(const QString& name, bool value);   // "True" / "False"
    StoreStatus WriteStoreNumber(const QString& name, int value);
    StoreStatus WriteStoreNumber(const QString& name, bool value); // "#TRUE#" / "#FALSE#"

    // The field rules on one line of text.
    static QString firstField(const QString& line);
    static StoreValue<int> toNumber(const QString& field);
    static StoreValue<bool> toBool(const QString& field);

private:
    StoreValue<QString> readFirstLine(const QString& name) const;
    StoreStatus replace(const QString& name, const QString& text);

    QString m_programFolder;
};

} // namespace tolvan
