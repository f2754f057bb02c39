// TTrackPropForm: the track properties window. Two sliders choose the part
// of a track that the rip reads; "play range" plays it, and with "current
// position" down the active slider (the one that last had the focus, marked
// by an arrow) follows what is being played. OK hands the range back to the
// disc record, Cancel and Esc drop it.
#pragma once

#include <QDialog>

#include "app/MainForm.h"
#include "app/TrackProp.h"

class QComboBox;
class QLabel;
class QSlider;
class QPushButton;

namespace sv {

class TTrackPropForm : public QDialog, public ITrackPropWindow {
    Q_OBJECT
public:
    // Opens on `main`'s disc showing `selected`; the main window knows of the
    // window while it exists.
    TTrackPropForm(TMainForm& main, int selected, QWidget* parent = nullptr);
    ~TTrackPropForm() override;

    int ShownTrack() const override { return model_.Track(); }
    bool FollowingPosition() const override;
    void FollowPosition(int rel) override;

    TTrackProp& Model() { return model_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowTrack(int index);
    void ShowPositions();
    void ShowActive();
    QString Value(const char* key) const;

    TMainForm& main_;
    TTrackProp model_;
    QComboBox* trackBox_ = nullptr;
    QSlider* start_ = nullptr;
    QSlider* end_ = nullptr;
    QLabel* startArrow_ = nullptr;
    QLabel* endArrow_ = nullptr;
    QLabel* startPosition_ = nullptr;
    QLabel* endPosition_ = nullptr;
    QLabel* timeInfo_ = nullptr;
    QLabel* sizeInfo_ = nullptr;
    QLabel* fileInfo_ = nullptr;
    QPushButton* follow_ = nullptr;
};

// The track properties command: runs the window modally over `parent`,
// centred horizontally and 100 pixels below its top. True when OK stored the
// range into the disc record.
bool RunTrackPropForm(TMainForm& main, QWidget* parent, int selectedTrack);

}  // namespace sv
