// velka, the navigator. Its own options come first and begin with "--";
// everything after them is the program's command line ("/Start", a map
// file, or "-D" with an atlas index), joined into one string.
#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QMessageBox>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/composition_root.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "shell/file_types.h"
#include "shell/resources.h"

namespace {

void PrintUsage() {
    std::printf(
        "Usage: velka [--screenshot FILE.png [--screenshot-delay MS]] [/Start | MAP-FILE | -D ATLAS-INDEX]\n"
        "The Velka GPS navigator: shows a map (.zem, .img) or an atlas (-D Index.zidx),\n"
        "follows a GPS receiver on a serial port or through gpsd, records tracks.\n"
        "A second start hands its command line to the running navigator.\n"
        "\n"
        "Options:\n"
        "  --screenshot FILE.png  save a picture of the window shortly after start, then exit\n"
        "  --screenshot-delay MS  wait this long before the screenshot (default: shortly)\n"
        "  --help                 show this help and exit\n"
        "  --version              show the version and exit\n"
        "  /Start                 start again beside a running navigator (a restart)\n");
}

} // namespace

int main(int argc, char** argv) {
    velka::GetTickCount(); // the start tick counts from here
    std::vector<std::string> args(argv + 1, argv + argc);

    // A fault report box, shown by a crashed instance through a new process.
    if (args.size() == 3 && args[0] == "--crash-report") {
        QApplication app(argc, argv);
        QMessageBox::critical(nullptr, QString::fromStdString(args[1]), QString::fromStdString(args[2]));
        return 0;
    }

    std::string strScreenshot;
    int msScreenshot = 700;
    std::size_t i = 0;
    for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
        if (args[i] == "--screenshot" && i + 1 < args.size()) {
            strScreenshot = args[++i];
        } else if (args[i] == "--screenshot-delay" && i + 1 < args.size()) {
            // Milliseconds after start-up, e.g. a few fixes into the demo drive.
            msScreenshot = std::clamp(std::atoi(args[++i].c_str()), 0, 600000);
        } else if (args[i] == "--help") {
            PrintUsage();
            return 0;
        } else if (args[i] == "--version") {
            std::printf("velka %s\n", velka::ToUtf8(velka::c_szVersion).c_str());
            return 0;
        } else {
            std::fprintf(stderr, "velka: unknown option %s\n", args[i].c_str());
            PrintUsage();
            return 2;
        }
    }
    std::string strCmdLine;
    for (std::size_t k = i; k < args.size(); ++k) {
        // "-D" and the atlas path as two arguments are one "-D<path>".
        if (k > i && args[k - 1] != "-D") strCmdLine += ' ';
        strCmdLine += args[k];
    }

    QGuiApplication::setDesktopFileName(QStringLiteral("velka"));
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QString::fromStdString(velka::FindDataFile(velka::c_szIconFile))));

    return velka::RunNavigator({strCmdLine, strScreenshot, msScreenshot});
}
