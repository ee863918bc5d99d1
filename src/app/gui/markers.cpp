#include "app/gui/markers.h"

#include <QWidget>
#include <functional>

namespace {

// Visits every control of the window once.
void forEachControl(QWidget* window, const std::function<void(QWidget*, int)>& f) {
    const auto children = window->findChildren<QWidget*>();
    for (QWidget* w : children) {
        if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        f(w, markerOf(w));
    }
}

void enableAndShow(QWidget* window, int marker) {
    forEachControl(window, [marker](QWidget* w, int m) {
        if (m == marker) {
            w->setEnabled(true);
            w->setVisible(true);
        }
    });
}

void enableOnly(QWidget* window, int marker) {
    forEachControl(window, [marker](QWidget* w, int m) {
        if (m == marker)
            w->setEnabled(true);
    });
}

QWidget* named(QWidget* window, const char* name) {
    return window->findChild<QWidget*>(QLatin1String(name));
}

} // namespace

int markerOf(const QWidget* w) {
    bool ok = false;
    const int m = w->property("tag").toString().trimmed().toInt(&ok);
    return ok ? m : 0;
}

void CloseAllTags(QWidget* window) {
    forEachControl(window, [](QWidget* w, int m) {
        if (m > 8)
            w->setEnabled(false);
        if (m == 176)
            w->setVisible(false);
    });
}

void SwitchTags(QWidget* window) {
    forEachControl(window, [](QWidget* w, int m) {
        if (m > 8 && m < 130)
            w->setEnabled(!w->isEnabled());
    });
}

void swtag130(QWidget* window) {
    enableOnly(window, 130);
}
void swtag131(QWidget* window) {
    enableOnly(window, 131);
}

void swtag134(QWidget* window) {
    forEachControl(window, [](QWidget* w, int m) {
        if (m > 134 && m < 163)
            w->setEnabled(true);
    });
}

void swtag163(QWidget* window) {
    enableOnly(window, 163);
}

void swtag170(QWidget* window) {
    enableAndShow(window, 170);
    for (const char* name : {"tartab1", "per_sents"}) {
        if (QWidget* w = named(window, name))
            w->setEnabled(false);
    }
}

void swtag171(QWidget* window) {
    enableAndShow(window, 171);
}

void swtag172(QWidget*) {}

void swtag176(QWidget* window) {
    enableAndShow(window, 176);
    for (const char* name : {"usred", "usredn"}) {
        if (QWidget* w = named(window, name)) {
            w->setEnabled(false);
            w->setVisible(false);
        }
    }
}

void fillEmptyTags(QWidget* window) {
    // Timers and dialogs are controls too, though not widgets.
    const auto children = window->findChildren<QObject*>();
    for (QObject* w : children) {
        if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        if (w->property("tag").toString().isEmpty())
            w->setProperty("tag", QStringLiteral("2"));
    }
}
