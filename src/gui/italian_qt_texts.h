#pragma once
// Italian for the few texts Qt itself puts on screen in our windows: the
// editing menus of the text boxes and of the help viewer, the message box's
// button. No translation files are needed.

#include <QTranslator>

namespace vadrel::gui {

class ItalianQtTexts : public QTranslator {
    Q_OBJECT
public:
    explicit ItalianQtTexts(QObject* parent = nullptr);
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source_text,
                      const char* disambiguation = nullptr, int n = -1) const override;
};

}  // namespace vadrel::gui
