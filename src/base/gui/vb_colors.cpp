#include "base/gui/vb_colors.h"

#include "base/gui/colors.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

QColor toQColor(quint32 vbColor) {
    if (vbColor == vbcolor::ButtonFace)
        return QApplication::palette().color(QPalette::Button);
    if (vbColor == vbcolor::ButtonText)
        return QApplication::palette().color(QPalette::ButtonText);
    return QColor(vbColor & 0xFF, (vbColor >> 8) & 0xFF, (vbColor >> 16) & 0xFF);
}

quint32 foreColor(const QWidget* w) {
    return w->property("foreColor").toUInt();
}
quint32 backColor(const QWidget* w) {
    return w->property("backColor").toUInt();
}
quint32 fillColor(const QWidget* w) {
    return w->property("fillColor").toUInt();
}

void setForeColor(QWidget* w, quint32 vbColor) {
    w->setProperty("foreColor", vbColor);
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, toQColor(vbColor));
    p.setColor(QPalette::Text, toQColor(vbColor));
    w->setPalette(p);
}

void setBackColor(QWidget* w, quint32 vbColor) {
    w->setProperty("backColor", vbColor);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, toQColor(vbColor));
    w->setPalette(p);
    w->setAutoFillBackground(vbColor != vbcolor::ButtonFace);
}

void setFillColor(QWidget* w, quint32 vbColor) {
    w->setProperty("fillColor", vbColor);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, toQColor(vbColor));
    w->setPalette(p);
    w->setAutoFillBackground(true);
}
