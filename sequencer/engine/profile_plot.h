// The picture of a speed profile as plain shapes, and its SVG form.
//
// The layout is done once here, without any drawing library, so the preview
// window, the PNG and the SVG of `kinemo-cli plot` show the same picture: a
// painter only has to draw rectangles, polygons, lines and texts in order.
//
// Layout from top to bottom: the title, a strip with each movement's number,
// name and length, one lane per motor M1-M4 (the share of on-ticks over
// the run, to the right upwards and to the left downwards, +-100 % at the
// lane's edges), and two axes: ticks and seconds at 320 ticks per second.
// Movement boundaries cross all lanes; an open end is dashed. Limit marks sit
// in their motor's lane; texts are left out where the movement is too narrow.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sequencer/engine/speed_profile.h"

namespace kinemo::engine {

struct PlotColor {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const PlotColor&) const = default;
};

struct PlotPoint {
    double x = 0, y = 0;
};

struct PlotRect {
    double x = 0, y = 0, w = 0, h = 0;
    PlotColor fill;
};

// A closed, filled polygon with an outline.
struct PlotPolygon {
    std::vector<PlotPoint> points;
    PlotColor fill;
    PlotColor stroke;
};

struct PlotLine {
    PlotPoint from, to;
    PlotColor color;
    double width = 1;
    bool dashed = false;
};

enum class TextAnchor : std::uint8_t { kStart, kMiddle, kEnd };

struct PlotText {
    PlotPoint at;      // baseline point
    std::string text;  // UTF-8
    PlotColor color;
    double size = 11;  // pixels
    TextAnchor anchor = TextAnchor::kStart;
    bool bold = false;
};

// Where one motor's lane lies, for tests and painters.
struct PlotLane {
    double top = 0, bottom = 0;  // +100 % (right) at top, -100 % (left) at bottom
    double Zero() const { return (top + bottom) / 2; }
};

// Drawn in this order: rects, polygons, lines, texts.
struct PlotScene {
    double width = 0, height = 0;
    double plotLeft = 0, plotRight = 0;  // x of tick 0 and of the run's end
    std::vector<PlotLane> lanes;
    std::vector<PlotRect> rects;
    std::vector<PlotPolygon> polygons;  // one per motor, M1 first
    std::vector<PlotLine> lines;
    std::vector<PlotText> texts;
};

struct PlotOptions {
    double width = 1200;  // pixels; the height follows from the layout
    std::string title;    // first line, e.g. the file name (UTF-8)
};

// Names in records use one byte per character (Latin-1); control characters,
// which no text may hold, become "?".
std::string Latin1ToUtf8(std::string_view text);

// "0,39 s": seconds at the line limit, with a decimal comma.
std::string SecondsText(double seconds);

PlotScene BuildPlotScene(const SpeedProfile& profile, const PlotOptions& options = {});

// A complete SVG document of the scene.
std::string SceneToSvg(const PlotScene& scene);

}  // namespace kinemo::engine
