// What the level chart window costs: the real main window polls the simulated
// sensor once a second (realistic line timing) for a while without the chart
// window, then as long again with the window open and drawing every answer.
// The process's CPU time over each stretch comes from /proc/self/stat, so the
// first figure is the baseline and the difference is the chart's. Before
// both, a minute of ticks ten times a second fills the chart's history with
// some 600 answers, so that the chart draws as many points as it holds in
// its ten minutes (the answers are collected with the window closed, too).
//
//   QT_QPA_PLATFORM=offscreen build/bin/bench_chart [seconds]   (60 by default)
//   DISPLAY=:N build/bin/bench_chart [seconds]                  (a real X server)
#include "bench_window.h"

#include <QPushButton>

namespace {

struct Stretch {
    double cpu = 0;
    double wallMs = 0;
    int answers = 0;
};

Stretch run(session::Session& session, int seconds) {
    int answers = 0;
    const auto c =
        QObject::connect(&session, &session::Session::dataReceived, [&answers] { ++answers; });
    QElapsedTimer wall;
    wall.start();
    const double before = cpuMs();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const Stretch s{cpuMs() - before, double(wall.elapsed()), answers};
    QObject::disconnect(c);
    return s;
}

void print(const char* what, const Stretch& s) {
    std::printf("%-28s: %d answers, CPU %.0f ms in %.1f s = %.3f %% of a core\n", what, s.answers,
                s.cpu, s.wallMs / 1000.0, 100.0 * s.cpu / s.wallMs);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(5, QString::fromLocal8Bit(argv[1]).toInt()) : 60;
    BenchWindow bench({1});
    control<QPushButton>(bench.w.get(), "Opros")->click();
    run(bench.session, 5); // the sensor is found and answers once a second
    QTimer* tick = bench.session.tickTimer();
    tick->setInterval(100);
    const Stretch fill = run(bench.session, 60);
    tick->setInterval(1000);
    run(bench.session, 2);
    std::printf("history filled with        : %d answers\n", fill.answers);

    const Stretch without = run(bench.session, seconds);
    print("window, no chart", without);
    control<QPushButton>(bench.w.get(), "showChart")->click();
    run(bench.session, 2);
    const Stretch with = run(bench.session, seconds);
    print("window and chart drawing", with);
    const double added = 100.0 * (with.cpu / with.wallMs - without.cpu / without.wallMs);
    std::printf("added by the chart          : %.3f %% of a core (goal < 0.5 %%: %s)\n", added,
                added < 0.5 ? "met" : "MISSED");
    return 0;
}
