// TMP3Config: the quick MP3 settings tool window. It edits the main settings
// directly: the encoder (LAME or a codec of the codec layer), the bit rate or
// the codec's format, and LAME's channel mode; the current choice carries a
// check-mark. Every change is reported through `changed` (the main window
// refreshes its size estimate).
#pragma once

#include <QWidget>

#include <functional>
#include <string>

class QComboBox;
class QListWidget;

namespace sv {

class TProgramSettings;
class TWinMP3Encoder;

class TMP3Config : public QWidget {
    Q_OBJECT
public:
    TMP3Config(TProgramSettings& settings, const TWinMP3Encoder& codecs, std::string lameDescription,
               std::function<void()> changed, QWidget* parent = nullptr);

    // Shows the settings as they are now (after the settings dialog).
    void Refresh();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    TProgramSettings& settings_;
    const TWinMP3Encoder& codecs_;
    std::string lameDescription_;
    std::function<void()> changed_;
    QComboBox* codec_ = nullptr;
    QListWidget* formats_ = nullptr;
    QListWidget* channels_ = nullptr;
    bool refreshing_ = false;
};

}  // namespace sv
