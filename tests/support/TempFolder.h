#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A scratch folder for one test, removed with the object.
class TempFolder {
public:
    TempFolder();
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const;
    // Writes the bytes as they are; returns the full path.
    QString write(const QString& name, const QByteArray& bytes) const;

private:
    QTemporaryDir m_dir;
};
