#include "firmware/cri_image.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using firmware::CriImage;

class TstCriImage : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString writeFile(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void blockCountAndPadding_data() {
        QTest::addColumn<int>("bodySize");
        QTest::addColumn<int>("blocks");
        QTest::addColumn<int>("lastBlockFill"); // bytes of the file in the last block
        QTest::newRow("header only") << 0 << 0 << 0;
        QTest::newRow("one byte") << 1 << 1 << 1;
        QTest::newRow("one short block") << 127 << 1 << 127;
        QTest::newRow("one block") << 128 << 1 << 128;
        QTest::newRow("block and a byte") << 129 << 2 << 1;
        QTest::newRow("two blocks") << 256 << 2 << 128;
    }
    void blockCountAndPadding() {
        QFETCH(int, bodySize);
        QFETCH(int, blocks);
        QFETCH(int, lastBlockFill);
        QByteArray bytes(64, '\x11');
        for (int i = 0; i < bodySize; ++i)
            bytes.append(char(i % 251));
        const QString path = writeFile(QStringLiteral("pad.cri"), bytes);
        QString error;
        const auto image = CriImage::load(path, &error);
        QVERIFY2(image, qPrintable(error));
        QCOMPARE(image->blockCount(), blocks);
        if (blocks == 0) {
            QVERIFY(image->block(0).isEmpty());
            return;
        }
        const QByteArray last = image->block(blocks - 1);
        QCOMPARE(last.size(), 128);
        const int lastStart = (blocks - 1) * 128;
        for (int k = 0; k < 128; ++k) {
            const char expected = k < lastBlockFill ? char((lastStart + k) % 251) : char(0xFF);
            QCOMPARE(last.at(k), expected);
        }
        QVERIFY(image->block(blocks).isEmpty());
        QVERIFY(image->block(-1).isEmpty());
    }

    void blocksStartAfterTheHeader() {
        QByteArray bytes(64, '\0');
        bytes.append(QByteArray(128, 'a'));
        bytes.append(QByteArray(128, 'b'));
        const auto image = CriImage::fromBytes(bytes);
        QVERIFY(image);
        QCOMPARE(image->block(0), QByteArray(128, 'a'));
        QCOMPARE(image->block(1), QByteArray(128, 'b'));
        QCOMPARE(CriImage::blockAddress(0), 0x4000u);
        QCOMPARE(CriImage::blockAddress(160), 0x9000u);
        QCOMPARE(CriImage::blockAddress(148), 0x8A00u);
    }

    void optionBytesComeFromHeaderBytes19To22() {
        QByteArray header(64, '\0');
        header[18] = '\x01';
        header[19] = '\xA1';
        header[20] = '\xB2';
        header[21] = '\xC3';
        header[22] = '\xD4';
        header[23] = '\x02';
        const auto image = CriImage::fromBytes(header);
        QVERIFY(image);
        QCOMPARE(image->optionByte(0), quint8(0xA1));
        QCOMPARE(image->optionByte(1), quint8(0xB2));
        QCOMPARE(image->optionByte(2), quint8(0xC3));
        QCOMPARE(image->optionByte(3), quint8(0xD4));
        QCOMPARE(CriImage::optionByteAddress(0), 0x4803u);
        QCOMPARE(CriImage::optionByteAddress(3), 0x4809u);
    }

    void refusals_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("size"); // -1: no file at all, -2: a directory
        QTest::addColumn<QString>("expectedStart");
        QTest::addColumn<QString>("expectedEnd");
        QTest::newRow("missing") << "missing.cri" << -1 << "Не удалось прочитать файл "
                                 << "";
        QTest::newRow("directory") << "sub.cri" << -2 << "Не удалось прочитать файл "
                                   << "";
        QTest::newRow("empty") << "empty.cri" << 0 << "Файл "
                               << " короче заголовка (64 байта).";
        QTest::newRow("63 bytes") << "short.cri" << 63 << "Файл "
                                  << " короче заголовка (64 байта).";
        QTest::newRow("too large") << "huge.cri" << int(CriImage::MaxFileSize + 1) << "Файл "
                                   << " слишком велик для прошивки.";
    }
    void refusals() {
        QFETCH(QString, name);
        QFETCH(int, size);
        QFETCH(QString, expectedStart);
        QFETCH(QString, expectedEnd);
        QString path = dir.filePath(name);
        if (size == -2)
            QVERIFY(QDir(dir.path()).mkpath(name));
        else if (size >= 0)
            path = writeFile(name, QByteArray(size, '\x23'));
        QString error;
        QVERIFY(!CriImage::load(path, &error));
        QCOMPARE(error, expectedStart + path + expectedEnd);
    }

    void largestAcceptedFileLoads() {
        const QString path =
            writeFile(QStringLiteral("max.cri"), QByteArray(int(CriImage::MaxFileSize), '\x23'));
        const auto image = CriImage::load(path);
        QVERIFY(image);
        QCOMPARE(image->bytes().size(), CriImage::MaxFileSize);
    }
};

QTEST_GUILESS_MAIN(TstCriImage)
#include "tst_cri_image.moc"
