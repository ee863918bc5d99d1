// The bounded file read: only regular files, never more than the limit.

#include "base/bounded_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestBoundedFile : public QObject {
    Q_OBJECT
private slots:
    void read_data();
    void read();
};

void TestBoundedFile::read_data() {
    QTest::addColumn<QString>("name"); // in a fresh folder; "/..." as it stands
    QTest::addColumn<int>("size");     // bytes written first; -1: nothing made
    QTest::addColumn<int>("status");
    QTest::newRow("at the limit") << "f" << 10 << int(bounded::Status::Ok);
    QTest::newRow("empty") << "f" << 0 << int(bounded::Status::Ok);
    QTest::newRow("one byte over") << "f" << 11 << int(bounded::Status::TooLarge);
    QTest::newRow("missing") << "none" << -1 << int(bounded::Status::CannotOpen);
    QTest::newRow("a folder") << "." << -1 << int(bounded::Status::CannotOpen);
#ifndef Q_OS_WIN
    QTest::newRow("a device") << "/dev/zero" << -1 << int(bounded::Status::NotRegular);
#endif
}

void TestBoundedFile::read() {
    QFETCH(QString, name);
    QFETCH(int, size);
    QFETCH(int, status);
    QTemporaryDir dir;
    const QString path = name.startsWith(u'/') ? name : dir.filePath(name);
    if (size >= 0) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(size, 'x'));
    }
    const bounded::File file = bounded::read(path, 10);
    QCOMPARE(int(file.status), status);
    QCOMPARE(file.bytes, status == int(bounded::Status::Ok) ? QByteArray(size, 'x') : QByteArray());
}

QTEST_APPLESS_MAIN(TestBoundedFile)
#include "tst_bounded_file.moc"
