// "Vorschau": a window of its own that shows the speed profile of the movement
// list, computed into the window's own timeline so that it never touches the
// rows a run plays.
#pragma once

#include <QString>
#include <QWidget>
#include <memory>

#include "sequencer/engine/profile_plot.h"
#include "sequencer/engine/speed_profile.h"

namespace kinemo::ui {

// Command number of the context menu entry and the window's object name.
inline constexpr int kCommandPreview = 17;
inline constexpr char kPreviewWindowName[] = "preview";

class PreviewWindow : public QWidget {
    Q_OBJECT

  public:
    explicit PreviewWindow(QWidget* parent = nullptr);
    ~PreviewWindow() override;

    // Computes records first..last of `list` and shows their profile.
    void ShowList(const engine::MovementList& list, int first, int last);

    const engine::SpeedProfile& Profile() const { return profile_; }
    const engine::PlotScene& Scene() const { return scene_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Layout();

    std::unique_ptr<engine::Timeline> timeline_;
    engine::SpeedProfile profile_;
    engine::PlotScene scene_;
};

// Opens (or brings up again) the preview window of `owner` and shows the whole
// list in it. The caller stores the shown movement into its record first.
PreviewWindow& OpenPreview(QWidget& owner, const engine::MovementList& list);

}  // namespace kinemo::ui
