#include "pmba/SendEstimate.h"

#include "pmba/FileMail.h"
#include "pmba/FilePost.h"
#include "pmba/ModPMBA.h"
#include "sevenplus/Mod7plus.h"

#include <QLocale>

#include <cmath>

namespace tolvan::SendEstimate {

Estimate EstimateFile(const QString& path, const Texts& texts)
{
    Estimate e;
    const Result<qint64> pmba = ModPMBA::PMBA_MailSize(path, texts.to, texts.from, texts.subject, texts.message);
    e.pmba = pmba.ok() ? Result<Form>(Form{pmba.value(), 0}) : pmba.failure();

    const QStringList withComma = FilePost::FieldsWithComma({texts.to, texts.from, texts.subject, texts.message},
                                                            path.mid(path.lastIndexOf(u'/') + 1));
    if (!withComma.isEmpty()) {
        e.fileMail = Fail(QStringLiteral("A regular file mail cannot carry a comma. There is one in: %1.")
                              .arg(withComma.join(QStringLiteral(", "))));
    } else {
        const Result<qint64> mail = FileMail::Size(path, texts.to, texts.from, texts.subject, texts.message);
        e.fileMail = mail.ok() ? Result<Form>(Form{mail.value(), 0}) : mail.failure();
    }

    const Result<Mod7plus::SetSize> set = Mod7plus::Plan7PlusSet(path);
    e.sevenPlus = set.ok() ? Result<Form>(Form{set->bytes, set->parts}) : set.failure();
    return e;
}

double AirSeconds(qint64 bytes, int baud)
{
    if (baud <= 0 || bytes <= 0) {
        return 0;
    }
    const MeasuredLink* nearest = &kMeasuredLinks[0];
    for (const MeasuredLink& link : kMeasuredLinks) {
        if (std::abs(std::log(double(baud) / link.baud)) < std::abs(std::log(double(baud) / nearest->baud))) {
            nearest = &link;
        }
    }
    const double rate = nearest->bytesPerSecond * double(baud) / nearest->baud;
    return nearest->startSeconds + double(bytes) / rate;
}

int ParseBaud(const QString& text)
{
    bool ok = false;
    const int baud = text.trimmed().toInt(&ok);
    return ok && baud > 0 ? baud : 0;
}

int ReadBaud(const ConfigStore& store)
{
    const StoreValue<QString> line = store.ReadStoreLine(kBaudFile);
    const int baud = line.ok() ? ParseBaud(line.value) : 0;
    return baud > 0 ? baud : kDefaultBaud;
}

StoreStatus WriteBaud(ConfigStore& store, int baud)
{
    return store.WriteStoreLine(kBaudFile, QString::number(baud));
}

QString FormatDuration(double seconds)
{
    const qint64 s = qint64(std::ceil(seconds));
    if (s >= 3600) {
        const qint64 minutes = (s + 59) / 60;
        return QStringLiteral("%1 h %2 min").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
    }
    if (s >= 60) {
        return QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
    }
    return QStringLiteral("%1 s").arg(s);
}

QStringList DescribeLines(const Estimate& estimate, int baud)
{
    const std::pair<const Result<Form>*, QString> forms[] = {{&estimate.pmba, QStringLiteral("PMBA mail")},
                                                             {&estimate.fileMail, QStringLiteral("Regular file mail")},
                                                             {&estimate.sevenPlus, QStringLiteral("7PLUS set")}};
    const Result<Form>* smallest = nullptr;
    for (const auto& [result, name] : forms) {
        if (result->ok() && (!smallest || result->value().bytes < smallest->value().bytes)) {
            smallest = result;
        }
    }
    const QLocale c = QLocale::c();
    QStringList lines;
    for (const auto& [result, name] : forms) {
        if (!result->ok()) {
            lines << QStringLiteral("%1: not possible (%2)").arg(name, result->error().section(u'\n', 0, 0));
            continue;
        }
        const Form& form = result->value();
        QString line = QStringLiteral("%1: %2 bytes").arg(name, c.toString(form.bytes));
        if (form.parts > 0) {
            line += QStringLiteral(" in %1 part%2").arg(form.parts).arg(form.parts == 1 ? "" : "s");
        }
        line += QStringLiteral(", about %1 at %2 baud").arg(FormatDuration(AirSeconds(form.bytes, baud))).arg(baud);
        if (result == smallest) {
            line += QStringLiteral("  \u2190 smallest");
        }
        lines << line;
    }
    return lines;
}

} // namespace tolvan::SendEstimate
