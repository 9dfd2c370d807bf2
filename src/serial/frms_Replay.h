#pragma once

#include <QWidget>
#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QTimer;
class ReceivePipeline;

// The replay window (not modal): play and pause, a step, the speed (×1, ×10, ×100, as fast as
// possible) and the place in the file, dragged to seek, for the replay the pipeline holds.
// restarted runs after a seek (what was decoded no longer leads on); ended when the replay is
// ended here.
class frms_Replay : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 100;
    static constexpr int kSliderSteps = 1000;
    // The speeds offered, in the order of cboSpeed.
    static constexpr double kFactors[4] = {1, 10, 100, 0};

    frms_Replay(ReceivePipeline* pipeline, std::function<void()> restarted,
                std::function<void()> ended, QWidget* parent = nullptr);

    // Shows the replay the pipeline now holds.
    void xsubShowReplay();

    QPushButton* cmdPlay = nullptr;
    QPushButton* cmdStep = nullptr;
    QPushButton* cmdEnd = nullptr;
    QComboBox* cboSpeed = nullptr;
    QSlider* sldPlace = nullptr;
    QLabel* lblNote = nullptr;
    QLabel* lblPlace = nullptr;

private:
    void refresh();

    ReceivePipeline* m_pipeline;
    std::function<void()> m_restarted;
    std::function<void()> m_ended;
    QTimer* m_refresh;
};
