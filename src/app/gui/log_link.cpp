#include "app/gui/log_link.h"

#include <QBoxLayout>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QUrl>

namespace {
// Keeps the tooltip on the path of the log as it is when the mouse comes.
class PathTooltip : public QObject {
public:
    PathTooltip(QLabel* label, std::function<QString()> logPath)
        : QObject(label), label_(label), logPath_(std::move(logPath)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ToolTip)
            label_->setToolTip(QDir::toNativeSeparators(logPath_()));
        return QObject::eventFilter(watched, event);
    }

private:
    QLabel* label_;
    std::function<QString()> logPath_;
};
} // namespace

QLabel* addLogFolderLink(QBoxLayout* row, std::function<QString()> logPath) {
    auto* link = new QLabel(QStringLiteral("<a href=\"log\">Журнал работы</a>"));
    link->setObjectName(QStringLiteral("openLogFolder"));
    link->setTextFormat(Qt::RichText);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    link->installEventFilter(new PathTooltip(link, logPath));
    QObject::connect(link, &QLabel::linkActivated, link, [logPath] {
        const QString path = logPath();
        if (!path.isEmpty())
            QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
    });
    row->addWidget(link);
    return link;
}
