#pragma once
// The program's own help viewer: one window showing the HTML help file. A file
// that cannot be read is reported in the window itself.

#include <QWidget>

class QTextBrowser;

namespace vadrel::gui {

class HelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget* parent = nullptr);

    // Loads the file, or shows why it could not; returns whether it loaded.
    bool open(const QString& path);
    // What the window shows, as plain text.
    QString shown_text() const;

private:
    QTextBrowser* browser_;
};

// Reads the help file into `html`; when it cannot, returns false with the
// reason, in Italian, in `error`. Files larger than `limit` bytes are refused.
bool read_guide(const QString& path, QString& html, QString& error,
                 qint64 limit = 4 * 1024 * 1024);

}  // namespace vadrel::gui
