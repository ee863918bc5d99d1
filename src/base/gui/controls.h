#pragma once
// Finding a window's controls by their objectName: the pages bind to the
// controls of the windows they serve without seeing the windows' classes.

#include <QObject>
#include <QtGlobal>

template <class T> T* control(const QObject* root, const char* name) {
    T* c = root->findChild<T*>(QLatin1String(name));
    if (!c)
        qFatal("The window has no control named %s", name);
    return c;
}
