#pragma once

#include <QPalette>
#include <QString>
#include <QStringList>

// One style as its data file describes it: the header ([Style]), the palette ([Palette]) and
// the style sheet ([StyleSheet], everything after that line).
class TStyleData {
public:
    // Empty name when the data is not a style file; error then says what is wrong.
    static TStyleData parse(const QByteArray& bytes, QString* error = nullptr);

    bool isValid() const { return !m_name.isEmpty(); }
    const QString& name() const { return m_name; }
    const QString& version() const { return m_version; }
    const QPalette& palette() const { return m_palette; }
    const QString& styleSheet() const { return m_styleSheet; }
    // Object names of the controls that paint their own inner area.
    const QStringList& keepColors() const { return m_keepColors; }

private:
    QString m_name;
    QString m_version;
    QPalette m_palette;
    QString m_styleSheet;
    QStringList m_keepColors;
};
