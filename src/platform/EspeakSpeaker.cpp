#include "platform/EspeakSpeaker.h"

namespace tolvan {

bool EspeakSpeaker::speak(const QString&)
{
    return false;
}

} // namespace tolvan
