#include "app/gui/form2.h"

Form2::Form2(QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    // The picture lives in a static library; make sure its resource is linked in.
    Q_INIT_RESOURCE(form2);
    ui.setupUi(this);
    setFixedSize(sizeHint());
}
