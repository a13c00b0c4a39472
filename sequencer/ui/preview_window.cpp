#include "sequencer/ui/preview_window.h"

#include <QPaintEvent>
#include <QPainter>
#include <cmath>
#include <cstdio>

#include "sequencer/ui/preview_painter.h"

namespace kinemo::ui {

PreviewWindow::PreviewWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), timeline_(std::make_unique<engine::Timeline>()) {
    setObjectName(QString::fromLatin1(kPreviewWindowName));
    setWindowTitle(QStringLiteral("Vorschau"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(1200, 600);
}

PreviewWindow::~PreviewWindow() = default;

void PreviewWindow::ShowList(const engine::MovementList& list, int first, int last) {
    // The diagnostic lines belong to runs, not to previews.
    std::FILE* sink = std::fopen("/dev/null", "w");
    engine::ComputeTimeline(list, first, last, *timeline_, sink != nullptr ? sink : stdout);
    if (sink != nullptr) {
        std::fclose(sink);
    }
    profile_ = engine::BuildSpeedProfile(*timeline_, list, first, last);
    Layout();
}

void PreviewWindow::Layout() {
    engine::PlotOptions options;
    options.width = std::max(width(), 400);
    scene_ = engine::BuildPlotScene(profile_, options);
    setMinimumHeight(static_cast<int>(std::ceil(scene_.height)));
    update();
}

void PreviewWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Layout();
}

void PreviewWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
    PaintPlotScene(painter, scene_);
}

PreviewWindow& OpenPreview(QWidget& owner, const engine::MovementList& list) {
    auto* window = owner.findChild<PreviewWindow*>(QString::fromLatin1(kPreviewWindowName),
                                                   Qt::FindDirectChildrenOnly);
    if (window == nullptr) {
        window = new PreviewWindow(&owner);
    }
    window->ShowList(list, 0, list.movementCount - 1);
    window->show();
    window->raise();
    window->activateWindow();
    return *window;
}

}  // namespace kinemo::ui
