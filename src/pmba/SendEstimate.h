#pragma once

#include "config/ConfigStore.h"
#include "platform/Result.h"

#include <QString>
#include <QStringList>

namespace tolvan {

// How large a file becomes in each of the three ways it can be sent, and how
// long that keeps the radio link busy. Nothing is written: the sizes come from
// the writers' own size functions, so they are exact and refused in the same
// words.
namespace SendEstimate {

// Air time per byte is 8 bits times this factor. A packet link carries more
// than the payload: AX.25 addresses and control fields in every frame, HDLC
// flags and CRCs, bit stuffing, TXDELAY key-up and the acknowledgements and
// waits of the connected-mode protocol. On a typical 1200 baud link these
// take roughly half as much time again as the payload itself.
constexpr double kProtocolOverhead = 1.5;

// The store file with the station's link speed in baud, inside the station folder.
inline const QString kBaudFile = QStringLiteral("baud.dat");
// The speeds offered for choosing; any other positive number may be typed.
inline const QList<int> kCommonBauds = {300, 1200, 2400, 4800, 9600, 19200};
constexpr int kDefaultBaud = 1200;

// What one way of sending makes of the file.
struct Form {
    qint64 bytes = 0;
    int parts = 0; // 7PLUS only
};

// Each way fails with the writer's own words when it would refuse.
struct Estimate {
    Result<Form> pmba;
    Result<Form> fileMail;
    Result<Form> sevenPlus;
};

struct Texts {
    QString to;
    QString from;
    QString subject;
    QString message;
};

// The sizes of the PMBA mail, the regular file mail and the 7PLUS set for the
// file at path. A regular file mail is refused where the texts or the file
// name hold a comma, as its post is.
Estimate EstimateFile(const QString& path, const Texts& texts);

// Seconds of air time for so many bytes at the link speed.
double AirSeconds(qint64 bytes, int baud);

// The link speed from baud.dat; kDefaultBaud when it is missing or not a
// positive number.
int ReadBaud(const ConfigStore& store);
StoreStatus WriteBaud(ConfigStore& store, int baud);
// A positive whole number of baud from typed text; 0 when it is none.
int ParseBaud(const QString& text);

// "1 h 02 min", "3 min 05 s", "12 s": for the operator, rounded up to a second.
QString FormatDuration(double seconds);
// One line per form for a screen: "PMBA mail: 1,234 bytes, 12 s at 1200 baud",
// the smallest marked, a refused form with its reason.
QStringList DescribeLines(const Estimate& estimate, int baud);

} // namespace SendEstimate
} // namespace tolvan
