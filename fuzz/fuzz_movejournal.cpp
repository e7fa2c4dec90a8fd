// The journal reader: any bytes. After a first byte 'R' the rest is the file as it is; otherwise
// each line of the rest gets its checksum, as the writer would add it (what follows the last line
// break stays as it is), so that inputs reach the records themselves. Nothing after the last line
// break is ever trusted; every move read names an entry inside its folder and its trash, once.
#include "FuzzCheck.h"

#include "shell/MoveJournal.h"

#include <QSet>

namespace {

QString describe(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toPercentEncoding(" "));
}

bool insideFolder(const QByteArray& name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') &&
           !name.contains('\0');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray input(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    QByteArray bytes;
    if (data[0] == 'R') {
        bytes = input;
    } else {
        QList<QByteArray> lines = input.split('\n');
        const QByteArray tail = lines.takeLast();
        for (const QByteArray& line : std::as_const(lines))
            bytes += MoveJournal::line(line.split(' '));
        bytes += tail;
    }

    const JournalContents contents = MoveJournal::parse(bytes);
    const qsizetype lastBreak = bytes.lastIndexOf('\n');
    const JournalContents whole = MoveJournal::parse(bytes.left(lastBreak + 1));
    FUZZ_CHECK(contents.valid == whole.valid && contents.moves.size() == whole.moves.size() &&
                   contents.closed == whole.closed,
               QStringLiteral("an unfinished last line changed what was read\n") + describe(bytes));
    if (!contents.valid) {
        FUZZ_CHECK(contents.moves.isEmpty() && !contents.closed, describe(bytes));
        return 0;
    }
    QSet<quint64> sequences;
    for (const JournalMove& move : contents.moves) {
        FUZZ_CHECK(insideFolder(move.name) && insideFolder(move.trashName), describe(bytes));
        FUZZ_CHECK(move.folder.startsWith('/') && move.trashRoot.startsWith('/'), describe(bytes));
        FUZZ_CHECK(move.size >= 0, describe(bytes));
        FUZZ_CHECK(!sequences.contains(move.sequence), describe(bytes));
        sequences.insert(move.sequence);
    }
    FUZZ_CHECK(contents.inTrash() <= contents.moves.size(), describe(bytes));
    return 0;
}
