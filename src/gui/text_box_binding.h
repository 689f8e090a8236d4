#pragma once
// A text box of the panel on a QLineEdit: the keys go down, are typed and go
// up in the model as the toolkit sends them; what the widget edits on its own
// (delete key, paste, cut, undo, drop) reaches the model as a new text; the
// caret and the selection follow it, counted in UTF-8 bytes.
//
//   auto* binding = new TextBoxBinding([this](const auto& event) { forward(event); }, this);
//   binding->bind(box, edit);

#include <QObject>
#include <QString>
#include <cstddef>
#include <functional>
#include <map>

#include "panel/panel_form.h"

class QInputMethodEvent;
class QKeyEvent;
class QLineEdit;

namespace vadrel::gui {

// UTF-16 position of a UTF-8 byte offset of the same text.
int utf16_offset(const QString& text, std::size_t bytes);

class TextBoxBinding : public QObject {
public:
    // Runs one event in the model (and renders after it).
    using Forward = std::function<void(const std::function<void()>&)>;
    TextBoxBinding(Forward forward, QObject* parent);

    void bind(TextBox& box, QLineEdit* edit);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool key_pressed(TextBox& box, QLineEdit* edit, const QKeyEvent& event);
    bool key_released(TextBox& box, QLineEdit* edit, const QKeyEvent& event);
    bool input_method(TextBox& box, QLineEdit* edit, const QInputMethodEvent& event);

    Forward forward_;
    std::map<const QObject*, TextBox*> boxes_;
};

}  // namespace vadrel::gui
