#include "style/TStyleData.h"

#include <QColor>
#include <QMetaEnum>

namespace {
bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

bool setPaletteEntry(QPalette* palette, const QString& key, const QString& value, QString* error)
{
    QPalette::ColorGroup group = QPalette::All;
    QString roleName = key;
    const qsizetype slash = key.indexOf(QLatin1Char('/'));
    if (slash >= 0) {
        const QString groupName = key.left(slash);
        roleName = key.mid(slash + 1);
        if (groupName == QLatin1String("Disabled"))
            group = QPalette::Disabled;
        else if (groupName == QLatin1String("Inactive"))
            group = QPalette::Inactive;
        else if (groupName == QLatin1String("Active"))
            group = QPalette::Active;
        else
            return fail(error, QStringLiteral("unknown colour group: %1").arg(groupName));
    }
    const QMetaEnum roles = QMetaEnum::fromType<QPalette::ColorRole>();
    bool known = false;
    const int role = roles.keyToValue(roleName.toLatin1().constData(), &known);
    if (!known || role == QPalette::NoRole || role >= QPalette::NColorRoles)
        return fail(error, QStringLiteral("unknown colour role: %1").arg(roleName));
    const QColor color = QColor::fromString(value);
    if (!color.isValid())
        return fail(error, QStringLiteral("invalid colour: %1").arg(value));
    palette->setColor(group, QPalette::ColorRole(role), color);
    return true;
}
} // namespace

TStyleData TStyleData::parse(const QByteArray& bytes, QString* error)
{
    TStyleData data;
    QString name;
    QString version;
    QPalette palette(QColor(0xf0, 0xf0, 0xf0));
    QStringList keep;
    QString section;
    bool headerSeen = false;
    bool sheetSeen = false;

    const QString text = QString::fromUtf8(bytes);
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), pos);
        if (end < 0)
            end = text.size();
        const QString line = text.mid(pos, end - pos).trimmed();
        pos = end + 1;
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2);
            if (!headerSeen && section != QLatin1String("Style")) {
                fail(error, QStringLiteral("the data does not begin with [Style]"));
                return {};
            }
            headerSeen = true;
            if (section == QLatin1String("StyleSheet")) {
                data.m_styleSheet = pos < text.size() ? text.mid(pos) : QString();
                sheetSeen = true;
                break;
            }
            if (section != QLatin1String("Style") && section != QLatin1String("Palette")) {
                fail(error, QStringLiteral("unknown section: %1").arg(section));
                return {};
            }
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!headerSeen || equals <= 0) {
            fail(error, QStringLiteral("line not understood: %1").arg(line));
            return {};
        }
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (section == QLatin1String("Palette")) {
            if (!setPaletteEntry(&palette, key, value, error))
                return {};
        } else if (key == QLatin1String("Name")) {
            name = value;
        } else if (key == QLatin1String("Version")) {
            version = value;
        } else if (key == QLatin1String("KeepColors")) {
            keep = value.split(QLatin1Char(','), Qt::SkipEmptyParts);
            for (QString& k : keep)
                k = k.trimmed();
        }
    }
    if (name.isEmpty() || version.isEmpty() || !sheetSeen) {
        fail(error, QStringLiteral("the header lacks a name, a version or the style sheet"));
        return {};
    }
    data.m_name = name;
    data.m_version = version;
    data.m_palette = palette;
    data.m_keepColors = keep;
    return data;
}
