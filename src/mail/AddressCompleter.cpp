#include "mail/AddressCompleter.h"

#include "mail/KnownAddresses.h"

#include <QCompleter>
#include <QLineEdit>

namespace tolvan {

void AttachAddressCompleter(const ConfigStore& store, QLineEdit* to, QLineEdit* from)
{
    auto* completer = new QCompleter(KnownAddresses::Collect(store), to);
    completer->setObjectName(QStringLiteral("addressCompleter"));
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    // The list keeps the newest first, as it was built.
    completer->setModelSorting(QCompleter::UnsortedModel);
    to->setCompleter(completer);
    from->setCompleter(completer);
}

} // namespace tolvan
