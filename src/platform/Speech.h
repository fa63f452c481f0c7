#pragma once

#include <QString>

namespace tolvan {

// Synthetic speech. speak() returns only when the text has been spoken; with no
// engine or no sound device it returns at once and reports false.
class Speaker {
public:
    virtual ~Speaker() = default;
    virtual bool speak(const QString& text) = 0;
};

} // namespace tolvan
