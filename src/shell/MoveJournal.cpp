#include "shell/MoveJournal.h"

#include "base/Errors.h"
#include "base/PathRules.h"
#include "base/WriteAll.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QStandardPaths>

#include <xxhash.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kMagic = "twindrop-journal";
const QByteArray kVersion = "1";
constexpr qint64 kLargestJournal = qint64(64) * 1024 * 1024;

QByteArray checksum(const QByteArray& text)
{
    return QByteArray::number(quint64(XXH64(text.constData(), size_t(text.size()), 0)), 16)
        .rightJustified(16, '0');
}

QByteArray encoded(const QByteArray& bytes)
{
    return bytes.toBase64();
}

bool decoded(const QByteArray& field, QByteArray* out)
{
    const auto result =
        QByteArray::fromBase64Encoding(field, QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return false;
    *out = *result;
    return true;
}

bool number(const QByteArray& field, quint64* out)
{
    bool ok = false;
    *out = field.toULongLong(&ok);
    return ok;
}

bool number(const QByteArray& field, qint64* out)
{
    bool ok = false;
    *out = field.toLongLong(&ok);
    return ok;
}

QString cannotWrite(int err)
{
    return QStringLiteral("Le journal des déplacements ne peut pas être écrit : %1")
        .arg(base::EInOutError::systemText(err));
}

// The fields of a line whose checksum holds; empty for any other line.
QList<QByteArray> checkedFields(const QByteArray& line)
{
    const qsizetype space = line.lastIndexOf(' ');
    if (space <= 0 || line.size() - space - 1 != 16)
        return {};
    const QByteArray body = line.left(space);
    if (checksum(body) != line.mid(space + 1))
        return {};
    return body.split(' ');
}

bool parseMove(const QList<QByteArray>& f, JournalMove* move)
{
    if (f.size() != 13)
        return false;
    return number(f[1], &move->sequence) && decoded(f[2], &move->folder) &&
           number(f[3], &move->folderDevice) && number(f[4], &move->folderInode) &&
           decoded(f[5], &move->name) && decoded(f[6], &move->trashRoot) &&
           decoded(f[7], &move->trashName) && number(f[8], &move->device) &&
           number(f[9], &move->inode) && number(f[10], &move->size) &&
           number(f[11], &move->modifiedNs) && decoded(f[12], &move->reference) &&
           move->size >= 0 && move->folder.startsWith('/') && move->trashRoot.startsWith('/') &&
           !move->name.isEmpty() && !move->name.contains('/') && !move->name.contains('\0') &&
           move->name != "." && move->name != ".." && !move->trashName.isEmpty() &&
           !move->trashName.contains('/') && !move->trashName.contains('\0') &&
           move->trashName != "." && move->trashName != ".." && !move->folder.contains('\0') &&
           !move->trashRoot.contains('\0');
}

} // namespace

qsizetype JournalContents::inTrash() const
{
    return std::count_if(moves.cbegin(), moves.cend(),
                         [](const JournalMove& m) { return m.mayBeInTrash(); });
}

MoveJournal::MoveJournal() = default;

MoveJournal::~MoveJournal()
{
    end();
}

QString MoveJournal::folder()
{
    QString state = base::PathRules::decodeName(qgetenv("XDG_STATE_HOME"));
    if (state.isEmpty() || !QDir::isAbsolutePath(state)) {
        state = QStandardPaths::isTestModeEnabled()
                    ? QDir::homePath() + QStringLiteral("/.qttest/state")
                    : QDir::homePath() + QStringLiteral("/.local/state");
    }
    return QDir::cleanPath(state + QStringLiteral("/twindrop"));
}

QByteArray MoveJournal::line(const QList<QByteArray>& fields)
{
    const QByteArray body = fields.join(' ');
    return body + ' ' + checksum(body) + '\n';
}

void MoveJournal::begin(const QString& folderPath)
{
    end();
    if (!base::PathRules::encodePath(folderPath, m_folder))
        m_folder.clear();
    m_sequence = 0;
}

bool MoveJournal::open(QString* why)
{
    const QString dir = folder();
    if (!QDir().mkpath(dir)) {
        *why = cannotWrite(EACCES);
        return false;
    }
    ::chmod(QFile::encodeName(dir).constData(), 0700);
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    for (int n = 0; n < 1000 && m_fd < 0; ++n) {
        const QString path = dir + QStringLiteral("/scan-%1-%2-%3.journal")
                                       .arg(stamp)
                                       .arg(QCoreApplication::applicationPid())
                                       .arg(n, 3, 10, QLatin1Char('0'));
        m_fd = ::open(QFile::encodeName(path).constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (m_fd >= 0)
            m_path = path;
        else if (errno != EEXIST)
            break;
    }
    if (m_fd < 0) {
        *why = cannotWrite(errno);
        return false;
    }
    if (!write({kMagic, kVersion,
                QByteArray::number(QDateTime::currentDateTimeUtc().toMSecsSinceEpoch()),
                encoded(m_folder)},
               why))
        return false;
    // The oldest journals beyond the newest kept go.
    const QStringList all = journals(dir);
    for (qsizetype i = 0; i + kKept < all.size(); ++i)
        QFile::remove(all[i]);
    return true;
}

bool MoveJournal::write(const QList<QByteArray>& fields, QString* why)
{
    // Written through with no buffer of ours, before the move: a program that is killed leaves
    // every record in the kernel's hands. A flush to the disk per record would cost a disk
    // round trip per duplicate; the journal is flushed once, when the scan ends.
    if (!base::WriteAll(m_fd, line(fields))) {
        if (why)
            *why = cannotWrite(errno);
        return false;
    }
    return true;
}

bool MoveJournal::aboutToMove(int folderFd, const QByteArray& name, const QByteArray& referenceName,
                              const QByteArray& trashRoot, const QByteArray& trashName,
                              QString* why)
{
    m_announced = false;
    QString ignored;
    if (!why)
        why = &ignored;
    if (m_fd < 0 && !open(why))
        return false;
    struct stat folderStat;
    struct stat entry;
    if (::fstat(folderFd, &folderStat) != 0 ||
        ::fstatat(folderFd, name.constData(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
        *why = base::EInOutError::systemText(errno);
        return false;
    }
    const qint64 modified = qint64(entry.st_mtim.tv_sec) * 1000000000 + entry.st_mtim.tv_nsec;
    ++m_sequence;
    if (!write({"move", QByteArray::number(m_sequence), encoded(m_folder),
                QByteArray::number(quint64(folderStat.st_dev)),
                QByteArray::number(quint64(folderStat.st_ino)), encoded(name), encoded(trashRoot),
                encoded(trashName), QByteArray::number(quint64(entry.st_dev)),
                QByteArray::number(quint64(entry.st_ino)),
                QByteArray::number(qint64(entry.st_size)), QByteArray::number(modified),
                encoded(referenceName)},
               why))
        return false;
    m_announced = true;
    return true;
}

void MoveJournal::moved()
{
    if (m_announced)
        write({"done", QByteArray::number(m_sequence)}, nullptr);
    m_announced = false;
}

void MoveJournal::notMoved()
{
    if (m_announced)
        write({"failed", QByteArray::number(m_sequence)}, nullptr);
    m_announced = false;
}

void MoveJournal::end()
{
    if (m_fd >= 0) {
        ::fdatasync(m_fd);
        ::close(m_fd);
    }
    m_fd = -1;
    m_path.clear();
    m_announced = false;
}

JournalContents MoveJournal::parse(const QByteArray& bytes)
{
    JournalContents contents;
    QList<QByteArray> lines = bytes.split('\n');
    // What follows the last line break is a line the writer did not finish.
    lines.removeLast();
    QHash<quint64, qsizetype> bySequence;
    bool header = true;
    for (const QByteArray& text : std::as_const(lines)) {
        const QList<QByteArray> f = checkedFields(text);
        if (header) {
            qint64 ms = 0;
            if (f.size() != 4 || f[0] != kMagic || f[1] != kVersion || !number(f[2], &ms) ||
                !decoded(f[3], &contents.folder))
                return JournalContents();
            contents.started = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
            contents.valid = contents.started.isValid();
            if (!contents.valid)
                return JournalContents();
            header = false;
            continue;
        }
        if (f.isEmpty())
            continue;
        if (f[0] == "move") {
            JournalMove move;
            if (parseMove(f, &move) && !bySequence.contains(move.sequence)) {
                bySequence.insert(move.sequence, contents.moves.size());
                contents.moves.append(move);
            }
            continue;
        }
        if (f[0] == "closed" && f.size() == 1) {
            contents.closed = true;
            continue;
        }
        quint64 sequence = 0;
        if (f.size() != 2 || !number(f[1], &sequence) || !bySequence.contains(sequence))
            continue;
        JournalMove& move = contents.moves[bySequence.value(sequence)];
        if (f[0] == "done" && move.state == JournalMove::State::Pending)
            move.state = JournalMove::State::Done;
        else if (f[0] == "failed" && move.state == JournalMove::State::Pending)
            move.state = JournalMove::State::Failed;
        else if (f[0] == "restored" && move.mayBeInTrash())
            move.state = JournalMove::State::Restored;
    }
    return contents;
}

JournalContents MoveJournal::read(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return JournalContents();
    QByteArray bytes;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kLargestJournal;
    if (ok) {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                ok = n == 0;
                break;
            }
            bytes.append(buffer, n);
            if (bytes.size() > kLargestJournal) {
                ok = false;
                break;
            }
        }
    }
    ::close(fd);
    if (!ok)
        return JournalContents();
    JournalContents contents = parse(bytes);
    if (contents.valid)
        contents.path = path;
    return contents;
}

QStringList MoveJournal::journals(const QString& folder)
{
    QStringList names = QDir(folder).entryList({QStringLiteral("scan-*.journal")},
                                               QDir::Files | QDir::Hidden, QDir::Name);
    for (QString& name : names)
        name = folder + QLatin1Char('/') + name;
    return names;
}

JournalContents MoveJournal::lastWithMoves(const QString& folder)
{
    const QStringList all = journals(folder);
    for (qsizetype i = all.size() - 1; i >= 0; --i) {
        JournalContents contents = read(all[i]);
        if (!contents.valid)
            continue;
        const bool moved =
            std::any_of(contents.moves.cbegin(), contents.moves.cend(),
                        [](const JournalMove& m) { return m.state != JournalMove::State::Failed; });
        if (moved)
            return contents;
    }
    return JournalContents();
}

bool MoveJournal::appendRestored(const QString& path, const QList<quint64>& sequences, bool closing)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    QByteArray text;
    for (const quint64 sequence : sequences)
        text += line({"restored", QByteArray::number(sequence)});
    if (closing)
        text += line({"closed"});
    // A line the previous writer left unfinished must not swallow the first one here.
    struct stat st;
    if (::fstat(fd, &st) == 0 && st.st_size > 0) {
        char last = '\n';
        if (::pread(fd, &last, 1, st.st_size - 1) == 1 && last != '\n')
            text.prepend('\n');
    }
    const bool ok = base::WriteAll(fd, text) && ::fdatasync(fd) == 0;
    ::close(fd);
    return ok;
}
