#include "sequencer/engine/profile_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <utility>

namespace kinemo::engine {
namespace {

// Layout in pixels.
constexpr double kMarginLeft = 70;
constexpr double kMarginRight = 20;
constexpr double kTitleHeight = 28;
constexpr double kStripHeight = 36;
constexpr double kLaneHeight = 110;
constexpr double kLaneGap = 12;
constexpr double kAxisHeight = 58;
constexpr double kTextSize = 11;
constexpr double kCharWidth = 0.6;    // average glyph width per pixel of size
constexpr double kMinLabelGap = 90;   // pixels between axis labels
constexpr double kMinMarkSpace = 70;  // a movement narrower than this shows no mark texts
constexpr double kMinNameSpace = 24;

constexpr PlotColor kBackground{255, 255, 255};
constexpr PlotColor kLaneFill{246, 246, 246};
constexpr PlotColor kGrid{200, 200, 200};
constexpr PlotColor kText{30, 30, 30};
constexpr PlotColor kBoundary{90, 90, 90};
constexpr PlotColor kLimit{200, 30, 30};
constexpr PlotColor kInputLimit{20, 110, 170};
constexpr PlotColor kMotorStroke[kMotorCount] = {
    {31, 90, 170}, {210, 110, 10}, {40, 140, 60}, {130, 60, 150}};
constexpr PlotColor kMotorFill[kMotorCount] = {
    {170, 200, 240}, {250, 210, 160}, {180, 225, 185}, {215, 190, 225}};

std::size_t CodePoints(const std::string& text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

double TextWidth(const std::string& text, double size) {
    return static_cast<double>(CodePoints(text)) * size * kCharWidth;
}

// The text cut to fit `width`, with an ellipsis; empty when not even a few
// characters fit.
std::string FitText(const std::string& text, double width, double size) {
    if (TextWidth(text, size) <= width) {
        return text;
    }
    const auto room = static_cast<std::size_t>(width / (size * kCharWidth));
    if (room < 4) {
        return {};
    }
    std::string out;
    std::size_t points = 0;
    for (const char c : text) {
        const bool lead = (c & 0xC0) != 0x80;
        if (lead && ++points > room - 1) {
            break;
        }
        out += c;
    }
    return out + "\u2026";
}

// 1, 2 or 5 times a power of ten, at least `raw`.
double NiceStep(double raw) {
    if (!(raw > 0)) {
        return 1;
    }
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (factor * magnitude >= raw * (1 - 1e-9)) {
            return factor * magnitude;
        }
    }
    return 10 * magnitude;
}

std::string FormatDecimal(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string text = buffer;
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

std::string TicksText(std::uint64_t ticks) {
    return std::to_string(ticks) + (ticks == 1 ? " Tick" : " Ticks");
}

class SceneBuilder {
  public:
    SceneBuilder(const SpeedProfile& profile, const PlotOptions& options)
        : profile_(profile), options_(options) {}

    PlotScene Build() {
        scene_.width = std::max(options_.width, kMarginLeft + kMarginRight + 100);
        scene_.plotLeft = kMarginLeft;
        scene_.plotRight = scene_.width - kMarginRight;
        const double lanesTop = kTitleHeight + kStripHeight;
        for (int m = 0; m < kMotorCount; ++m) {
            const double top = lanesTop + m * (kLaneHeight + kLaneGap);
            scene_.lanes.push_back({top, top + kLaneHeight});
        }
        const double lanesBottom = scene_.lanes.back().bottom;
        scene_.height = lanesBottom + kAxisHeight;
        scene_.rects.push_back({0, 0, scene_.width, scene_.height, kBackground});

        AddTitle();
        AddLanes();
        AddMotorPolygons();
        AddMovements(lanesTop - kStripHeight, lanesBottom);
        AddMarks();
        AddAxes(lanesBottom);
        return std::move(scene_);
    }

  private:
    double X(std::uint64_t tick) const {
        if (profile_.totalTicks == 0) {
            return scene_.plotLeft;
        }
        return scene_.plotLeft +
               (scene_.plotRight - scene_.plotLeft) *
                   (static_cast<double>(tick) / static_cast<double>(profile_.totalTicks));
    }

    void Text(double x, double y, std::string text, double size = kTextSize,
              TextAnchor anchor = TextAnchor::kStart, PlotColor color = kText, bool bold = false) {
        if (!text.empty()) {
            scene_.texts.push_back({{x, y}, std::move(text), color, size, anchor, bold});
        }
    }

    void AddTitle() {
        std::string summary =
            std::to_string(profile_.movements.size()) +
            (profile_.movements.size() == 1 ? " Bewegung, " : " Bewegungen, ") +
            TicksText(profile_.totalTicks) + " = " +
            SecondsText(static_cast<double>(profile_.totalTicks) / kLineTicksPerSecond) +
            " bei 320 Ticks/s";
        if (std::any_of(profile_.movements.begin(), profile_.movements.end(),
                        [](const ProfileMovement& m) { return m.open; })) {
            summary += ", offene Enden gestrichelt";
        }
        summary += "; Fenster " + TicksText(profile_.windowTicks);
        std::string line = options_.title.empty() ? summary : options_.title + " \u2013 " + summary;
        Text(8, 18, FitText(line, scene_.width - 16, 13), 13, TextAnchor::kStart, kText, true);
    }

    void AddLanes() {
        static const char* const kNames[kMotorCount] = {"M1", "M2", "M3", "M4"};
        for (int m = 0; m < kMotorCount; ++m) {
            const PlotLane& lane = scene_.lanes[static_cast<std::size_t>(m)];
            scene_.rects.push_back({scene_.plotLeft, lane.top, scene_.plotRight - scene_.plotLeft,
                                    lane.bottom - lane.top, kLaneFill});
            scene_.lines.push_back(
                {{scene_.plotLeft, lane.Zero()}, {scene_.plotRight, lane.Zero()}, kGrid, 1, false});
            Text(8, lane.Zero() + 5, kNames[m], 14, TextAnchor::kStart, kMotorStroke[m], true);
            Text(kMarginLeft - 4, lane.top + 10, "rechts", 9, TextAnchor::kEnd);
            Text(kMarginLeft - 4, lane.bottom - 2, "links", 9, TextAnchor::kEnd);
            Text(kMarginLeft - 4, lane.top + 21, "100 %", 9, TextAnchor::kEnd);
            Text(kMarginLeft - 4, lane.bottom - 13, "100 %", 9, TextAnchor::kEnd);
        }
    }

    // A step curve of the signed share per window; equal neighbours merge.
    void AddMotorPolygons() {
        for (int m = 0; m < kMotorCount; ++m) {
            const PlotLane& lane = scene_.lanes[static_cast<std::size_t>(m)];
            const double zero = lane.Zero();
            const double half = (lane.bottom - lane.top) / 2;
            PlotPolygon polygon;
            polygon.fill = kMotorFill[m];
            polygon.stroke = kMotorStroke[m];
            polygon.points.reserve(2 * profile_.windows.size() + 2);
            polygon.points.push_back({scene_.plotLeft, zero});
            double lastY = zero;
            std::uint64_t tick = 0;
            for (const ProfileWindow& window : profile_.windows) {
                const double y = zero - window.SignedShare(m) * half;
                if (y != lastY) {
                    const double x = X(tick);
                    polygon.points.push_back({x, lastY});
                    polygon.points.push_back({x, y});
                    lastY = y;
                }
                tick += window.ticks;
            }
            polygon.points.push_back({scene_.plotRight, lastY});
            polygon.points.push_back({scene_.plotRight, zero});
            scene_.polygons.push_back(std::move(polygon));
        }
    }

    void AddMovements(double stripTop, double lanesBottom) {
        const std::size_t count = profile_.movements.size();
        for (std::size_t i = 0; i < count; ++i) {
            const ProfileMovement& movement = profile_.movements[i];
            const double x0 = X(movement.startTick);
            const double x1 = X(movement.startTick + movement.length);
            // The start of a movement is dashed when the one before had an open end.
            const bool dashed = i > 0 && profile_.movements[i - 1].open;
            scene_.lines.push_back({{x0, stripTop + 2}, {x0, lanesBottom}, kBoundary, 1, dashed});
            if (i + 1 == count) {
                scene_.lines.push_back(
                    {{x1, stripTop + 2}, {x1, lanesBottom}, kBoundary, 1, movement.open});
            }
            const double room = x1 - x0 - 6;
            if (room < kMinNameSpace) {
                continue;
            }
            Text(x0 + 3, stripTop + 14,
                 FitText(std::to_string(movement.record) + ": " + Latin1ToUtf8(movement.name), room,
                         kTextSize),
                 kTextSize, TextAnchor::kStart, kText, true);
            std::string length = movement.open
                                     ? "offen, " + TicksText(movement.length) + " gezeigt"
                                     : TicksText(movement.length) + " = " +
                                           SecondsText(movement.length / kLineTicksPerSecond);
            if (movement.rampLength != 0) {
                length += ", Beschl. " + TicksText(movement.rampLength);
            }
            Text(x0 + 3, stripTop + 29, FitText(length, room, 10), 10);
        }
    }

    void AddMarks() {
        for (const LimitMark& mark : profile_.marks) {
            const ProfileMovement& movement =
                profile_.movements[static_cast<std::size_t>(mark.movement)];
            if (movement.states[mark.motor] == pulse::kMotorOff) {
                continue;  // a motor that never runs has nothing to stop
            }
            const PlotLane& lane = scene_.lanes[static_cast<std::size_t>(mark.motor)];
            const double x = X(mark.tick);
            const double room = X(movement.startTick + movement.length) - X(movement.startTick);
            const bool texts = room >= kMinMarkSpace;
            if (mark.kind == LimitKind::kMaxDuration) {
                scene_.lines.push_back({{x, lane.top}, {x, lane.bottom}, kLimit, 2, false});
                if (texts) {
                    // Left of the line where it fits within its movement, so a
                    // mark near the first movement's start stays off the lane
                    // labels in the margin; right of it where there is more room.
                    std::string text = LimitMarkText(mark);
                    const double before = x - X(movement.startTick) - 6;
                    const double after = X(movement.startTick + movement.length) - x - 6;
                    if (TextWidth(text, 10) <= before || before >= after) {
                        Text(x - 3, lane.bottom - 4, FitText(text, before, 10), 10,
                             TextAnchor::kEnd, kLimit);
                    } else {
                        Text(x + 3, lane.bottom - 4, FitText(text, after, 10), 10,
                             TextAnchor::kStart, kLimit);
                    }
                }
                continue;
            }
            // Impulse and end-switch limits act from the start on; where they
            // strike is up to the model.
            const double row = mark.kind == LimitKind::kImpulses ? 0 : 1;
            const double y = lane.top + 4 + row * 13;
            scene_.lines.push_back({{x + 1, y}, {x + 1, y + 10}, kInputLimit, 3, false});
            if (texts) {
                Text(x + 6, y + 9, FitText(LimitMarkText(mark), room - 10, 10), 10,
                     TextAnchor::kStart, kInputLimit);
            }
        }
    }

    void AddAxes(double lanesBottom) {
        const double plotWidth = scene_.plotRight - scene_.plotLeft;
        const double ticksY = lanesBottom + 6;
        const double secondsY = lanesBottom + 32;
        Text(8, ticksY + 14, "Ticks", 10);
        Text(8, secondsY + 14, "Sekunden", 10);
        const double total = static_cast<double>(std::max<std::uint64_t>(profile_.totalTicks, 1));
        const double labels = std::max(1.0, plotWidth / kMinLabelGap);

        const double tickStep = std::max(1.0, NiceStep(total / labels));
        for (double t = 0; t <= total; t += tickStep) {
            const double x = X(static_cast<std::uint64_t>(t));
            scene_.lines.push_back({{x, ticksY}, {x, ticksY + 4}, kText, 1, false});
            Text(x, ticksY + 15, std::to_string(static_cast<std::uint64_t>(t)), 10,
                 TextAnchor::kMiddle);
        }
        const double seconds = total / kLineTicksPerSecond;
        const double secondStep = NiceStep(seconds / labels);
        const int decimals = secondStep >= 1 ? 0 : secondStep >= 0.1 ? 1 : 2;
        for (int k = 0; k * secondStep <= seconds * (1 + 1e-12); ++k) {
            const double s = k * secondStep;
            const double x = scene_.plotLeft + plotWidth * (s / seconds);
            scene_.lines.push_back({{x, secondsY}, {x, secondsY + 4}, kText, 1, false});
            Text(x, secondsY + 15, FormatDecimal(s, decimals), 10, TextAnchor::kMiddle);
        }
        scene_.lines.push_back(
            {{scene_.plotLeft, ticksY}, {scene_.plotRight, ticksY}, kText, 1, false});
        scene_.lines.push_back(
            {{scene_.plotLeft, secondsY}, {scene_.plotRight, secondsY}, kText, 1, false});
    }

    const SpeedProfile& profile_;
    const PlotOptions& options_;
    PlotScene scene_;
};

void AppendEscaped(std::string& out, const std::string& text) {
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
}

void AppendNumber(std::string& out, double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f", value);
    out += buffer;
}

void AppendColor(std::string& out, PlotColor color) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", color.r, color.g, color.b);
    out += buffer;
}

}  // namespace

std::string Latin1ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte < 0xA0)) {
            out += '?';
        } else if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

std::string SecondsText(double seconds) {
    return FormatDecimal(seconds, 2) + " s";
}

PlotScene BuildPlotScene(const SpeedProfile& profile, const PlotOptions& options) {
    return SceneBuilder(profile, options).Build();
}

std::string SceneToSvg(const PlotScene& scene) {
    std::string out;
    out.reserve(4096 + scene.polygons.size() * 16 * 1024 + scene.texts.size() * 128);
    // Appends name="value" for each pair of names and numbers.
    const auto numbers = [&out](std::initializer_list<std::pair<const char*, double>> attributes) {
        for (const auto& [name, value] : attributes) {
            out += ' ';
            out += name;
            out += "=\"";
            AppendNumber(out, value);
            out += '"';
        }
    };
    const auto color = [&out](const char* name, PlotColor value) {
        out += ' ';
        out += name;
        out += "=\"";
        AppendColor(out, value);
        out += '"';
    };
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\"";
    numbers({{"width", scene.width}, {"height", scene.height}});
    out += " viewBox=\"0 0 ";
    AppendNumber(out, scene.width);
    out += ' ';
    AppendNumber(out, scene.height);
    out += "\" font-family=\"sans-serif\">\n";
    for (const PlotRect& rect : scene.rects) {
        out += "<rect";
        numbers({{"x", rect.x}, {"y", rect.y}, {"width", rect.w}, {"height", rect.h}});
        color("fill", rect.fill);
        out += "/>\n";
    }
    for (const PlotPolygon& polygon : scene.polygons) {
        out += "<polygon";
        color("fill", polygon.fill);
        color("stroke", polygon.stroke);
        out += " stroke-width=\"1\" points=\"";
        for (const PlotPoint& point : polygon.points) {
            AppendNumber(out, point.x);
            out += ',';
            AppendNumber(out, point.y);
            out += ' ';
        }
        out += "\"/>\n";
    }
    for (const PlotLine& line : scene.lines) {
        out += "<line";
        numbers({{"x1", line.from.x},
                 {"y1", line.from.y},
                 {"x2", line.to.x},
                 {"y2", line.to.y},
                 {"stroke-width", line.width}});
        color("stroke", line.color);
        out += line.dashed ? " stroke-dasharray=\"4 3\"/>\n" : "/>\n";
    }
    for (const PlotText& text : scene.texts) {
        out += "<text";
        numbers({{"x", text.at.x}, {"y", text.at.y}, {"font-size", text.size}});
        color("fill", text.color);
        if (text.bold) {
            out += " font-weight=\"bold\"";
        }
        if (text.anchor == TextAnchor::kMiddle) {
            out += " text-anchor=\"middle\"";
        } else if (text.anchor == TextAnchor::kEnd) {
            out += " text-anchor=\"end\"";
        }
        out += '>';
        AppendEscaped(out, text.text);
        out += "</text>\n";
    }
    out += "</svg>\n";
    return out;
}

}  // namespace kinemo::engine
