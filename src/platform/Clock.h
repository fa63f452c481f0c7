#pragma once

#include <QDateTime>

namespace tolvan {

// The wall clock, injected wherever a name or a display is built from it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const { return QDateTime::currentDateTime(); }
};

} // namespace tolvan
