// The guide's page "Сообщения и что делать" keeps up with the program: every
// text the program can show (each string literal with Russian letters in its
// sources, and every literal of the files where texts live, *_texts.h) is on
// the page, unless guide_not_messages.txt names it as no message (a caption,
// a column, a word of a summary; "file: PATH" names all of a file's texts).
// A text built around numbers is looked up by its fixed pieces, cut at its
// %1 places and line breaks.

#include <QDebug>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace {

struct Literal {
    QString text;
    QString file;
};

// The string literals of a C++ source, with their escapes read and
// neighbouring literals joined as the compiler joins them. Comments and
// character literals are skipped.
QStringList literalsOf(const QString& source) {
    QStringList out;
    bool joinable = false; // only white space since the last literal
    const qsizetype n = source.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = source.at(i);
        if (source.mid(i, 2) == QLatin1String("//")) {
            const qsizetype end = source.indexOf(u'\n', i);
            i = end < 0 ? n : end;
            continue;
        }
        if (source.mid(i, 2) == QLatin1String("/*")) {
            const qsizetype end = source.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
            continue;
        }
        if (c == u'\'' || c == u'"') {
            QString text;
            qsizetype j = i + 1;
            for (; j < n && source.at(j) != c; ++j) {
                if (source.at(j) != u'\\' || j + 1 >= n) {
                    text += source.at(j);
                    continue;
                }
                const QChar e = source.at(++j);
                text += e == u'n'   ? QChar(u'\n')
                        : e == u'r' ? QChar(u'\r')
                        : e == u't' ? QChar(u'\t')
                                    : e;
            }
            i = j + 1;
            if (c == u'\'') {
                joinable = false;
                continue;
            }
            if (joinable && !out.isEmpty())
                out.last() += text;
            else
                out.append(text);
            joinable = true;
            continue;
        }
        if (!c.isSpace())
            joinable = false;
        ++i;
    }
    return out;
}

bool hasRussian(const QString& text) {
    static const QRegularExpression russian(QStringLiteral("[А-Яа-яЁё]"));
    return text.contains(russian);
}

bool isTextsFile(const QString& path) {
    return path.endsWith(QLatin1String("_texts.h"));
}

// Candidates of one source file.
QList<Literal> shownTexts(const QString& source, const QString& file) {
    static const QRegularExpression letter(QStringLiteral("[A-Za-zА-Яа-яЁё]{2}"));
    QList<Literal> out;
    for (const QString& text : literalsOf(source))
        if (hasRussian(text) || (isTextsFile(file) && text.contains(letter)))
            out.append({text, file});
    return out;
}

// The fixed pieces a text is looked up by: cut at %1.. and line breaks,
// trimmed; a piece of fewer than three characters says nothing.
QStringList piecesOf(const QString& text) {
    static const QRegularExpression cuts(QStringLiteral("%\\d|[\\r\\n]"));
    QStringList pieces;
    for (const QString& piece : text.split(cuts)) {
        const QString p = piece.trimmed();
        if (p.size() >= 3)
            pieces.append(p);
    }
    return pieces;
}

// The texts of `shown` missing from the page, as "file: text" lines.
QStringList missing(const QList<Literal>& shown, const QString& page,
                    const QStringList& notMessages) {
    QStringList out;
    for (const Literal& l : shown) {
        if (notMessages.contains(l.text.trimmed()) ||
            notMessages.contains(QStringLiteral("file: ") + l.file))
            continue;
        for (const QString& piece : piecesOf(l.text)) {
            if (!page.contains(piece)) {
                out.append(l.file + QStringLiteral(": ") + l.text);
                break;
            }
        }
    }
    out.removeDuplicates();
    return out;
}

QString readText(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

QStringList notMessages() {
    QStringList out;
    const QString list =
        readText(QStringLiteral(LV300_SOURCE_DIR "/tests/app/guide_not_messages.txt"));
    for (const QString& line : list.split(u'\n')) {
        QString l = line.trimmed();
        if (!l.isEmpty() && !l.startsWith(u'#'))
            out.append(l.replace(QLatin1String("\\n"), QLatin1String("\n")));
    }
    return out;
}

// The program's sources: its own and lv300ctl's (the simulator shows nothing
// to a technician).
QList<Literal> programTexts() {
    QList<Literal> out;
    for (const char* folder : {"src", "tools/lv300ctl"}) {
        QDirIterator it(QStringLiteral(LV300_SOURCE_DIR "/") + QLatin1String(folder),
                        {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.contains(QLatin1String("/src/sim/")))
                continue;
            const QString file = path.mid(qsizetype(sizeof(LV300_SOURCE_DIR)));
            out += shownTexts(readText(path), file);
        }
    }
    return out;
}

} // namespace

class TestGuideMessages : public QObject {
    Q_OBJECT
private slots:
    void everyShownTextIsOnThePage() {
        const QString page = readText(QStringLiteral(LV300_SOURCE_DIR "/docs/guide/messages.md"));
        QVERIFY(!page.isEmpty());
        const QList<Literal> shown = programTexts();
        QVERIFY2(shown.size() > 200, "the sources were not found");
        const QStringList absent = missing(shown, page, notMessages());
        // One line each: the failure's own message is cut short.
        for (const QString& a : absent)
            qWarning().noquote() << "not explained:" << a;
        QVERIFY2(absent.isEmpty(), "texts are not explained on docs/guide/messages.md nor named "
                                   "in tests/app/guide_not_messages.txt (see above)");
    }

    // A name on the list of non-messages that the program no longer has
    // would let a new message of the same words through unexplained.
    void everyNonMessageIsInTheProgram() {
        QStringList texts;
        for (const Literal& l : programTexts())
            texts << l.text.trimmed() << QStringLiteral("file: ") + l.file;
        QStringList stale;
        for (const QString& n : notMessages())
            if (!texts.contains(n))
                stale.append(n);
        QVERIFY2(stale.isEmpty(), qPrintable(stale.join(u'\n')));
    }

    // A message added to a source, split over two lines and built around a
    // number, is caught until the page has its pieces.
    void aNewMessageIsCaught() {
        const QString source =
            QStringLiteral("// \"Закомментировано\"\n"
                           "const char c = '\"';\n"
                           "box(QStringLiteral(\"Датчик %1 \"\n"
                           "                   \"не ответил.\\nПроверьте провода.\"));\n");
        const QList<Literal> shown = shownTexts(source, QStringLiteral("new.cpp"));
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().text, QStringLiteral("Датчик %1 не ответил.\nПроверьте провода."));
        QCOMPARE(missing(shown, QStringLiteral("«Датчик 5 не ответил.»"), {}).size(), 1);
        QVERIFY(missing(shown, QStringLiteral("`Датчик N не ответил.` … `Проверьте провода.`"), {})
                    .isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestGuideMessages)
#include "tst_guide_messages.moc"
