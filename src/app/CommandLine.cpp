#include "CommandLine.h"

#include "lens/Lens.h"
#include "send/SendLine.h"

namespace ini {

CommandLine xfunCommandLine(const QStringList& args) {
    CommandLine cl;
    auto fail = [&cl](const QString& why) {
        cl.action = CommandLine::Action::Error;
        cl.error = why;
        return cl;
    };
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (!optionsEnded && arg.startsWith(u'-') && arg.size() > 1) {
            if (arg == QStringLiteral("--")) {
                optionsEnded = true;
            } else if (arg == QStringLiteral("--help") || arg == QStringLiteral("-h")) {
                cl.action = CommandLine::Action::Help;
                return cl;
            } else if (arg == QStringLiteral("--version")) {
                cl.action = CommandLine::Action::Version;
                return cl;
            } else if (arg == QStringLiteral("--port") ||
                       arg.startsWith(QStringLiteral("--port="))) {
                const bool joined = arg.contains(u'=');
                if (!joined && i + 1 >= args.size())
                    return fail(QStringLiteral("--port needs a port name"));
                cl.port = joined ? arg.section(u'=', 1) : args[++i];
                if (cl.port.isEmpty()) return fail(QStringLiteral("--port needs a port name"));
            } else if (arg == QStringLiteral("--lens") ||
                       arg.startsWith(QStringLiteral("--lens="))) {
                const bool joined = arg.contains(u'=');
                if (!joined && i + 1 >= args.size())
                    return fail(QStringLiteral("--lens needs a data format"));
                cl.lens = joined ? arg.section(u'=', 1) : args[++i];
                std::string why;
                if (!lens::parseFormat(cl.lens.toStdString(), &why))
                    return fail(QStringLiteral("--lens '%1': %2")
                                    .arg(cl.lens, QString::fromStdString(why)));
            } else if (arg == QStringLiteral("--send") ||
                       arg.startsWith(QStringLiteral("--send="))) {
                const bool joined = arg.contains(u'=');
                if (!joined && i + 1 >= args.size())
                    return fail(QStringLiteral("--send needs the text to send"));
                const SendBytes b = xfunSendBytes(joined ? arg.section(u'=', 1) : args[++i],
                                                  EntryMode::Text, LineEnding::None);
                if (!b.ok()) return fail(QStringLiteral("--send: ") + b.error);
                cl.send = b.bytes;
            } else {
                return fail(QStringLiteral("unknown option '%1'").arg(arg));
            }
        } else if (cl.file.isEmpty()) {
            cl.file = arg;
        } else {
            return fail(QStringLiteral("one data file at a time: '%1' and '%2'").arg(cl.file, arg));
        }
    }
    return cl;
}

QString xfunHelpText() {
    return QStringLiteral(
        "Usage: tessavue [--port NAME] [--lens FORMAT] [--send TEXT] [FILE]\n"
        "\n"
        "A serial-line monitor: every byte that arrives on a serial port is one point of a\n"
        "strip chart.\n"
        "\n"
        "  FILE           show this data file (one byte per sample) in the File view\n"
        "  --port NAME    start on this port for this run: COM1..COM4 (/dev/ttyS0..3), a\n"
        "                 device path such as /dev/ttyUSB0, or a serial port on the network:\n"
        "                 rfc2217://HOST:PORT (a ser2net telnet(rfc2217) port) or\n"
        "                 tcp://HOST:PORT (bytes only), HOST an IPv6 address in [ ]; the\n"
        "                 saved port stays until another one is chosen in the program\n"
        "  --lens FORMAT  see the stream as numbers for this run: text (numbers in text\n"
        "                 lines, label:value), bin i16le*4 (binary fields), byte (one byte\n"
        "                 a sample, the default); the choice made in the program is kept\n"
        "                 in Tessavue.ini beside the settings file\n"
        "  --send TEXT    send TEXT once the port is open; \\r \\n \\t \\\\ and \\xNN\n"
        "                 stand for CR, LF, tab, a backslash and the byte NN (hex)\n"
        "  -h, --help     show this help and exit\n"
        "  --version      show the version and exit\n"
        "\n"
        "Settings are kept in Tessavue.OVR beside the program when it may write there,\n"
        "else in $XDG_CONFIG_HOME/tessavue/Tessavue.OVR (~/.config/tessavue). One copy of\n"
        "the program runs per settings file. See tessavue(1).\n");
}

QString xfunVersionText() {
    return QStringLiteral("tessavue " TESSAVUE_VERSION "\n");
}

} // namespace ini
