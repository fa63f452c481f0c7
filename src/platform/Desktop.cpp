#include "platform/Desktop.h"

namespace tolvan {

QString describe(DesktopResult result)
{
    switch (result) {
    case DesktopResult::Done: return QStringLiteral("done");
    case DesktopResult::NotFound: return QStringLiteral("window not found");
    case DesktopResult::NotAvailable: return QStringLiteral("not available on this desktop (no X display)");
    case DesktopResult::Failed: return QStringLiteral("the desktop refused the request");
    }
    return {};
}

} // namespace tolvan
