#include "sequencer/ui/preview_painter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPolygonF>
#include <QString>
#include <cmath>

namespace kinemo::ui {
namespace {

QColor ToQColor(engine::PlotColor color) {
    return QColor(color.r, color.g, color.b);
}

}  // namespace

void PaintPlotScene(QPainter& painter, const engine::PlotScene& scene) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    for (const engine::PlotRect& rect : scene.rects) {
        painter.fillRect(QRectF(rect.x, rect.y, rect.w, rect.h), ToQColor(rect.fill));
    }
    for (const engine::PlotPolygon& polygon : scene.polygons) {
        QPolygonF points;
        points.reserve(static_cast<qsizetype>(polygon.points.size()));
        for (const engine::PlotPoint& point : polygon.points) {
            points.append(QPointF(point.x, point.y));
        }
        painter.setPen(QPen(ToQColor(polygon.stroke), 1));
        painter.setBrush(ToQColor(polygon.fill));
        painter.drawPolygon(points);
    }
    painter.setBrush(Qt::NoBrush);
    for (const engine::PlotLine& line : scene.lines) {
        QPen pen(ToQColor(line.color), line.width);
        if (line.dashed) {
            pen.setStyle(Qt::DashLine);
        }
        pen.setCapStyle(Qt::FlatCap);
        painter.setPen(pen);
        painter.drawLine(QPointF(line.from.x, line.from.y), QPointF(line.to.x, line.to.y));
    }
    QFont font = painter.font();
    for (const engine::PlotText& text : scene.texts) {
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(text.size))));
        font.setBold(text.bold);
        painter.setFont(font);
        painter.setPen(ToQColor(text.color));
        const QString label = QString::fromStdString(text.text);
        double x = text.at.x;
        if (text.anchor != engine::TextAnchor::kStart) {
            const double width = QFontMetricsF(font).horizontalAdvance(label);
            x -= text.anchor == engine::TextAnchor::kMiddle ? width / 2 : width;
        }
        painter.drawText(QPointF(x, text.at.y), label);
    }
    painter.restore();
}

QImage RenderPlotScene(const engine::PlotScene& scene) {
    QImage image(static_cast<int>(std::ceil(scene.width)),
                 static_cast<int>(std::ceil(scene.height)), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    PaintPlotScene(painter, scene);
    painter.end();
    return image;
}

}  // namespace kinemo::ui
