// Draws a speed-profile picture with QPainter: in the preview window and into
// the PNG of `kinemo-cli plot`. Needs a QGuiApplication for its fonts (the
// offscreen platform is enough).
#pragma once

#include <QImage>

#include "sequencer/engine/profile_plot.h"

class QPainter;

namespace kinemo::ui {

// Paints the scene in its own coordinates (scene.width x scene.height).
void PaintPlotScene(QPainter& painter, const engine::PlotScene& scene);

// The scene as an opaque image of its own size.
QImage RenderPlotScene(const engine::PlotScene& scene);

}  // namespace kinemo::ui
