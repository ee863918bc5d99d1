#include "output.h"

#include <QJsonDocument>

#include <cstdio>

namespace ctl {

namespace {
void put(FILE* f, const QString& text) {
    std::fputs(text.toUtf8().constData(), f);
    std::fflush(f);
}
QString line(const QString& text) {
    return text.endsWith(u'\n') ? text : text + u'\n';
}
} // namespace

void toStderr(const QString& text) {
    put(stderr, text);
}

void Output::result(const QJsonObject& object, const QString& text) {
    if (json_)
        put(stdout,
            QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + u'\n');
    else if (!text.isEmpty())
        put(stdout, line(text));
}

int Output::fail(int exitCode, const QString& kind, const QString& text) {
    if (json_)
        result(QJsonObject{{QStringLiteral("error"), text}, {QStringLiteral("code"), kind}}, {});
    else
        put(stderr, line(QStringLiteral("lv300ctl: ") + text));
    return exitCode;
}

int Output::failShown(int exitCode, const QString& kind, const QString& text) {
    if (json_)
        return fail(exitCode, kind, text);
    return exitCode;
}

} // namespace ctl
