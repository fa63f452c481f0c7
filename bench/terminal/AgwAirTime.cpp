// Measures the air time of payloads over the Direwolf pair with the plain AGW
// stream: agw_airtime BAUD BYTES... prints one line per payload with the
// seconds from the connect request to the last byte received.
// AGW_OUTSTANDING=N in the environment keeps N frames outstanding instead of 8.

#include "AgwStream.h"
#include "terminal/DirewolfPair.h"

#include <QCoreApplication>

#include <cstdio>
#include <random>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: agw_airtime BAUD BYTES...\n");
        return 2;
    }
    tolvan::test::DirewolfPair pair(std::atoi(argv[1]));
    if (const QString why = pair.start(); !why.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    using tolvan::test::DirewolfPair;
    std::mt19937 rng(7);
    int failures = 0;
    for (int i = 2; i < argc; ++i) {
        std::string payload(size_t(std::atol(argv[i])), '\0');
        for (char& c : payload) {
            c = char(rng());
        }
        const auto r = tolvan::bench::streamBytes(
            pair.agwPort(DirewolfPair::A), pair.call(DirewolfPair::A).toStdString(), pair.agwPort(DirewolfPair::B),
            pair.call(DirewolfPair::B).toStdString(), payload, 3600, 256,
            std::getenv("AGW_OUTSTANDING") ? std::atoi(std::getenv("AGW_OUTSTANDING")) : 8);
        if (!r.ok) {
            std::fprintf(stderr, "%zu bytes: %s\n", payload.size(), r.error.c_str());
            ++failures;
            continue;
        }
        std::printf("baud %d bytes %zu connect %.2f s data %.2f s total %.2f s disconnect %.2f s rate %.1f B/s\n",
                    pair.baud(), payload.size(), r.connectSeconds, r.dataSeconds, r.totalSeconds, r.disconnectSeconds,
                    payload.size() / r.totalSeconds);
        std::fflush(stdout);
    }
    return failures ? 1 : 0;
}
