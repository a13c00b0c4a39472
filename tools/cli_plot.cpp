// kinemo-cli plot FILE.kmo --out PICTURE.svg|PICTURE.png [--movement I] [--width PIXELS]
//
// Computes the list (or movement I alone, as "Bewegung Testen" does) exactly
// as before a run and draws the speed profile of its rows, the same picture as
// the sequencer's "Vorschau" window. SVG is written without any drawing
// library; PNG is drawn with the window's painter on the offscreen platform,
// so no display is needed. The picture replaces PICTURE only once it is
// complete (a temporary file in the same folder, then a rename).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "sequencer/engine/profile_plot.h"
#include "sequencer/engine/speed_profile.h"
#include "tools/cli_args.h"
#include "tools/cli_command.h"
#include "tools/cli_program.h"

#ifdef KINEMO_CLI_HAVE_PNG
#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QString>

#include "sequencer/ui/preview_painter.h"
#endif

namespace kinemo::cli {
namespace {

enum class PictureKind { kSvg, kPng };

PictureKind KindOf(const std::string& path) {
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto endsWith = [&lower](const char* suffix) {
        const std::string s = suffix;
        return lower.size() > s.size() && lower.compare(lower.size() - s.size(), s.size(), s) == 0;
    };
    if (endsWith(".svg")) {
        return PictureKind::kSvg;
    }
    if (endsWith(".png")) {
        return PictureKind::kPng;
    }
    throw CliFailure("--out " + path + ": das Bild muss auf .svg oder .png enden");
}

// True for valid UTF-8 without control characters.
bool IsCleanUtf8(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        const int follow = c < 0x80           ? 0
                           : (c >> 5) == 0x6  ? 1
                           : (c >> 4) == 0xE  ? 2
                           : (c >> 3) == 0x1E ? 3
                                              : -1;
        if (follow < 0 || c < 0x20 || c == 0x7F ||
            i + static_cast<std::size_t>(follow) >= text.size() + (follow == 0 ? 1 : 0)) {
            return false;
        }
        for (int k = 1; k <= follow; ++k) {
            if ((static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0xC0) !=
                0x80) {
                return false;
            }
        }
        i += static_cast<std::size_t>(follow) + 1;
    }
    return true;
}

// The file's name as the picture's title; a name that is not clean UTF-8 is
// read as one byte per character.
std::string TitleText(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return IsCleanUtf8(name) ? name : engine::Latin1ToUtf8(name);
}

std::string RenderPng(const engine::PlotScene& scene) {
#ifdef KINEMO_CLI_HAVE_PNG
    // Fonts need an application object; the offscreen platform needs no display.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "kinemo-cli";
    static char* argv[] = {name, nullptr};
    // Qt's notes about its runtime folder mean nothing for a picture.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg && type != QtInfoMsg && !text.startsWith("QStandardPaths:")) {
            std::fprintf(stderr, "kinemo-cli: %s\n", text.toLocal8Bit().constData());
        }
    });
    const std::unique_ptr<QGuiApplication> app = QGuiApplication::instance() == nullptr
                                                     ? std::make_unique<QGuiApplication>(argc, argv)
                                                     : nullptr;
    const QImage image = ui::RenderPlotScene(scene);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        throw std::runtime_error("PNG kann nicht erzeugt werden");
    }
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
#else
    (void)scene;
    throw CliFailure("PNG gibt es nur in einem Build mit Fenstern; SVG geht immer");
#endif
}

// Writes the bytes beside `path` and renames them over it.
void WriteReplacing(const std::string& path, const std::string& bytes) {
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        throw CliFailure(path + ": Datei kann nicht angelegt werden");
    }
    // mkstemp creates the file for its owner only; a picture gets the usual mode.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    bool ok = ::fchmod(fd, 0666 & ~mask) == 0;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        ok = n > 0 || (n < 0 && errno == EINTR);
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        throw CliFailure(path + ": Datei kann nicht geschrieben werden");
    }
}

}  // namespace

PlotRequest ParsePlotArgs(CommandArgs args) {
    const ParsedArgs parsed(args, {{"--out", true}, {"--movement", true}, {"--width", true}});
    PlotRequest request;
    request.path = parsed.Positional({"DATEI.kmo"})[0];
    const std::optional<std::string> picture = parsed.Value("--out");
    if (!picture || picture->empty()) {
        throw CliFailure("Option --out BILD.svg oder BILD.png fehlt");
    }
    request.out = *picture;
    request.png = KindOf(*picture) == PictureKind::kPng;
    if (parsed.Has("--width")) {
        request.width =
            static_cast<int>(ParseInteger(*parsed.Value("--width"), 400, 20000, "--width"));
    }
    request.movement = parsed.Value("--movement");
    return request;
}

int RunCommand(const PlotRequest& request, std::FILE* out) {
    const std::string& path = request.path;
    const PictureKind kind = request.png ? PictureKind::kPng : PictureKind::kSvg;
    engine::PlotOptions options;
    if (request.width) {
        options.width = static_cast<double>(*request.width);
    }
    const engine::ProgramContents contents = LoadProgramOrFail(path);
    const auto lastIndex = static_cast<std::int64_t>(contents.records.size()) - 1;
    int first = 0;
    int last = static_cast<int>(lastIndex);
    if (request.movement) {
        first = last =
            static_cast<int>(ParseInteger(*request.movement, 0, lastIndex, "--movement"));
    }

    auto list = std::make_unique<engine::MovementList>();
    engine::RunSettingsValues settings;
    FillList(contents, *list, settings);
    auto timeline = std::make_unique<engine::Timeline>();
    std::FILE* sink = std::fopen("/dev/null", "w");
    engine::ComputeTimeline(*list, first, last, *timeline, sink != nullptr ? sink : stderr);
    if (sink != nullptr) {
        std::fclose(sink);
    }
    const engine::SpeedProfile profile = engine::BuildSpeedProfile(*timeline, *list, first, last);
    options.title = TitleText(path);
    if (request.movement) {
        options.title += ", Bewegung " + std::to_string(first);
    }
    const engine::PlotScene scene = engine::BuildPlotScene(profile, options);
    WriteReplacing(request.out,
                   kind == PictureKind::kSvg ? engine::SceneToSvg(scene) : RenderPng(scene));
    const std::size_t count = profile.movements.size();
    const std::string seconds =
        engine::SecondsText(static_cast<double>(profile.totalTicks) / engine::kLineTicksPerSecond);
    std::fprintf(
        out, "%s: %zu %s, %" PRIu64 " Ticks = %s bei 320 Ticks/s, Fenster %" PRIu32 " %s\n",
        request.out.c_str(), count, count == 1 ? "Bewegung" : "Bewegungen", profile.totalTicks,
        seconds.c_str(), profile.windowTicks, profile.windowTicks == 1 ? "Tick" : "Ticks");
    return kExitOk;
}

}  // namespace kinemo::cli
