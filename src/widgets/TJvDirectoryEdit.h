#pragma once

#include <QLineEdit>
#include <QString>

// The read-only field that holds the working folder, with a browse button at its right end.
// Text and directory are the same string; OnChange fires once per actual change.
class TJvDirectoryEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TJvDirectoryEdit(QWidget* parent = nullptr);

    QString directory() const { return text(); }
    void setDirectory(const QString& directory) { setText(directory); }
    QString initialDir() const { return m_initialDir; }
    void setInitialDir(const QString& dir) { m_initialDir = dir; }

signals:
    void OnChange();

private:
    QString m_initialDir;
};
