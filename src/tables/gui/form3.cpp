#include "tables/gui/form3.h"

#include "base/gui/help_window.h"
#include "tables/curves.h"
#include "tables/gui/curve_view.h"

// A window of its own even when it is given an owner.
Form3::Form3(QWidget* parent) : QWidget(parent, Qt::Window) {
    ui.setupUi(this);
    readings_ = {ui.Text4_0,  ui.Text4_1,  ui.Text4_2,  ui.Text4_3,  ui.Text4_4,
                 ui.Text4_5,  ui.Text4_6,  ui.Text4_7,  ui.Text4_8,  ui.Text4_9,
                 ui.Text4_10, ui.Text4_11, ui.Text4_12, ui.Text4_13, ui.Text4_14,
                 ui.Text4_15, ui.Text4_16, ui.Text4_17, ui.Text4_18, ui.Text4_19};
    litres_ = {ui.Text3_0,  ui.Text3_1,  ui.Text3_2,  ui.Text3_3,  ui.Text3_4,
               ui.Text3_5,  ui.Text3_6,  ui.Text3_7,  ui.Text3_8,  ui.Text3_9,
               ui.Text3_10, ui.Text3_11, ui.Text3_12, ui.Text3_13, ui.Text3_14,
               ui.Text3_15, ui.Text3_16, ui.Text3_17, ui.Text3_18, ui.Text3_19};
    curve_ = new CurveView(QStringLiteral("Показания датчика"), QStringLiteral("Точка"),
                           QStringLiteral(": таблица не монотонна"), this);
    curve_->setObjectName(QStringLiteral("tableCurve"));
    curve_->setMinimumSize(340, 300);
    ui.horizontalLayout->addWidget(curve_, 1);
    fitDeviation = new QLabel(this);
    fitDeviation->setObjectName(QStringLiteral("fitDeviation"));
    fitDeviation->setWordWrap(true);
    fitDeviation->hide();
    ui.verticalLayout->addWidget(fitDeviation);
    const auto addButton = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        ui.verticalLayout_2->insertWidget(ui.verticalLayout_2->indexOf(ui.fTablSave) + 1, b);
        return b;
    };
    reportPdf = addButton("reportPdf", QStringLiteral("Протокол…"));
    importCsv = addButton("importCsv", QStringLiteral("Импорт CSV…"));
    exportCsv = addButton("exportCsv", QStringLiteral("Экспорт CSV…"));
    for (const auto* column : {&readings_, &litres_}) {
        for (QLineEdit* box : *column)
            connect(box, &QLineEdit::textChanged, this, [this] {
                if (settingTexts_)
                    return;
                // A typed box: the deviation shown is no longer the table's.
                fitDeviation->clear();
                fitDeviation->hide();
                redrawCurve();
            });
    }
    redrawCurve();
    help::bindF1(this, QStringLiteral("table.md"));
}

void Form3::redrawCurve() {
    curve_->setPoints(tables::tableCurve(texts()));
}

QLineEdit* Form3::Text4(int point) const {
    return point >= 0 && point < 20 ? readings_[static_cast<size_t>(point)] : nullptr;
}

QLineEdit* Form3::Text3(int point) const {
    return point >= 0 && point < 20 ? litres_[static_cast<size_t>(point)] : nullptr;
}

tables::TableTexts Form3::texts() const {
    tables::TableTexts t;
    for (int i = 0; i < tables::Points; ++i) {
        t.readings[size_t(i)] = readings_[size_t(i)]->text();
        t.litres[size_t(i)] = litres_[size_t(i)]->text();
    }
    return t;
}

void Form3::setTexts(const tables::TableTexts& table, const QString& note,
                     const QList<tables::CurvePoint>& captures) {
    fitDeviation->setText(note);
    fitDeviation->setVisible(!note.isEmpty());
    captures_ = captures;
    // Forty boxes, one drawing.
    settingTexts_ = true;
    for (int i = 0; i < tables::Points; ++i) {
        readings_[size_t(i)]->setText(table.readings[size_t(i)]);
        litres_[size_t(i)]->setText(table.litres[size_t(i)]);
    }
    settingTexts_ = false;
    redrawCurve();
}
