#include "terminal/FreeName.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvan {

namespace {

// 0, or the errno of a rename that would have replaced something (EEXIST) or
// failed. Falls back to link-and-unlink, then to a look and a rename, where
// the file system lacks the atomic flag.
int renameNoReplace(const QByteArray& from, const QByteArray& to)
{
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
#endif
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP) {
        return errno;
    }
    struct stat st;
    if (::lstat(to.constData(), &st) == 0) {
        return EEXIST;
    }
    return std::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

// Numbers tried before giving up: far more files of one name than a station
// ever keeps.
constexpr int kMaxNumber = 9999;

} // namespace

QString NumberedName(const QString& name, int number)
{
    if (number <= 0) {
        return name;
    }
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString suffix = QStringLiteral(" (%1)").arg(number);
    if (dot <= 0) {
        return name + suffix;
    }
    return name.left(dot) + suffix + name.mid(dot);
}

Result<QString> MoveUnderFreeName(const QString& from, const QString& folder, const QString& name)
{
    const QByteArray source = QFile::encodeName(from);
    for (int number = 0; number <= kMaxNumber; ++number) {
        const QString target = folder + u'/' + NumberedName(name, number);
        const int err = renameNoReplace(source, QFile::encodeName(target));
        if (err == 0) {
            return target;
        }
        if (err != EEXIST && err != ENOTEMPTY) {
            return Fail(QStringLiteral("%1 could not be moved to %2: %3")
                            .arg(from, target, QString::fromLocal8Bit(std::strerror(err))));
        }
    }
    return Fail(QStringLiteral("%1 could not be moved into %2: every numbered name up to %3 is taken.")
                    .arg(from, folder)
                    .arg(kMaxNumber));
}

} // namespace tolvan
