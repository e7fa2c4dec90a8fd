#pragma once

#include <QTranslator>

// French for the few toolkit texts that Qt's own French translation leaves in English (the type
// column of the folder picker: "Folder", "Drive", ...). Installed before that translation, so
// that it answers only what the latter does not.
class ToolkitFrenchTexts : public QTranslator {
    Q_OBJECT
public:
    explicit ToolkitFrenchTexts(QObject* parent = nullptr);

    QString translate(const char* context, const char* sourceText,
                      const char* disambiguation = nullptr, int n = -1) const override;
    bool isEmpty() const override { return false; }
};
