#include "profile/gui/profile_page.h"

#include "base/busy.h"
#include "base/gui/controls.h"
#include "base/user_dialog.h"
#include "profile/gui/profile_dialog.h"
#include "sensor/operations.h"
#include "session/session.h"
#include "tables/table_texts.h"

#include <QBoxLayout>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QPushButton>

namespace {

const QString Filter = QStringLiteral("Профиль ЛВ-300 (*.lv300.json)");
const QString SaveTitle = QStringLiteral("Сохранить профиль");
const QString ApplyTitle = QStringLiteral("Применить профиль");

QString sourceText(const profile::Source& s) {
    QStringList parts;
    parts << QStringLiteral("С/Н ") +
                 (s.serial ? QString::number(*s.serial) : QStringLiteral("????????"));
    if (!s.version.isEmpty())
        parts << QStringLiteral("прошивка ") + s.version;
    parts << s.saved.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm"));
    return parts.join(QStringLiteral(", "));
}

QString sensorText(const profile::SensorState& st) {
    QString text =
        QStringLiteral("адрес %1, С/Н %2").arg(st.settings.address).arg(st.identity.serialText());
    if (!st.identity.versionText().isEmpty())
        text += QStringLiteral(", прошивка ") + st.identity.versionText();
    return text;
}

} // namespace

ProfilePage::ProfilePage(QWidget* root, session::Session& session, const QString& folder)
    : QObject(root), root_(root), session_(session), folder_(folder) {
    setObjectName(QStringLiteral("profilePage"));
    // A row of its own under the "Режимы" frame, in the page's right column:
    // it covers no control and moves none of them.
    auto* modes = control<QGroupBox>(root_, "Frame4");
    auto* column = qobject_cast<QBoxLayout*>(
        modes->parentWidget()->layout()->findChild<QLayout*>(QStringLiteral("verticalLayout_3")));
    if (!column)
        qFatal("The settings page has no right column");
    auto* row = new QHBoxLayout;
    const auto button = [&](const char* name, const QString& text) {
        auto* b = new QPushButton(text, modes->parentWidget());
        b->setObjectName(QLatin1String(name));
        // The page's marker: disabled while the port is closed.
        b->setProperty("tag", QStringLiteral("9"));
        row->addWidget(b);
        return b;
    };
    connect(button("saveProfile", QStringLiteral("Сохранить профиль…")), &QPushButton::clicked,
            this, &ProfilePage::saveProfile_Click);
    connect(button("applyProfile", QStringLiteral("Применить профиль…")), &QPushButton::clicked,
            this, &ProfilePage::applyProfile_Click);
    row->addStretch();
    column->insertLayout(column->indexOf(modes) + 1, row);
}

std::optional<quint8> ProfilePage::sensorAddress() {
    if (!session_.isOpen())
        return std::nullopt;
    const auto address = session_.selectedAddress();
    if (!address)
        session_.dialog().message(tables::txt::NoSensor);
    return address;
}

void ProfilePage::tell(const QString& text, bool warning) {
    session_.log(text);
    session_.dialog().message(text, {},
                              warning ? UserDialog::Icon::Warning : UserDialog::Icon::Information);
}

void ProfilePage::saveProfile_Click() {
    const auto address = sensorAddress();
    if (!address)
        return;
    const profile::ReadResult read = profile::readSensor(session_, *address, options_);
    if (!read.state)
        return tell(QStringLiteral("Профиль не сохранен: ") + read.error.text, true);
    const profile::Profile p = profile::profileOf(*read.state, QDateTime::currentDateTime());
    const QString suggested = QDir(folder_).filePath(
        read.state->identity.serial
            ? QString::number(*read.state->identity.serial) + QLatin1String(profile::FileSuffix)
            : QStringLiteral("profile") + QLatin1String(profile::FileSuffix));
    const QString chosen = session_.dialog().saveFileName(SaveTitle, Filter, suggested);
    if (chosen.isEmpty())
        return;
    const QString path = profile::withSuffix(chosen);
    if (const profile::Error e = profile::save(path, p))
        return tell(e.text, true);
    tell(QStringLiteral("Профиль датчика сохранен в файл ") + QDir::toNativeSeparators(path),
         false);
}

void ProfilePage::applyProfile_Click() {
    if (!sensorAddress())
        return;
    const QString path = session_.dialog().openFileName(ApplyTitle, Filter, folder_);
    if (path.isEmpty())
        return;
    const profile::Loaded loaded = profile::load(path);
    if (!loaded.profile)
        return tell(loaded.error.text, true);
    // The sensor may have changed while the file dialog was up.
    const auto address = sensorAddress();
    if (!address)
        return;
    const profile::ReadResult read = profile::readSensor(session_, *address, options_);
    if (!read.state)
        return tell(QStringLiteral("Профиль не применен: ") + read.error.text, true);
    const profile::Profile& p = *loaded.profile;
    const profile::SensorState before = *read.state;
    const QString header =
        QStringLiteral("Профиль %1\n(с датчика: %2)\nДатчик: %3")
            .arg(QFileInfo(path).fileName(), sourceText(p.source), sensorText(before));
    ProfileDialog dialog(root_, header, profile::plan(p.settings, before.settings),
                         [&](const QList<profile::Group>& groups, const profile::Progress& progress,
                             const profile::Cancelled& cancelled) {
                             return profile::apply(session_, p, before, groups, progress, cancelled,
                                                   options_);
                         });
    dialog_ = &dialog;
    {
        // No tick while the summary is up: its writes and reads are the
        // only frames on the line.
        Busy::Guard guard(session_.busy());
        dialog.exec();
    }
    dialog_ = nullptr;
    const auto& report = dialog.report();
    if (!report)
        return;
    session_.log(QStringLiteral("Профиль %1: записано %2 из %3%4")
                     .arg(QFileInfo(path).fileName())
                     .arg(report->written)
                     .arg(report->total)
                     .arg(report->error       ? QStringLiteral(", ") + report->error.text
                          : report->matches() ? QStringLiteral(", совпадает")
                                              : QStringLiteral(", есть различия")));
    // A new address: the address list is refreshed by a network poll.
    if (report->after && report->after->settings.address != before.settings.address)
        session_.apply(sensor::networkPoll());
    else
        session_.requestIdentity(); // the settings controls follow the next data answer
}
