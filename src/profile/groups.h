#pragma once
// The groups a profile is applied by (modes, levels, table, address), what
// differs in each between a sensor and a profile, and the plan the window
// and lv300ctl show before an apply.

#include "profile/profile.h"

#include <QList>
#include <QString>
#include <array>
#include <optional>

namespace profile {

enum class Group { Modes, Levels, Table, Address };
inline constexpr std::array<Group, 4> AllGroups{Group::Modes, Group::Levels, Group::Table,
                                                Group::Address};
QString groupTitle(Group g); // "Режимы и настройки", ...
// The command line's names: "modes", "levels", "table", "address".
QString groupKey(Group g);
std::optional<Group> groupOfKey(const QString& key);
// Levels and address belong to one sensor or one bus position: off by default.
bool chosenByDefault(Group g);

// One setting that differs: its name as the window shows it, the value now
// and the value wanted.
struct Difference {
    QString field;
    QString now;
    QString wanted;
    QString text() const; // "Сглаживание: 0 → 5"
    bool operator==(const Difference&) const = default;
};

// The settings of a group that differ between `now` and `wanted`. A setting
// the profile does not carry (null) is not compared.
QList<Difference> differences(Group g, const Settings& wanted, const Settings& now);

struct GroupPlan {
    Group group;
    bool chosen = false;
    QList<Difference> differences;
};
// Every group with its default choice and its differences.
QList<GroupPlan> plan(const Settings& wanted, const Settings& now);

// A group's settings taken from `from`, the others from `base`.
Settings merged(const Settings& base, const Settings& from, const QList<Group>& groups);

// The mode byte as the summary shows it: "66 (аналоговый, в литры)".
QString modeText(quint8 mode);

} // namespace profile
