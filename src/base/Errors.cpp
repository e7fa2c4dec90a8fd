#include "base/Errors.h"

#include <cerrno>
#include <cstring>
#include <QByteArray>
#include <sys/stat.h>

namespace base {

Exception::Exception(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}

const char* Exception::what() const noexcept
{
    return m_utf8.constData();
}

EInOutError::EInOutError(int code) : Exception(messageForCode(code)), m_code(code) {}

QString EInOutError::messageForCode(int code)
{
    switch (code) {
    case 2:
        return QStringLiteral("Impossible de trouver le fichier spécifié");
    case 3:
        return QStringLiteral("Impossible de trouver le chemin d'accès spécifié");
    case 4:
        return QStringLiteral("Trop de fichiers ouverts");
    case 5:
        return QStringLiteral("Accès au fichier refusé");
    case 100:
        return QStringLiteral("Lecture au-delà de la fin de fichier");
    case 101:
        return QStringLiteral("Disque plein");
    case 106:
        return QStringLiteral("Saisie numérique incorrecte");
    default:
        return QStringLiteral("Erreur E/S %1").arg(code);
    }
}

int EInOutError::codeFromErrno(int err, bool forFolder)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return forFolder ? 3 : 2;
    case EMFILE:
    case ENFILE:
        return 4;
    case EACCES:
    case EPERM:
        return 5;
    case ENOSPC:
        return 101;
    default:
        return err;
    }
}

int EInOutError::codeForFolder(int err, const QByteArray& folder)
{
    if (err != ENOENT)
        return codeFromErrno(err, true);
    QByteArray parent = folder;
    while (parent.size() > 1 && parent.endsWith('/'))
        parent.chop(1);
    const qsizetype slash = parent.lastIndexOf('/');
    if (slash < 0)
        return 3;
    parent.truncate(slash == 0 ? 1 : slash);
    struct stat info;
    if (::stat(parent.constData(), &info) == 0 && S_ISDIR(info.st_mode))
        return 2;
    return 3;
}

QString EInOutError::systemText(int err)
{
    switch (err) {
    case ENOENT:
        return QStringLiteral("Le fichier ou le dossier n'existe pas.");
    case EACCES:
    case EPERM:
        return QStringLiteral("Accès refusé.");
    case EISDIR:
        return QStringLiteral("Il s'agit d'un dossier.");
    case ELOOP:
        return QStringLiteral("Trop de niveaux de liens symboliques.");
    case ENAMETOOLONG:
        return QStringLiteral("Le nom du fichier est trop long.");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Trop de fichiers ouverts.");
    case EIO:
        return QStringLiteral("Erreur d'entrée/sortie.");
    default:
        return QString::fromLocal8Bit(std::strerror(err));
    }
}

} // namespace base
