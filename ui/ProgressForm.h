// TProgressForm: the window a burn shows while it runs: a bar for the track
// and one for the whole disc, the status line, the write error count and a
// Cancel button. The user cannot close it: Cancel and the close button only
// call `onCancelRequest` (which asks whether to cancel); the burn window
// closes it with Finish when the write thread is done.
#pragma once

#include <QDialog>

#include <functional>
#include <string>

#include "writer/BurnController.h"

class QLabel;
class QProgressBar;

namespace sv {

class TLanguage;

class TProgressForm : public QDialog {
    Q_OBJECT
public:
    TProgressForm(TLanguage& language, const std::string& languageName, std::function<void()> onCancelRequest,
                  QWidget* parent = nullptr);

    // Both bars 0, the status line empty, the error count "0".
    void Reset();
    void SetStatus(const std::string& text);
    // A progress report: a bar without a value keeps its value; the error
    // count text changes only when `errorsChanged`.
    void ShowProgress(const ProgressBars& bars, int errors, bool errorsChanged);
    // Closes the window for good.
    void Finish();

    int TrackPercent() const;
    int TotalPercent() const;
    QString StatusText() const;
    QString ErrorText() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    std::function<void()> onCancelRequest_;
    QProgressBar* track_ = nullptr;
    QProgressBar* total_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* errors_ = nullptr;
    bool finishing_ = false;
};

}  // namespace sv
