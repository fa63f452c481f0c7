#include "mail/AddressCompleter.h"

#include "mail/KnownAddresses.h"
#include "terminal/TerminalSettings.h"

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

void AttachCallSignCompleter(const ConfigStore& store, QLineEdit* destination)
{
    QStringList calls;
    for (const QString& address : KnownAddresses::Collect(store)) {
        const Result<QByteArray> call = CheckCallSign(address);
        if (call.ok() && !calls.contains(QString::fromLatin1(call.value()))) {
            calls << QString::fromLatin1(call.value());
        }
    }
    auto* completer = new QCompleter(calls, destination);
    completer->setObjectName(QStringLiteral("callCompleter"));
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setModelSorting(QCompleter::UnsortedModel);
    destination->setCompleter(completer);
}

} // namespace tolvan
