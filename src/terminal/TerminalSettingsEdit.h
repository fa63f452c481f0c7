#pragma once

#include "platform/Result.h"

#include <QString>

namespace tolvan {

class ConfigStore;

// The engine's settings as the settings panel shows and edits them: text
// per field, each checked on its own so the panel can say beside the field
// what is wrong, and saved together into the store files.
struct TerminalSettingsTexts {
    enum Field { Call, Host, Port, RadioPort, Path, Allowed, FieldCount };
    QString text[FieldCount];

    QString& operator[](Field f) { return text[f]; }
    const QString& operator[](Field f) const { return text[f]; }

    // The values in the store, as stored (missing files give the defaults).
    static TerminalSettingsTexts Read(const ConfigStore& store);
    // What is wrong with a field's text; empty when it will do.
    static QString Check(Field field, const QString& text);
    // The store file that keeps a field.
    static QString FileOf(Field field);
    // Checks every field and writes them all, each file replaced whole. The
    // first fault found is the failure, and then nothing is written.
    Result<> save(ConfigStore& store) const;
};

} // namespace tolvan
