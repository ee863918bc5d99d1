#include "profile/profile.h"

#include "base/bounded_file.h"
#include "sensor/mode.h"
#include "sensor/requests.h"
#include "tables/table_frames.h"
#include "tables/table_texts.h"
#include "tables/text_lines.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace profile {

namespace {

QJsonValue optional(const auto& v) {
    return v ? QJsonValue(qint64(*v)) : QJsonValue();
}

// A refusal that names the field.
struct Refusal {
    QString field;
    QString why;
};

class Reader {
public:
    std::optional<Refusal> refusal;

    QJsonValue value(const QJsonObject& o, const QString& key, const QString& name) {
        if (!o.contains(key))
            fail(name, QStringLiteral("отсутствует"));
        return o.value(key);
    }
    // A whole number lo..hi; nullopt for null when allowed.
    std::optional<qint64> number(const QJsonObject& o, const QString& key, const QString& name,
                                 qint64 lo, qint64 hi, bool nullable) {
        const QJsonValue v = value(o, key, name);
        if (refusal)
            return std::nullopt;
        if (v.isNull() && nullable)
            return std::nullopt;
        const double d = v.toDouble(-1e300);
        if (!v.isDouble() || d != double(qint64(d)) || d < double(lo) || d > double(hi)) {
            fail(name, QStringLiteral("должно быть целым числом от %1 до %2%3")
                           .arg(lo)
                           .arg(hi)
                           .arg(nullable ? QStringLiteral(" или null") : QString()));
            return std::nullopt;
        }
        return qint64(d);
    }
    std::optional<bool> boolean(const QJsonObject& o, const QString& key, const QString& name,
                                bool nullable) {
        const QJsonValue v = value(o, key, name);
        if (refusal || (v.isNull() && nullable))
            return std::nullopt;
        if (!v.isBool()) {
            fail(name, nullable ? QStringLiteral("должно быть true, false или null")
                                : QStringLiteral("должно быть true или false"));
            return std::nullopt;
        }
        return v.toBool();
    }
    void fail(const QString& field, const QString& why) {
        if (!refusal)
            refusal = Refusal{field, why};
    }
};

QString fileError(const QString& text) {
    return text + QStringLiteral(" Ничего не изменено.");
}

} // namespace

QByteArray toJson(const Profile& p) {
    const Settings& s = p.settings;
    QJsonObject source{
        {QStringLiteral("serial"), optional(p.source.serial)},
        {QStringLiteral("firmware"), optional(p.source.firmware)},
        {QStringLiteral("version"), p.source.version},
        // With the offset from UTC, so the time means the same anywhere.
        {QStringLiteral("saved"),
         p.source.saved.toOffsetFromUtc(p.source.saved.offsetFromUtc()).toString(Qt::ISODate)}};
    QJsonValue mode;
    if (s.mode) {
        QJsonObject m{{QStringLiteral("byte"), *s.mode},
                      {QStringLiteral("output"), sensor::outputName(*s.mode)}};
        const sensor::Mode decoded = sensor::Mode::fromByte(*s.mode);
        for (const sensor::FlagWord& w : sensor::FlagWords)
            m.insert(QLatin1String(w.name), decoded.*w.flag);
        mode = m;
    }
    QJsonArray table;
    for (int i = 0; i < TablePoints; ++i)
        table.append(QJsonObject{{QStringLiteral("reading"), s.table.readings[size_t(i)]},
                                 {QStringLiteral("litres"), s.table.litres[size_t(i)]}});
    const QJsonObject root{
        {QStringLiteral("format"), Format},
        {QStringLiteral("source"), source},
        {QStringLiteral("mode"), mode},
        {QStringLiteral("smoothing"), optional(s.smoothing)},
        {QStringLiteral("thermo_compensation"),
         s.thermoCompensation ? QJsonValue(*s.thermoCompensation) : QJsonValue()},
        {QStringLiteral("lamp_threshold"), optional(s.lampThreshold)},
        {QStringLiteral("empty"), optional(s.empty)},
        {QStringLiteral("full"), optional(s.full)},
        {QStringLiteral("table"), table},
        {QStringLiteral("network_address"), s.address},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

Loaded fromJson(const QByteArray& bytes) {
    Loaded out;
    const auto refuse = [&](const QString& field, const QString& why) {
        out.error = {Error::Kind::File,
                     QStringLiteral("Это не профиль ЛВ-300: поле \"%1\" %2.").arg(field, why)};
        return out;
    };
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parse);
    if (parse.error != QJsonParseError::NoError || !doc.isObject()) {
        out.error = {Error::Kind::File,
                     QStringLiteral("Это не профиль ЛВ-300: не JSON-объект (%1, байт %2).")
                         .arg(parse.errorString())
                         .arg(parse.offset)};
        return out;
    }
    const QJsonObject root = doc.object();
    Reader r;
    const QJsonValue format = r.value(root, QStringLiteral("format"), QStringLiteral("format"));
    if (r.refusal)
        return refuse(r.refusal->field, r.refusal->why);
    if (!format.isDouble() || format.toDouble() != Format)
        return refuse(QStringLiteral("format"), QStringLiteral("должно быть 1"));

    Profile p;
    Settings& s = p.settings;

    // The source.
    const QJsonValue sourceValue =
        r.value(root, QStringLiteral("source"), QStringLiteral("source"));
    if (!r.refusal && !sourceValue.isObject())
        r.fail(QStringLiteral("source"), QStringLiteral("должно быть объектом"));
    const QJsonObject source = sourceValue.toObject();
    if (const auto v = r.number(source, QStringLiteral("serial"), QStringLiteral("source.serial"),
                                0, 0xFFFFFFFFLL, true))
        p.source.serial = quint32(*v);
    if (const auto v = r.number(source, QStringLiteral("firmware"),
                                QStringLiteral("source.firmware"), 0, 255, true))
        p.source.firmware = quint8(*v);
    const QJsonValue version =
        r.value(source, QStringLiteral("version"), QStringLiteral("source.version"));
    if (!r.refusal && !version.isString())
        r.fail(QStringLiteral("source.version"), QStringLiteral("должно быть строкой"));
    p.source.version = version.toString();
    const QJsonValue saved =
        r.value(source, QStringLiteral("saved"), QStringLiteral("source.saved"));
    p.source.saved = QDateTime::fromString(saved.toString(), Qt::ISODate);
    if (!r.refusal && !p.source.saved.isValid())
        r.fail(QStringLiteral("source.saved"),
               QStringLiteral("должно быть датой и временем ISO 8601"));

    // The mode: the byte, and the words that must agree with it.
    const QJsonValue mode = r.value(root, QStringLiteral("mode"), QStringLiteral("mode"));
    if (!r.refusal && !mode.isNull()) {
        if (!mode.isObject()) {
            r.fail(QStringLiteral("mode"), QStringLiteral("должно быть объектом или null"));
        } else {
            const QJsonObject m = mode.toObject();
            if (const auto b = r.number(m, QStringLiteral("byte"), QStringLiteral("mode.byte"), 0,
                                        255, false)) {
                s.mode = quint8(*b);
                const sensor::Mode decoded = sensor::Mode::fromByte(*s.mode);
                if (m.contains(QStringLiteral("output")) &&
                    m.value(QStringLiteral("output")).toString() != sensor::outputName(*s.mode))
                    r.fail(QStringLiteral("mode.output"),
                           QStringLiteral("не соответствует байту режима %1 (там \"%2\")")
                               .arg(*s.mode)
                               .arg(sensor::outputName(*s.mode)));
                for (const sensor::FlagWord& w : sensor::FlagWords) {
                    const QString key = QLatin1String(w.name);
                    if (!m.contains(key))
                        continue;
                    const auto flag = r.boolean(m, key, QStringLiteral("mode.") + key, false);
                    if (flag && *flag != decoded.*w.flag)
                        r.fail(QStringLiteral("mode.") + key,
                               QStringLiteral("не соответствует байту режима %1").arg(*s.mode));
                }
            }
        }
    }

    if (const auto v =
            r.number(root, QStringLiteral("smoothing"), QStringLiteral("smoothing"), 0, 15, true))
        s.smoothing = quint8(*v);
    s.thermoCompensation = r.boolean(root, QStringLiteral("thermo_compensation"),
                                     QStringLiteral("thermo_compensation"), true);
    if (const auto v = r.number(root, QStringLiteral("lamp_threshold"),
                                QStringLiteral("lamp_threshold"), 1, 99, true))
        s.lampThreshold = quint8(*v);
    if (const auto v = r.number(root, QStringLiteral("empty"), QStringLiteral("empty"), 0,
                                sensor::MaxU32Value, true))
        s.empty = quint32(*v);
    if (const auto v = r.number(root, QStringLiteral("full"), QStringLiteral("full"), 0,
                                sensor::MaxU32Value, true))
        s.full = quint32(*v);

    const QJsonValue table = r.value(root, QStringLiteral("table"), QStringLiteral("table"));
    if (!r.refusal && (!table.isArray() || table.toArray().size() != TablePoints))
        r.fail(QStringLiteral("table"), QStringLiteral("должно быть списком из 20 точек"));
    const QJsonArray points = table.toArray();
    for (int i = 0; i < points.size() && !r.refusal; ++i) {
        const QString name = QStringLiteral("table[%1]").arg(i);
        if (!points[i].isObject()) {
            r.fail(name, QStringLiteral("должно быть объектом {\"reading\", \"litres\"}"));
            break;
        }
        const QJsonObject point = points[i].toObject();
        if (const auto v = r.number(point, QStringLiteral("reading"),
                                    name + QStringLiteral(".reading"), 0, tables::MaxValue, false))
            s.table.readings[size_t(i)] = quint16(*v);
        if (const auto v = r.number(point, QStringLiteral("litres"),
                                    name + QStringLiteral(".litres"), 0, tables::MaxValue, false))
            s.table.litres[size_t(i)] = quint16(*v);
    }

    if (const auto v = r.number(root, QStringLiteral("network_address"),
                                QStringLiteral("network_address"), 0, 255, false))
        s.address = quint8(*v);

    if (r.refusal)
        return refuse(r.refusal->field, r.refusal->why);
    out.profile = p;
    return out;
}

Error save(const QString& path, const Profile& p) {
    const QByteArray bytes = toJson(p);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        const Error e{Error::Kind::File,
                      QStringLiteral("Не удалось записать файл %1: %2")
                          .arg(QDir::toNativeSeparators(path), file.errorString())};
        file.cancelWriting();
        return e;
    }
    return {};
}

Loaded load(const QString& path) {
    const bounded::File file = bounded::read(path, MaxFileSize);
    const QString shown = QDir::toNativeSeparators(path);
    Loaded out;
    QString text;
    switch (file.status) {
    case bounded::Status::Ok:
        out = fromJson(file.bytes);
        if (out.error)
            out.error.text = fileError(QStringLiteral("Файл %1: ").arg(shown) + out.error.text);
        return out;
    case bounded::Status::CannotOpen:
        text = QStringLiteral("Не удалось открыть файл %1: %2.").arg(shown, file.why);
        break;
    case bounded::Status::NotRegular:
        text = tables::txt::notRegularFile(path);
        break;
    case bounded::Status::TooLarge:
        text = QStringLiteral("Файл %1 слишком велик для профиля.").arg(shown);
        break;
    case bounded::Status::ReadFailed:
        text = QStringLiteral("Не удалось прочитать файл %1: %2.").arg(shown, file.why);
        break;
    }
    out.error = {Error::Kind::File, fileError(text)};
    return out;
}

QString withSuffix(const QString& path) {
    if (path.endsWith(QLatin1String(FileSuffix), Qt::CaseInsensitive))
        return path;
    QString base = path;
    if (base.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
        base.chop(5);
    return base + QLatin1String(FileSuffix);
}

// ---- Groups and differences ----

} // namespace profile
