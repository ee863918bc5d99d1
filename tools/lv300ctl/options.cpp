#include "options.h"

namespace ctl {

namespace {

const QSet<QString> ValueOptions{
    QStringLiteral("--port"),      QStringLiteral("--address"), QStringLiteral("--timeout"),
    QStringLiteral("-o"),          QStringLiteral("--count"),   QStringLiteral("--interval"),
    QStringLiteral("--smoothing"), QStringLiteral("--value"),   QStringLiteral("--only"),
    QStringLiteral("--from"),      QStringLiteral("--vehicle"), QStringLiteral("--tank"),
    QStringLiteral("--by"),        QStringLiteral("--baud")};
const QSet<QString> CommandFlags{QStringLiteral("--invert"), QStringLiteral("--range4096"),
                                 QStringLiteral("--litres"), QStringLiteral("--percent"),
                                 QStringLiteral("--csv"),    QStringLiteral("--write-code"),
                                 QStringLiteral("--lv200"),  QStringLiteral("--reset-calibration"),
                                 QStringLiteral("--verify")};

// A negative number is a word, not an option ("shift-empty -20").
bool isNumberWord(const QString& a) {
    bool ok = false;
    a.toDouble(&ok);
    return ok;
}

} // namespace

Parsed parseArguments(const QStringList& arguments) {
    Options o;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString a = arguments.at(i);
        if (!a.startsWith(u'-') || a == QLatin1String("-") || isNumberWord(a)) {
            o.words << a;
            continue;
        }
        if (a == QLatin1String("--")) {
            o.words << arguments.mid(i + 1);
            break;
        }
        QString value;
        bool hasValue = false;
        if (a.startsWith(QLatin1String("--")) && a.contains(u'=')) {
            value = a.section(u'=', 1);
            a = a.section(u'=', 0, 0);
            hasValue = true;
        }
        if (ValueOptions.contains(a)) {
            if (!hasValue) {
                if (i + 1 >= arguments.size())
                    return {std::nullopt, a + QStringLiteral(" needs a value")};
                value = arguments.at(++i);
            }
            if (a == QLatin1String("--port")) {
                o.port = value;
            } else if (a == QLatin1String("--address")) {
                o.addressText = value;
            } else if (a == QLatin1String("--timeout")) {
                bool ok = false;
                o.timeoutMs = value.toInt(&ok);
                if (!ok || o.timeoutMs < 1 || o.timeoutMs > 60000)
                    return {std::nullopt, QStringLiteral("--timeout is 1..60000 ms")};
            } else {
                o.values.insert(a, value);
            }
            continue;
        }
        if (hasValue)
            return {std::nullopt, a + QStringLiteral(" takes no value")};
        if (a == QLatin1String("--json"))
            o.json = true;
        else if (a == QLatin1String("--yes") || a == QLatin1String("-y"))
            o.yes = true;
        else if (a == QLatin1String("--log"))
            o.log = true;
        else if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            o.help = true;
        else if (a == QLatin1String("--version"))
            o.version = true;
        else if (CommandFlags.contains(a))
            o.flags.insert(a);
        else
            return {std::nullopt, QStringLiteral("unknown option ") + a};
    }
    return {o, {}};
}

namespace {
#if defined(_WIN32)
const QString PortExample = QStringLiteral("COM5");
const QString UserLogFolder = QStringLiteral("%LOCALAPPDATA%\\lv300-configurator\\log");
#else
const QString PortExample = QStringLiteral("ttyUSB0");
const QString UserLogFolder = QStringLiteral("~/.local/share/lv300-configurator/log");
#endif
} // namespace

QString helpText() {
    const QString text = QStringLiteral(
        "usage: lv300ctl [global options] COMMAND [arguments]\n"
        "\n"
        "Global options:\n"
        "  --port PATH     serial port (a name such as %1 or a path); 'sim' is the\n"
        "                  built-in simulator (sensors 1 and 5, 19200-baud timing)\n"
        "  --address N     sensor address, default 1\n"
        "  --json          one JSON object per line on stdout\n"
        "  --timeout MS    time to wait for each answer, default 1000\n"
        "  --yes           answer every question of an operation with Yes\n"
        "  --log           append the exchange to a work log, as the configurator\n"
        "                  keeps one (log/ddmmyyyy_hhmmss.log beside the program, or\n"
        "                  in %2)\n"
        "  --help, --version\n"
        "\n"
        "Commands:\n"
        "  ports                      the serial ports the configurator would list\n"
        "  scan                       network poll: the addresses that answer\n"
        "  info                       identity and one data answer\n"
        "  watch [--count N] [--interval S] [--csv]\n"
        "                             data answers repeatedly (Ctrl-C stops)\n"
        "  set-empty, set-full        set empty/full to the current reading\n"
        "  shift-empty D, shift-full D\n"
        "                             shift empty/full by D (-1000..1000)\n"
        "  empty V, full V            set empty/full directly\n"
        "  mode rs485|analog|frequency|periodic|periodic-rs485\n"
        "       [--invert] [--range4096] [--smoothing N] [--litres] [--percent]\n"
        "                             the operating mode (smoothing kept unless given)\n"
        "  address NEW                new network address\n"
        "  lamp PERCENT               low-fuel lamp threshold (1..99)\n"
        "  password enter P           enter the access password\n"
        "  password set NEW           change the access password\n"
        "  table read [-o FILE.lv3]   read the 20-point table (and save it)\n"
        "  table write FILE.lv3       write the table from a file, then the mode\n"
        "  table fit FILE.trr [-o TABLE.lv3]\n"
        "                             the 20-point table fitted to a calibration's\n"
        "                             captures, with its largest deviation (no port)\n"
        "  table export FILE.csv [--from TABLE.lv3|CAL.trr]\n"
        "                             level;litres pairs for a monitoring server: the\n"
        "                             sensor's table, a table file or a calibration\n"
        "  table import FILE.csv -o TABLE.lv3\n"
        "                             a server's pairs into a table file (fitted to 20\n"
        "                             points when there are more; no port)\n"
        "  table report FILE.pdf [--from TABLE.lv3|CAL.trr] [--vehicle T] [--tank T] [--by T]\n"
        "                             the calibration protocol in PDF; with --port the\n"
        "                             sensor's serial number, version, address and\n"
        "                             levels (and its table without --from)\n"
        "  gateway ITEM [--value V] [--write-code] [mode words]\n"
        "                             print a remote-command line; ITEM is 0..8 or\n"
        "                             enter-password, status, serial-version,\n"
        "                             shift-full, shift-empty, full, empty, mode,\n"
        "                             set-password (--address is the remote sensor)\n"
        "  profile save FILE          the sensor's whole setup into a profile file\n"
        "  profile apply FILE [--only modes,levels,table,address]\n"
        "                             apply a profile (default: modes and table),\n"
        "                             then read it back; exit 1 when it differs\n"
        "  flash FILE.cri [--lv200] [--reset-calibration] [--verify] [--baud N]\n"
        "                             firmware through the sensor's bootloader: switch\n"
        "                             the sensor off and on when asked; progress on\n"
        "                             stderr; --verify reads every block back first;\n"
        "                             --baud 57600 or 115200 flashes faster\n"
        "  replay FILE                decode the answers recorded in a work log\n"
        "\n"
        "Exit codes: 0 done; 1 no answer or a bad answer; 2 wrong usage;\n"
        "3 refused by the sensor (password); 4 file error; 5 port error;\n"
        "130 cancelled (Ctrl-C).\n");
    return text.arg(PortExample, UserLogFolder);
}

} // namespace ctl
