#include "MailCorpus.h"

#include <QFile>
#include <QStringConverter>
#include <QStringList>

namespace {

const QStringList kWords = {
    QStringLiteral("bonjour"), QStringLiteral("réunion"),      QStringLiteral("été"),
    QStringLiteral("facture"), QStringLiteral("déjà"),         QStringLiteral("à"),
    QStringLiteral("Noël"),    QStringLiteral("prévu"),        QStringLiteral("où"),
    QStringLiteral("ça"),      QStringLiteral("œuvre"),        QStringLiteral("5 €"),
    QStringLiteral("merci"),   QStringLiteral("demain"),       QStringLiteral("le"),
    QStringLiteral("la"),      QStringLiteral("des"),          QStringLiteral("pièce"),
    QStringLiteral("jointe"),  QStringLiteral("cordialement"), QStringLiteral("Très"),
    QStringLiteral("message"), QStringLiteral("envoyé"),       QStringLiteral("reçu")};

} // namespace

QString makeMail(QRandomGenerator& random, int index)
{
    QString mail;
    mail += QStringLiteral("From: Jean Dupont <jean.dupont%1@example.fr>\n").arg(index % 97);
    mail += QStringLiteral("To: equipe@example.fr\n");
    mail += QStringLiteral("Subject: Re: Réunion n°%1 prévue à Noël\n").arg(index);
    mail += QStringLiteral("Date: Tue, %1 Dec 2023 10:%2:00 +0100\n")
                .arg(1 + index % 28)
                .arg(index % 60, 2, 10, QLatin1Char('0'));
    mail += QStringLiteral("Message-ID: <%1.%2@example.fr>\n").arg(index).arg(random.generate());
    mail += QStringLiteral("Content-Type: text/plain; charset=utf-8\n\n");
    const int lines = 40 + int(random.bounded(60));
    for (int line = 0; line < lines; ++line) {
        if (line > lines / 2)
            mail += QStringLiteral("> ");
        const int words = 6 + int(random.bounded(8));
        for (int w = 0; w < words; ++w) {
            if (w > 0)
                mail += QLatin1Char(' ');
            mail += kWords[int(random.bounded(kWords.size()))];
        }
        mail += QLatin1Char('\n');
    }
    mail += QStringLiteral("-- \nJean\n");
    return mail;
}

QString withAttachment(QRandomGenerator& random, const QString& mail)
{
    QByteArray data(4 * (1024 + qsizetype(random.bounded(14 * 1024))), Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32*>(data.data()), data.size() / 4);
    const QByteArray base64 = data.toBase64();
    QString result = mail;
    result += QStringLiteral("\n--frontiere\nContent-Type: application/pdf; name=\"piece.pdf\"\n"
                             "Content-Transfer-Encoding: base64\n\n");
    for (qsizetype at = 0; at < base64.size(); at += 76)
        result += QString::fromLatin1(base64.mid(at, 76)) + QLatin1Char('\n');
    result += QStringLiteral("--frontiere--\n");
    return result;
}

QByteArray encode(const QString& mail, int form)
{
    QString text = mail;
    switch (form % 6) {
    case 0:
        return text.toUtf8();
    case 1:
        return QByteArray("\xEF\xBB\xBF") + text.replace(QLatin1Char('\n'), "\r\n").toUtf8();
    case 2: {
        QByteArray bytes("\xFF\xFE");
        text.replace(QLatin1Char('\n'), "\r\n");
        bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        return bytes;
    }
    case 3: {
        QByteArray bytes("\xFE\xFF");
        for (QChar c : text) {
            bytes.append(char(c.unicode() >> 8));
            bytes.append(char(c.unicode() & 0xFF));
        }
        return bytes;
    }
    case 4:
        return text.replace(QLatin1Char('\n'), "\r").toUtf8();
    default: {
        QStringEncoder toWindows("windows-1252");
        return toWindows(text);
    }
    }
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

namespace {

const QStringList kStems = {"facture", "reunion", "Re ",  "LE projet", "commande", "vacances",
                            "rapport", "budget",  "Noel", "agenda",    "contrat",  "photos"};

QString mailNumber(int i, bool attachments)
{
    QRandomGenerator random(quint32(1000 + i));
    const QString mail = makeMail(random, i);
    return attachments ? withAttachment(random, mail) : mail;
}

} // namespace

void fillMailFolder(const QString& folder, int mails, int duplicates, bool attachments)
{
    const int originals = mails - duplicates;
    for (int i = 0; i < originals; ++i) {
        const QString name = QStringLiteral("%1 %2.eml").arg(kStems[i % kStems.size()]).arg(i);
        writeFile(folder + "/" + name, encode(mailNumber(i, attachments), i));
    }
    QRandomGenerator random(42);
    for (int d = 0; d < duplicates; ++d) {
        const int i = int(random.bounded(originals));
        const QString name =
            QStringLiteral("%1 copie %2.eml").arg(kStems[i % kStems.size()]).arg(d);
        writeFile(folder + "/" + name, encode(mailNumber(i, attachments), attachments ? i : d + 1));
    }
}
