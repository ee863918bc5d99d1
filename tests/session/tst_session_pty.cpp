// The session on a real serial device: a pseudo-terminal whose other end the
// test drives as a busy RS-485 line would.
#include "link/serial_port.h"
#include "session/session.h"
#include "support/scripted_dialog.h"
#include "test_support.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

class TestSessionPty : public QObject {
    Q_OBJECT
private slots:
    void answerAfterALongStreamIsTakenAtOnce();
};

void TestSessionPty::answerAfterALongStreamIsTakenAtOnce() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(master >= 0);
    QVERIFY(grantpt(master) == 0 && unlockpt(master) == 0);
    const QString slave = QString::fromLocal8Bit(ptsname(master));

    ScriptedDialog dialog;
    session::Session s;
    s.setDialog(&dialog);
    auto port = std::make_unique<SerialPort>();
    QVERIFY(port->open(slave));
    s.attachPort(std::move(port));
    s.setSelectedAddress(1, QStringLiteral("1"));
    s.requestIdentity();
    s.receive(testsupport::answer(1, 0xFC, QByteArray::fromHex("40E20100B001")));
    s.setPending({});
    QString status;
    connect(&s, &session::Session::statusChanged, [&](const QString& t) { status = t; });

    // Another station talks for 3 s at the full line rate (about 1,900 bytes
    // a second) while the session ticks twice a second.
    QTimer stream;
    qint64 streamed = 0;
    const QByteArray chunk(40, char(0x55));
    connect(&stream, &QTimer::timeout, [&] {
        const ssize_t n = ::write(master, chunk.constData(), size_t(chunk.size()));
        if (n > 0)
            streamed += n;
    });
    stream.start(20);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 3000) {
        QTest::qWait(500);
        s.tick();
    }
    stream.stop();
    QTest::qWait(100); // the last of the stream arrives and is dropped
    s.tick();
    QVERIFY(streamed > 4000);
    QVERIFY2(s.noiseBytes() > streamed / 2, qPrintable(QString::number(s.noiseBytes())));

    // The sensor answers: the very next tick shows it.
    const QByteArray reply = testsupport::answer(1, 0xF8);
    QCOMPARE(::write(master, reply.constData(), size_t(reply.size())), ssize_t(reply.size()));
    QTest::qWait(100);
    s.tick();
    QCOMPARE(status, QStringLiteral("Пароль принят."));
    s.detachPort();
    ::close(master);
}

QTEST_GUILESS_MAIN(TestSessionPty)
#include "tst_session_pty.moc"
