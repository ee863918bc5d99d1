#pragma once
// Colours of labels and shapes, given as the 0x00BBGGRR values the window
// keeps. The value set last is kept in a property ("foreColor", "backColor",
// "fillColor") so that it can be read back.

#include <QColor>

class QWidget;

QColor toQColor(quint32 vbColor);
quint32 foreColor(const QWidget* w);
quint32 backColor(const QWidget* w);
quint32 fillColor(const QWidget* w);
void setForeColor(QWidget* w, quint32 vbColor);
void setBackColor(QWidget* w, quint32 vbColor);
void setFillColor(QWidget* w, quint32 vbColor);
