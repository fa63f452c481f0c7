// libFuzzer harness for the two readers of received mail: the PMBA parser and
// the regular file mail parser. Any input must end in a result or a refusal,
// never a crash, a hang or a leak; a mail that passes must name a file that
// stays inside the attachment folder.

#include "pmba/FileMail.h"
#include "pmba/ModPMBA.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

using namespace tolvan;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const ModPMBA::ParseResult parsed = ModPMBA::PMBA_ParseMail(buffer);
    if (parsed.ok) {
        if (parsed.mail.data.isEmpty()) {
            std::abort(); // a mail always carries at least one byte
        }
    } else if (parsed.message.text.isEmpty()) {
        std::abort(); // every refusal says why
    }

    const FileMail::ReadResult mail = FileMail::Parse(bytes);
    if (mail.ok && (!ModPMBA::PMBA_IsValidFileName(mail.mail.fileName) || mail.mail.fileName.contains(u'/'))) {
        std::abort();
    }
    if (!mail.ok && !mail.message) {
        std::abort();
    }
    return 0;
}
