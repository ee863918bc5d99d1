#pragma once
// The technician's guide in a window of its own, "helpWindow": the Markdown
// pages of docs/guide/ built into the program under qrc:/guide/ and shown by
// Qt's own Markdown reader, with Back, Forward and "Содержание". One window
// serves the whole program: opening a page while it is shown navigates it
// and raises it. Links to other pages of the guide are followed inside it;
// web links (http, https, mailto) go to the system's browser; any other link
// (a local file, another scheme) is not followed.

#include <QString>
#include <functional>

class QWidget;

namespace help {

// The guide's first page.
inline const QString IndexPage = QStringLiteral("index.md");

// Shows the guide's window at page (a file name of docs/guide/, such as
// "settings.md"); a page the guide does not have shows the index. The first
// time, the window opens over from's window.
void show(QWidget* from, const QString& page);

// F1 in window (whichever of its controls has the focus) shows the page that
// page() names at that moment.
void bindF1(QWidget* window, std::function<QString()> page);
inline void bindF1(QWidget* window, const QString& page) {
    bindF1(window, [page] { return page; });
}

} // namespace help
