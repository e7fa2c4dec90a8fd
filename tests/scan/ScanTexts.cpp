#include "ScanTexts.h"

#include <QRegularExpression>
#include <QStringEncoder>

QString ScanTexts::summary(int files, int duplicates, int notMoved)
{
    QString text = QStringLiteral("%1 fichiers analysés en 00:00:00\r\n\r\n%2 doublons trouvés et "
                                  "placés dans la corbeille")
                       .arg(files)
                       .arg(duplicates);
    if (notMoved > 0)
        text += QStringLiteral("\r\n%1 doublons n'ont pas pu être placés dans la corbeille")
                    .arg(notMoved);
    return text;
}

QString ScanTexts::question(const QString& reference, const QString& candidate)
{
    const QString eq(40, QLatin1Char('=')), dash(40, QLatin1Char('-'));
    return eq + "\r\nD O U B L O N   T R O U V E !!! \r\n" + eq +
           "\r\n\r\nVoulez vous le supprimer ?\r\n\r\n"
           "Ces 2 fichiers contiennent exactement le même texte\r\n"
           "Et la même présentation : mot pour mot, ligne pour ligne !\r\n"
           "Seul leur NOM est différent\r\n\r\n" +
           dash + "\r\n\r\n" + reference + "\r\n&&\r\n" + candidate + "\r\n\r\n" + dash +
           "\r\n\r\nSUPPRIMER | GARDER | ANNULER";
}

QString ScanTexts::withoutTime(QString text)
{
    return text.replace(QRegularExpression(QStringLiteral("\\d\\d:\\d\\d:\\d\\d")),
                        QStringLiteral("00:00:00"));
}

QByteArray ScanTexts::randomEncoding(QString text, QRandomGenerator& random)
{
    switch (random.bounded(3)) {
    case 0:
        break;
    case 1:
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        break;
    default:
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\r"));
        break;
    }
    switch (random.bounded(3)) {
    case 0:
        break;
    case 1:
        text = text.toUpper();
        break;
    default:
        text = text.toLower();
        break;
    }
    switch (random.bounded(5)) {
    case 0:
        return text.toUtf8();
    case 1:
        return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    case 2: {
        QStringEncoder cp1252("windows-1252");
        return cp1252(text);
    }
    case 3: {
        QByteArray out("\xFF\xFE");
        for (QChar c : text)
            out.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        return out;
    }
    default: {
        QByteArray out("\xFE\xFF");
        for (QChar c : text)
            out.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
        return out;
    }
    }
}
