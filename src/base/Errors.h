#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// The errors twindrop raises, each carrying the French message shown to the user.
namespace base {

// Base of every error twindrop raises: carries the French message shown to the user.
class Exception : public std::exception {
public:
    explicit Exception(QString message);
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override;

private:
    QString m_message;
    QByteArray m_utf8;
};

class EFOpenError : public Exception {
public:
    using Exception::Exception;
};

class EListError : public Exception {
public:
    using Exception::Exception;
};

class EStringListError : public Exception {
public:
    using Exception::Exception;
};

class EInvalidOperation : public Exception {
public:
    using Exception::Exception;
};

class EOutOfResources : public Exception {
public:
    using Exception::Exception;
};

class EOutOfMemory : public Exception {
public:
    using Exception::Exception;
};

class EIniFileException : public Exception {
public:
    using Exception::Exception;
};

class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// An I/O failure keyed by the platform error code the French messages are indexed by.
class EInOutError : public Exception {
public:
    explicit EInOutError(int code);
    int code() const noexcept { return m_code; }

    // The French text for a platform code: 2, 3, 4, 5, 100, 101, 106, else "Erreur E/S %d".
    static QString messageForCode(int code);
    // errno onto the platform codes; forFolder chooses 3 for ENOENT on the way to a folder.
    static int codeFromErrno(int err, bool forFolder);
    // The code for a folder that cannot be entered: 2 when only its last element is missing
    // (the folder that holds it exists), 3 when a folder on the way is missing.
    static int codeForFolder(int err, const QByteArray& folder);
    // The system's own sentence for an errno value, in French for the common ones.
    static QString systemText(int err);

private:
    int m_code;
};

} // namespace base
