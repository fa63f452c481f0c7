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

// Air time of a file over a connected AX.25 link, as measured: two Direwolf
// 1.6 sound-card modems at 1200 and 9600 baud on this project's test pair
// (PACLEN 256, up to eight frames outstanding, v2.2 with SREJ), bytes on disk
// from the connect request until the last byte arrived, for 2 KB, 20 KB and
// 100 KB (1200 baud: 19.6 s, 168.2 s, 834.8 s; 9600 baud: 5.9 s, 34.9 s,
// 170.3 s); a straight line fitted through the three. The start covers the
// connect and the first turn-arounds; the rate is what the link then
// carries, well below the line rate because every few frames the sender
// waits for the acknowledgement with the key-up delays of both stations.
struct MeasuredLink {
    int baud;
    double startSeconds;
    double bytesPerSecond;
};
inline constexpr MeasuredLink kMeasuredLinks[] = {{1200, 2.37, 123.0}, {9600, 1.93, 608.5}};

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

// Seconds of air time for so many bytes at the link speed: the figures of
// the measured speed nearest to it (on a ratio scale), the rate scaled to the
// speed; 0 for no bytes or no speed.
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
