#include "GeneratedFolder.h"

#include "ScanTexts.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

#include <dirent.h>
#include <unistd.h>

namespace {

const QStringList kStems{"alpha", "Alpine", "beta", "LE monde", "Le mot", "été", "Zoé",
                         "x*y",   "q?r",    "s;t",  "a",        "B",      "zulu"};

// Texts in French, with accents, so that every encoding matters.
QString baseText(int index, QRandomGenerator& random)
{
    return QStringLiteral(
               "From: r%1@example.org\r\nSubject: Réunion n°%1\r\n\r\nBonjour Éloïse,\r\n"
               "le café est prêt à %2 h ; à bientôt.\r\n")
        .arg(index)
        .arg(random.bounded(24));
}

QString write(const QString& folder, const QString& name, const QByteArray& bytes)
{
    const QString path = folder + QLatin1Char('/') + name;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

} // namespace

void GeneratedFolder::addRows(int seeds, quint32 spread)
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<quint32>("seed");
    for (int mode : {-1, 0, 1, 2}) {
        for (bool automatic : {true, false}) {
            for (quint32 seed = 1; seed <= quint32(seeds); ++seed) {
                const QByteArray name = QStringLiteral("mode %1, %2, seed %3")
                                            .arg(mode)
                                            .arg(automatic ? "automatic" : "manual")
                                            .arg(seed)
                                            .toLatin1();
                QTest::newRow(name.constData())
                    << mode << automatic << seed * spread + quint32(mode + 1);
            }
        }
    }
}

QStringList GeneratedFolder::entriesOf(const QString& folder)
{
    QStringList names;
    if (DIR* dir = opendir(QFile::encodeName(folder).constData())) {
        while (const dirent* entry = readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != ".." && !name.endsWith(".trashinfo"))
                names << QFile::decodeName(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

GeneratedFolder::GeneratedFolder(const QString& folder, quint32 seed, int mode, bool automatic)
{
    QRandomGenerator random(seed);
    model.folder = folder;
    model.mode = mode;
    model.automatic = automatic;
    const QStringList masks{"", "", "a", "al", "*.eml", "?e", "b;z", "LE"};
    model.mainMask = masks[int(random.bounded(qsizetype(masks.size())))];

    QStringList plain;
    auto freshName = [&](const QString& stem) {
        QString name;
        do
            name = stem + QString::number(random.bounded(60)) + ".eml";
        while (model.files.contains(name));
        return name;
    };
    const int groups = 2 + int(random.bounded(3));
    for (int g = 0; g < groups; ++g) {
        const QString text = baseText(g, random);
        const int copies = 1 + int(random.bounded(4));
        for (int c = 0; c < copies + 2; ++c) {
            QString variant = text;
            if (c == copies)
                variant += QLatin1Char('x'); // one character more
            else if (c > copies)
                variant.replace(QStringLiteral("é"), QStringLiteral("e")); // an accent less
            QByteArray bytes = ScanTexts::randomEncoding(variant, random);
            // A UTF-16 file with one stray byte more is another file.
            if (c < copies && bytes.startsWith(c % 2 ? "\xFF\xFE" : "\xFE\xFF") &&
                random.bounded(3) == 0)
                bytes.append(char(random.bounded(256)));
            const QString name = freshName(kStems[int(random.bounded(qsizetype(kStems.size())))]);
            model.files[name] = {bytes, QString(), QString(), QString()};
            write(folder, name, model.files[name].bytes);
            plain << name;
            // A hidden copy is never listed, so never compared nor moved.
            if (random.bounded(6) == 0) {
                const QString hidden = "." + name;
                model.files[hidden] = model.files[name];
                write(folder, hidden, model.files[hidden].bytes);
            }
        }
    }
    // Links to files of the folder, some of them through a bind mount of the folder inside
    // itself (another path, the same file), and second names of files (hard links).
    m_scratch = std::make_unique<ScratchMount>(m_scratchPlace.path() + "/tmp", 64);
    const bool viewed = QDir(folder).mkdir("view") && m_scratch->isMounted() &&
                        m_scratch->bind(folder, folder + "/view");
    for (int l = int(random.bounded(4)); l > 0; --l) {
        const QString to = plain[int(random.bounded(qsizetype(plain.size())))];
        const QString name = freshName(random.bounded(2) ? "alpha" : "lien");
        model.files[name] = {QByteArray(), to, QString(), QString()};
        const QString linkText = viewed && random.bounded(2) ? "view/" + to : to;
        if (!QFile::link(linkText, folder + "/" + name))
            skipped = "cannot make a symbolic link";
    }
    for (int h = int(random.bounded(3)); h > 0; --h) {
        const QString to = plain[int(random.bounded(qsizetype(plain.size())))];
        const QString name = freshName(random.bounded(2) ? "beta" : "zulu");
        model.files[name] = {model.files[to].bytes, QString(), QString(), to};
        if (::link(QFile::encodeName(folder + "/" + to).constData(),
                   QFile::encodeName(folder + "/" + name).constData()) != 0)
            skipped = "cannot make a hard link";
    }
    // Now and then a file the loader refuses: 2 GiB, sparse. Never first in the main list, where
    // the window would refuse it on showing, before any scan.
    if (random.bounded(3) == 0) {
        const QString name = freshName(kStems[int(random.bounded(qsizetype(kStems.size())))]);
        model.files[name] = {QByteArray(), QString(),
                             QStringLiteral("Le fichier fait 2 Go ou plus."), QString()};
        if (model.mainList().value(0) == name) {
            model.files.remove(name);
        } else {
            const QString path = write(folder, name, QByteArray());
            if (::truncate(QFile::encodeName(path).constData(), off_t(2) * 1024 * 1024 * 1024) != 0)
                skipped = "this file system cannot hold a sparse file of 2 GiB";
        }
    }
    for (int a = 0; a < 64; ++a) {
        const quint32 roll = random.bounded(20u);
        model.answers << (roll < 9    ? ScanModel::Yes
                          : roll < 19 ? ScanModel::No
                                      : ScanModel::Cancel);
    }
}
