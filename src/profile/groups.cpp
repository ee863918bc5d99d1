#include "profile/groups.h"

#include "sensor/mode.h"

namespace profile {

namespace {

QString onOff(bool on) {
    return on ? QStringLiteral("включена") : QStringLiteral("отключена");
}

} // namespace

QString groupTitle(Group g) {
    switch (g) {
    case Group::Modes:
        return QStringLiteral("Режимы и настройки");
    case Group::Levels:
        return QStringLiteral("Уровни пустой/полный");
    case Group::Table:
        return QStringLiteral("Тарировочная таблица");
    case Group::Address:
        return QStringLiteral("Сетевой адрес");
    }
    return {};
}

QString groupKey(Group g) {
    static const char* const keys[] = {"modes", "levels", "table", "address"};
    return QLatin1String(keys[int(g)]);
}

std::optional<Group> groupOfKey(const QString& key) {
    for (Group g : AllGroups)
        if (groupKey(g) == key)
            return g;
    return std::nullopt;
}

bool chosenByDefault(Group g) {
    return g == Group::Modes || g == Group::Table;
}

QString Difference::text() const {
    if (now.isEmpty())
        return field + QStringLiteral(": ") + wanted;
    return field + QStringLiteral(": ") + now + QStringLiteral(" → ") + wanted;
}

QString modeText(quint8 mode) {
    // In the order of sensor::Output and sensor::FlagWords.
    static const char* const outputs[] = {"RS-485", "аналоговый", "частотный", "периодический",
                                          "периодический RS485"};
    static const char* const flags[] = {"инверсия", "усреднение", "в проценты", "в литры",
                                        "диапазон 4096"};
    QStringList words;
    const sensor::Mode m = sensor::Mode::fromByte(mode);
    words << (m.output ? QString::fromUtf8(outputs[int(*m.output)])
                       : QStringLiteral("выход неизвестен"));
    for (size_t i = 0; i < sensor::FlagWords.size(); ++i)
        if (m.*sensor::FlagWords[i].flag)
            words << QString::fromUtf8(flags[i]);
    return QStringLiteral("%1 (%2)").arg(mode).arg(words.join(QStringLiteral(", ")));
}

QList<Difference> differences(Group g, const Settings& wanted, const Settings& now) {
    QList<Difference> out;
    const auto compare = [&](const QString& field, const auto& w, const auto& n, const auto& show) {
        if (w && w != n)
            out.append({field, n ? show(*n) : QStringLiteral("не прочитан"), show(*w)});
    };
    const auto number = [](auto v) { return QString::number(v); };
    switch (g) {
    case Group::Modes:
        compare(QStringLiteral("Режим"), wanted.mode, now.mode, modeText);
        compare(QStringLiteral("Сглаживание"), wanted.smoothing, now.smoothing, number);
        compare(QStringLiteral("Термокомпенсация"), wanted.thermoCompensation,
                now.thermoCompensation, onOff);
        compare(QStringLiteral("Порог срабатывания лампы %"), wanted.lampThreshold,
                now.lampThreshold, number);
        break;
    case Group::Levels:
        compare(QStringLiteral("Пустой"), wanted.empty, now.empty, number);
        compare(QStringLiteral("Полный"), wanted.full, now.full, number);
        break;
    case Group::Table: {
        // Rows as the table window numbers them (row 1 at the top is point
        // 19), runs of rows as "3–7".
        QStringList rows;
        int runStart = 0;
        for (int row = 1; row <= TablePoints + 1; ++row) {
            const size_t p = size_t(TablePoints - row);
            const bool differs =
                row <= TablePoints && (wanted.table.readings[p] != now.table.readings[p] ||
                                       wanted.table.litres[p] != now.table.litres[p]);
            if (differs && runStart == 0)
                runStart = row;
            if (!differs && runStart != 0) {
                rows << (row - 1 == runStart ? QString::number(runStart)
                                             : QStringLiteral("%1–%2").arg(runStart).arg(row - 1));
                runStart = 0;
            }
        }
        if (!rows.isEmpty())
            out.append(
                {QStringLiteral("Отличаются строки"), QString(), rows.join(QStringLiteral(", "))});
        break;
    }
    case Group::Address:
        if (wanted.address != now.address)
            out.append({QStringLiteral("Сетевой адрес"), QString::number(now.address),
                        QString::number(wanted.address)});
        break;
    }
    return out;
}

QList<GroupPlan> plan(const Settings& wanted, const Settings& now) {
    QList<GroupPlan> out;
    for (Group g : AllGroups)
        out.append({g, chosenByDefault(g), differences(g, wanted, now)});
    return out;
}

Settings merged(const Settings& base, const Settings& from, const QList<Group>& groups) {
    Settings s = base;
    const auto take = [](auto& to, const auto& v) {
        if (v)
            to = v;
    };
    for (Group g : groups) {
        switch (g) {
        case Group::Modes:
            take(s.mode, from.mode);
            take(s.smoothing, from.smoothing);
            take(s.thermoCompensation, from.thermoCompensation);
            take(s.lampThreshold, from.lampThreshold);
            break;
        case Group::Levels:
            take(s.empty, from.empty);
            take(s.full, from.full);
            break;
        case Group::Table:
            s.table = from.table;
            break;
        case Group::Address:
            s.address = from.address;
            break;
        }
    }
    return s;
}

} // namespace profile
