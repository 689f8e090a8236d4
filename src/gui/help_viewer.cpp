#include "help_viewer.h"

#include <cerrno>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "gui/keys.h"
#include "os/qt_file_error.h"
#include "panel/panel_form.h"

namespace vadrel::gui {

bool read_guide(const QString& path, QString& html, QString& error, qint64 limit) {
    const QString reason = QStringLiteral("Impossibile aprire il file della guida: %1").arg(path);
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile()) {
        error = reason;
        return false;
    }
    if (info.size() > limit) {
        error = reason + QStringLiteral(" (file troppo grande)");
        return false;
    }
    QFile file(path);
    const auto failed = [&](int system_error) {
        error = reason + QStringLiteral(" (") + QString::fromStdString(file_reason(file.error(), system_error)) +
                QStringLiteral(")");
        return false;
    };
    errno = 0;
    if (!file.open(QIODevice::ReadOnly)) return failed(errno);
    errno = 0;
    const QByteArray bytes = file.read(limit + 1);
    if (file.error() != QFileDevice::NoError) return failed(errno);
    html = QString::fromUtf8(bytes);
    return true;
}

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("%1 - Guida").arg(QString::fromUtf8(program_title)));
    // The help stays open only as long as the program does.
    setAttribute(Qt::WA_QuitOnClose, false);
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("guida"));
    browser_->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    resize(640, 480);
    close_on_escape(*this);
}

bool HelpViewer::open(const QString& path) {
    QString html;
    QString error;
    if (!read_guide(path, html, error)) {
        browser_->setPlainText(error);
        return false;
    }
    browser_->document()->setBaseUrl(
        QUrl::fromLocalFile(QFileInfo(path).absoluteDir().absolutePath() + QLatin1Char('/')));
    browser_->setHtml(html);
    return true;
}

QString HelpViewer::shown_text() const { return browser_->toPlainText(); }

}  // namespace vadrel::gui
