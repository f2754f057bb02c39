// TSettingsForm: the settings dialog. It edits a working copy of the settings
// record; "Ok" (or Enter) checks and stores the controls into it and accepts,
// "Отмена" (or Escape) closes and leaves the copy as it was.
#pragma once

#include <QDialog>

#include <map>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/DiscInfo.h"
#include "base/Interaction.h"
#include "base/Language.h"
#include "app/SettingsSources.h"
#include "base/ProgramSettings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QStackedWidget;
class QTabWidget;

namespace sv {

class TSettingsForm : public QDialog {
    Q_OBJECT
public:
    TSettingsForm(TProgramSettings& settings, DISC_INFO& disc, IUserDialogs& dialogs, TLanguage& language,
                  QWidget* parent = nullptr, SettingsFormSources sources = {});

    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* BuildFilesPage();
    QWidget* BuildDrivePage();
    QWidget* BuildEncodingPage();
    QWidget* BuildMp3Tab();
    QWidget* BuildOggTab();
    QWidget* BuildWmaTab();
    QWidget* BuildExternalTab();
    QWidget* BuildNormalisationTab();
    QWidget* BuildFlacTab();
    QWidget* BuildCddbPage();
    QWidget* BuildInterfacePage();
    void LoadControls();
    void StoreControls();
    void UpdateCodecControls();
    void UpdateVbrControls();
    void UpdateFormatControls();
    void FillAcmFormats();
    void FillMirrors(const std::vector<SettingsFormSources::Mirror>& mirrors);
    QPushButton* ColorButton(const char* name, std::uint32_t* value);

    TProgramSettings& result_;
    DISC_INFO& disc_;
    TLanguage& language_;
    TProgramSettings work_;
    IUserDialogs& dialogs_;
    SettingsFormSources sources_;
    std::vector<SettingsFormSources::Mirror> mirrorList_;
    std::uint32_t windowColor_ = 0, controlColor_ = 0, playBarColor_ = 0;

    QTabWidget* pages_ = nullptr;
    QWidget* titlesPage_ = nullptr;
    QTabWidget* audioTabs_ = nullptr;
    QLineEdit* workDir_ = nullptr;
    QCheckBox *useTrackName_ = nullptr, *useAlbumName_ = nullptr, *useArtistName_ = nullptr, *useTrackNum_ = nullptr;
    QCheckBox *dirPerAlbum_ = nullptr, *dirPerArtist_ = nullptr, *useFormat_ = nullptr, *cueBox_ = nullptr;
    QLineEdit* formatEdit_ = nullptr;
    QLabel* formatPreview_ = nullptr;
    QComboBox *deviceName_ = nullptr, *speedBox_ = nullptr, *commandType_ = nullptr, *extractMethod_ = nullptr;
    QSpinBox* readOffset_ = nullptr;
    QSpinBox* flacLevel_ = nullptr;
    int shownOffsetDrive_ = -1;  // the drive whose offset the box shows
    std::map<int, int> editedOffsets_;  // drive -> offset, stored on OK
    void KeepEditedOffset();
    QCheckBox *maxSpeed_ = nullptr, *rcd_ = nullptr, *rotate_ = nullptr, *lockCd_ = nullptr, *ejectAfter_ = nullptr;
    QCheckBox *volumeOnCd_ = nullptr, *digitalPlayback_ = nullptr;
    QLineEdit* sectors_ = nullptr;
    QRadioButton *aspi_ = nullptr, *spti_ = nullptr;
    QComboBox *codecBox_ = nullptr, *formatBox_ = nullptr, *maxBitrate_ = nullptr, *modeBox_ = nullptr;
    QComboBox *vbrBox_ = nullptr, *vbrQuality_ = nullptr, *lameQuality_ = nullptr;
    QLabel* formatLabel_ = nullptr;
    QWidget* lameOnly_ = nullptr;
    QCheckBox *onTheFly_ = nullptr, *mp3AsOgg_ = nullptr;
    QCheckBox* oggUseQuality_ = nullptr;
    QSlider* oggBar_ = nullptr;
    QComboBox *oggNom_ = nullptr, *oggMin_ = nullptr, *oggMax_ = nullptr;
    QComboBox* wmaBitrate_ = nullptr;
    QCheckBox* useDrm_ = nullptr;
    QComboBox* extEncoder_ = nullptr;
    QStackedWidget* extPanels_ = nullptr;
    QComboBox *apeLevel_ = nullptr, *faacBitrate_ = nullptr, *faacObjectType_ = nullptr;
    QCheckBox *apeMono_ = nullptr, *faacTns_ = nullptr, *faacMidSide_ = nullptr;
    QRadioButton *faacMpeg4_ = nullptr, *faacMpeg2_ = nullptr;
    QComboBox *acmCodec_ = nullptr, *acmFormat_ = nullptr;
    QLineEdit* acmExt_ = nullptr;
    QCheckBox *acmWavHeader_ = nullptr, *acmTag_ = nullptr;
    QCheckBox* normalize_ = nullptr;
    QSpinBox *setMin_ = nullptr, *setMax_ = nullptr, *minTarget_ = nullptr, *maxTarget_ = nullptr;
    QLineEdit *server_ = nullptr, *path_ = nullptr, *port_ = nullptr, *timeout_ = nullptr;
    QLineEdit *proxy_ = nullptr, *user_ = nullptr, *password_ = nullptr, *localDir_ = nullptr;
    QComboBox* serverBox_ = nullptr;
    QComboBox* lookupSource_ = nullptr;
    QLineEdit *musicBrainz_ = nullptr, *cddbEmail_ = nullptr;
    QCheckBox* lookupOnInsertion_ = nullptr;
    QCheckBox *unixBox_ = nullptr, *ownBaseOnly_ = nullptr;
    QCheckBox *showGrid_ = nullptr, *showWave_ = nullptr, *showWma_ = nullptr, *showBurn_ = nullptr;
    QCheckBox *showConvert_ = nullptr, *showFreeDb_ = nullptr, *showPlayer_ = nullptr;
    QCheckBox *cdPlayer_ = nullptr, *priority_ = nullptr, *shutdown_ = nullptr;
};

}  // namespace sv
