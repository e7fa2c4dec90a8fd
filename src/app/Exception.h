#pragma once

#include <exception>
#include <QByteArray>
#include <QString>

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
