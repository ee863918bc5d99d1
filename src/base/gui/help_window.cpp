#include "base/gui/help_window.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QImage>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTextBrowser>
#include <QUrl>

// The guide's resource lives in a static library: registered by name.
static void initGuideResource() {
    Q_INIT_RESOURCE(guide);
}

namespace help {

namespace {

const QString Title = QStringLiteral("Справка — Конфигуратор ЛВ-300");
const QUrl Root(QStringLiteral("qrc:/guide/"));

// The page of the guide a link or a page name leads to: the index when the
// guide has no such page; an empty URL when it leads out of the guide.
QUrl guidePage(const QUrl& url) {
    if (url.scheme() != QLatin1String("qrc"))
        return {};
    const QString path = url.path();
    if (!path.startsWith(Root.path()))
        return {};
    if (path.endsWith(QLatin1String(".md")) && QFile::exists(u':' + path))
        return url;
    return Root.resolved(QUrl(IndexPage));
}

// Pictures no wider than the page: a picture of the main window is wider
// than the guide's window, and a page to scroll sideways is hard to read.
class GuideText : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;

    QVariant loadResource(int type, const QUrl& name) override {
        const QVariant loaded = QTextBrowser::loadResource(type, name);
        if (type != QTextDocument::ImageResource)
            return loaded;
        QImage image = loaded.typeId() == QMetaType::QByteArray
                           ? QImage::fromData(loaded.toByteArray())
                           : loaded.value<QImage>();
        // From the window's width: before the window is first shown its
        // layout has not sized the viewport yet.
        const int room = window()->width() - 2 * int(document()->documentMargin()) - 60;
        if (image.isNull() || room < 100 || image.width() <= room)
            return loaded;
        return image.scaledToWidth(room, Qt::SmoothTransformation);
    }
};

class HelpWindow : public QWidget {
public:
    HelpWindow() : QWidget(nullptr, Qt::Window) {
        setObjectName(QStringLiteral("helpWindow"));
        setWindowTitle(Title);
        // The guide never keeps the program running once its main window closes.
        setAttribute(Qt::WA_QuitOnClose, false);
        resize(900, 700);
        auto* back =
            button("helpBack", QStringLiteral("Назад"),
                   QStringLiteral("Предыдущая страница (Alt+Влево)"), QStyle::SP_ArrowBack);
        auto* forward =
            button("helpForward", QStringLiteral("Вперёд"),
                   QStringLiteral("Следующая страница (Alt+Вправо)"), QStyle::SP_ArrowForward);
        auto* index = button("helpIndex", QStringLiteral("Содержание"),
                             QStringLiteral("Оглавление руководства (F1)"), QStyle::SP_DirHomeIcon);
        text_ = new GuideText(this);
        text_->setObjectName(QStringLiteral("helpText"));
        // Every link is judged here: a page of the guide, the web, or nothing.
        text_->setOpenLinks(false);
        text_->setOpenExternalLinks(false);
        // A little larger than the controls' text, to read at arm's length.
        QFont font = text_->font();
        if (font.pointSizeF() > 0) {
            font.setPointSizeF(font.pointSizeF() * 1.1);
            text_->setFont(font);
        }
        text_->document()->setDocumentMargin(12);

        auto* row = new QHBoxLayout;
        row->addWidget(back);
        row->addWidget(forward);
        row->addWidget(index);
        row->addStretch(1);
        auto* column = new QVBoxLayout(this);
        column->addLayout(row);
        column->addWidget(text_, 1);

        back->setEnabled(false);
        forward->setEnabled(false);
        connect(text_, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
        connect(text_, &QTextBrowser::forwardAvailable, forward, &QWidget::setEnabled);
        connect(back, &QPushButton::clicked, text_, &QTextBrowser::backward);
        connect(forward, &QPushButton::clicked, text_, &QTextBrowser::forward);
        connect(index, &QPushButton::clicked, this, [this] { go(Root.resolved(QUrl(IndexPage))); });
        connect(text_, &QTextBrowser::anchorClicked, this,
                [this](const QUrl& url) { go(text_->source().resolved(url)); });
        const auto key = [this](QKeySequence keys, auto slot) {
            auto* s = new QShortcut(keys, this);
            s->setContext(Qt::WindowShortcut);
            connect(s, &QShortcut::activated, text_, slot);
        };
        key(QKeySequence(Qt::ALT | Qt::Key_Left), &QTextBrowser::backward);
        key(QKeySequence(Qt::ALT | Qt::Key_Right), &QTextBrowser::forward);
        auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
        f1->setContext(Qt::WindowShortcut);
        connect(f1, &QShortcut::activated, this, [this] { go(Root.resolved(QUrl(IndexPage))); });
    }

    // A page of the guide (a missing one: the index), the web in the
    // system's browser, anything else nowhere.
    void go(const QUrl& url) {
        const QUrl page = guidePage(url);
        if (!page.isEmpty()) {
            // The page on show is not read again: at most it scrolls.
            if (page.adjusted(QUrl::RemoveFragment) ==
                text_->source().adjusted(QUrl::RemoveFragment)) {
                if (page.hasFragment())
                    text_->scrollToAnchor(page.fragment());
            } else {
                text_->setSource(page, QTextDocument::MarkdownResource);
            }
            return;
        }
        const QString scheme = url.scheme();
        if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
            scheme == QLatin1String("mailto"))
            QDesktopServices::openUrl(url);
    }

    // The first time: over the window the guide was asked from.
    void placeOver(QWidget* from) {
        if (placed_)
            return;
        placed_ = true;
        if (!from)
            return;
        QRect r = rect();
        r.moveCenter(from->window()->frameGeometry().center());
        if (const QScreen* screen = from->window()->screen()) {
            const QRect room = screen->availableGeometry();
            r.moveLeft(qBound(room.left(), r.left(), qMax(room.left(), room.right() - r.width())));
            r.moveTop(qBound(room.top(), r.top(), qMax(room.top(), room.bottom() - r.height())));
        }
        move(r.topLeft());
    }

private:
    QPushButton* button(const char* name, const QString& text, const QString& tip,
                        QStyle::StandardPixmap icon) {
        auto* b = new QPushButton(style()->standardIcon(icon), text, this);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(tip);
        b->setAutoDefault(false);
        return b;
    }

    QTextBrowser* text_;
    bool placed_ = false;
};

QPointer<HelpWindow> theWindow;

// The window goes with the application, before the application does.
void deleteWindow() {
    delete theWindow.data();
}

} // namespace

void show(QWidget* from, const QString& page) {
    if (!theWindow) {
        initGuideResource();
        theWindow = new HelpWindow;
        qAddPostRoutine(deleteWindow);
    }
    theWindow->placeOver(from);
    theWindow->go(Root.resolved(QUrl(page)));
    theWindow->show();
    theWindow->setWindowState(theWindow->windowState() & ~Qt::WindowMinimized);
    theWindow->raise();
    theWindow->activateWindow();
}

void bindF1(QWidget* window, std::function<QString()> page) {
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), window);
    f1->setContext(Qt::WindowShortcut);
    QObject::connect(f1, &QShortcut::activated, window,
                     [window, page = std::move(page)] { show(window, page()); });
}

} // namespace help
