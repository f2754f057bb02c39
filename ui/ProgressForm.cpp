#include "ui/ProgressForm.h"

#include <QCloseEvent>

#include <algorithm>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "app/WindowTexts.h"
#include "ui/WindowTextApplier.h"

namespace sv {

TProgressForm::TProgressForm(TLanguage& language, const std::string& languageName,
                             std::function<void()> onCancelRequest, QWidget* parent)
    : QDialog(parent), onCancelRequest_(std::move(onCancelRequest)) {
    setObjectName("TProgressForm");
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    auto* grid = new QGridLayout(this);
    auto label = [this](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(name);
        return l;
    };
    status_ = label("StatusLine");
    status_->setMinimumWidth(360);
    grid->addWidget(status_, 0, 0, 1, 2);
    grid->addWidget(label("TrackLabel"), 1, 0);
    track_ = new QProgressBar(this);
    track_->setObjectName("TrackBar");
    grid->addWidget(track_, 1, 1);
    grid->addWidget(label("TotalLabel"), 2, 0);
    total_ = new QProgressBar(this);
    total_->setObjectName("TotalBar");
    grid->addWidget(total_, 2, 1);
    auto* errorRow = new QHBoxLayout;
    errorRow->addWidget(label("ErrorsLabel"));
    errors_ = label("ErrorCount");
    errorRow->addWidget(errors_, 1);
    auto* cancel = new QPushButton(this);
    cancel->setObjectName("CancelButton");
    errorRow->addWidget(cancel);
    grid->addLayout(errorRow, 3, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    connect(cancel, &QPushButton::clicked, this, [this] {
        if (onCancelRequest_) onCancelRequest_();
    });
    ApplyBuiltinTexts(this, ProgressFormTexts());
    ApplyLanguageToDialog(this, ProgressFormTexts(), language, languageName);
    Reset();
}

void TProgressForm::Reset() {
    track_->setValue(0);
    total_->setValue(0);
    status_->clear();
    errors_->setText("0");
}

void TProgressForm::SetStatus(const std::string& text) { status_->setText(QString::fromStdString(text)); }

void TProgressForm::ShowProgress(const ProgressBars& bars, int errors, bool errorsChanged) {
    if (bars.track) track_->setValue(std::clamp(*bars.track, 0, 100));
    if (bars.total) total_->setValue(std::clamp(*bars.total, 0, 100));
    if (errorsChanged) errors_->setText(QString::number(errors));
}

void TProgressForm::Finish() {
    finishing_ = true;
    done(QDialog::Accepted);
    hide();
}

int TProgressForm::TrackPercent() const { return track_->value(); }
int TProgressForm::TotalPercent() const { return total_->value(); }
QString TProgressForm::StatusText() const { return status_->text(); }
QString TProgressForm::ErrorText() const { return errors_->text(); }

void TProgressForm::closeEvent(QCloseEvent* event) {
    if (finishing_) {
        event->accept();
        return;
    }
    event->ignore();
    if (onCancelRequest_) onCancelRequest_();
}

void TProgressForm::reject() {
    if (finishing_) {
        QDialog::reject();
        return;
    }
    if (onCancelRequest_) onCancelRequest_();
}

}  // namespace sv
