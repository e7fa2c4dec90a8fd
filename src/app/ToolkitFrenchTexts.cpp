#include "app/ToolkitFrenchTexts.h"

#include <cstring>

namespace {

struct Text {
    const char* context;
    const char* source;
    const char* french;
};

const Text kTexts[] = {
    {"QAbstractFileIconProvider", "Folder", "Dossier"},
    {"QAbstractFileIconProvider", "Drive", "Lecteur"},
    {"QAbstractFileIconProvider", "File", "Fichier"},
    {"QAbstractFileIconProvider", "%1 File", "Fichier %1"},
    {"QAbstractFileIconProvider", "Shortcut", "Raccourci"},
    {"QAbstractFileIconProvider", "Alias", "Alias"},
    {"QFileSystemModel",
     "<b>The name \"%1\" cannot be used.</b><p>Try using another name, with fewer characters or "
     "no punctuation marks.",
     "<b>Le nom « %1 » ne peut pas être utilisé.</b><p>Essayez un autre nom, plus court ou sans "
     "signe de ponctuation."},
};

} // namespace

ToolkitFrenchTexts::ToolkitFrenchTexts(QObject* parent) : QTranslator(parent) {}

QString ToolkitFrenchTexts::translate(const char* context, const char* sourceText, const char*,
                                      int) const
{
    if (!context || !sourceText)
        return QString();
    for (const Text& t : kTexts) {
        if (std::strcmp(t.context, context) == 0 && std::strcmp(t.source, sourceText) == 0)
            return QString::fromUtf8(t.french);
    }
    return QString();
}
