#include "app/WindowTexts.h"

#include <cstring>
#include <string_view>

#include "base/Language.h"
#include "metadata/CddbLookup.h"

namespace sv {

namespace {
using T = TextTarget;
}  // namespace

std::string WindowTexts::Russian(const char* object, TextTarget target, int index) const {
    for (const auto& t : texts)
        if (std::strcmp(t.object, object) == 0 && t.target == target && t.index == index) return t.russian;
    return {};
}

const WindowTexts& MainWindowTexts() {
    static const WindowTexts texts{kMainWindowSection, {
        {"FileMenu", T::Text, 0, "&Файл", "&File"},
        {"GrabTo1", T::Text, 0, "Сграбить в", "Grab to"},
        {"MP3", T::Text, 0, "MP3", "MP3"},
        {"OGG1", T::Text, 0, "OGG", "OGG"},
        {"WMA1", T::Text, 0, "WMA", "WMA"},
        {"WAVE1", T::Text, 0, "WAVE", "WAVE"},
        {"ExternalEncI", T::Text, 0, "Внешний кодер", "External encoder"},
        {"CD2", T::Text, 0, "Весь диск в один файл", "Whole disc to one file"},
        {"WAVE2", T::Text, 0, "WAVE", "WAVE"},
        {"MP32", T::Text, 0, "MP3", "MP3"},
        {"OGG2", T::Text, 0, "OGG", "OGG"},
        {"External2", T::Text, 0, "Внешний кодер", "External encoder"},
        {"ConvertFile1", T::Text, 0, "Конвертировать файлы...", "Convert files..."},
        {"AudioCD1", T::Text, 0, "Создать аудио CD...", "Create audio CD..."},
        {"Exit1", T::Text, 0, "Выход", "Exit"},
        {"DiscMenu", T::Text, 0, "&Диск", "&Disc"},
        {"Refresh1", T::Text, 0, "Обновить", "Refresh"},
        {"OpenImage1", T::Text, 0, "Открыть образ диска...", "Open disc image..."},
        {"CloseImage1", T::Text, 0, "Закрыть образ диска", "Close disc image"},
        {"Stop1", T::Text, 0, "Стоп", "Stop"},
        {"Eject1", T::Text, 0, "Извлечь", "Eject"},
        {"SysInfo", T::Text, 0, "Информация о приводе...", "Drive information..."},
        {"TracksMenu", T::Text, 0, "&Треки", "&Tracks"},
        {"PlaySel1", T::Text, 0, "Играть выбранные", "Play selected"},
        {"SelectAll1", T::Text, 0, "Выделить все", "Select all"},
        {"SelectNone1", T::Text, 0, "Снять выделение", "Select none"},
        {"N13", T::Text, 0, "Переименовать", "Rename"},
        {"CaseWords1", T::Text, 0, "Каждое Слово С Заглавной", "Capitalise Each Word"},
        {"CaseLower1", T::Text, 0, "все строчные", "all lower case"},
        {"CaseUpper1", T::Text, 0, "ВСЕ ПРОПИСНЫЕ", "ALL UPPER CASE"},
        {"ID3v2", T::Text, 0, "Теги ID3...", "ID3 tags..."},
        {"TrackPropItem", T::Text, 0, "Свойства трека...", "Track properties..."},
        {"ToolsMenu", T::Text, 0, "&Сервис", "&Tools"},
        {"Settings1", T::Text, 0, "Настройки...", "Settings..."},
        {"CDDB1", T::Text, 0, "Локальная база CDDB...", "Local CDDB database..."},
        {"ShowMP3ConfigBox", T::Text, 0, "Быстрая настройка MP3...", "Quick MP3 settings..."},
        {"LanguageMenu", T::Text, 0, "Язык", "Language"},
        {"HelpMenu", T::Text, 0, "&Помощь", "&Help"},
        {"Help1", T::Text, 0, "Руководство пользователя", "User guide"},
        {"About1", T::Text, 0, "О программе...", "About..."},
        {"SpeedButton1", T::ToolTip, 0, "Обновить", "Refresh"},
        {"WMAButton", T::ToolTip, 0, "Сграбить в WMA", "Grab to WMA"},
        {"SpeedButton18", T::ToolTip, 0, "Сграбить в WAVE", "Grab to WAVE"},
        {"BurnCDButton", T::ToolTip, 0, "Создать аудио CD", "Create an audio CD"},
        {"TagSpeedButton", T::ToolTip, 0, "Теги ID3", "ID3 tags"},
        {"ConvertButton", T::ToolTip, 0, "Конвертер файлов", "File converter"},
        {"SpeedButton6", T::ToolTip, 0, "Найти названия (MusicBrainz, CDDB)", "Look the titles up (MusicBrainz, CDDB)"},
        {"SettingButton", T::ToolTip, 0, "Настройки", "Settings"},
        {"SpeedButton4", T::ToolTip, 0, "Запустить плейер", "Start the media player"},
        {"SpeedButton16", T::ToolTip, 0, "Стоп", "Stop"},
        {"SpeedButton13", T::ToolTip, 0, "Извлечь / вставить диск", "Eject / load the disc"},
        {"SpeedButton17", T::ToolTip, 0, "Профили", "Profiles"},
        {"SpeedButton25", T::ToolTip, 0, "Выход", "Exit"},
        {"SpeedButton11", T::ToolTip, 0, "Играть", "Play"},
        {"SpeedButton5", T::ToolTip, 0, "Играть выбранные", "Play selected"},
        {"SpeedButton12", T::ToolTip, 0, "Пауза", "Pause"},
        {"SpeedButton14", T::ToolTip, 0, "Предыдущий трек", "Previous track"},
        {"SpeedButton15", T::ToolTip, 0, "Следующий трек", "Next track"},
        {"VolumeBar", T::ToolTip, 0, "Громкость", "Volume"},
        {"CDROMBox", T::ToolTip, 0, "Привод", "Drive"},
        {"ArtistLabel", T::Text, 0, "Исполнитель:", "Artist:"},
        {"AlbumLabel", T::Text, 0, "Альбом:", "Album:"},
        {"ListView", T::Column, 0, "Название", "Title"},
        {"ListView", T::Column, 1, "Длина", "Length"},
        {"ListView", T::Column, 2, "Размер", "Size"},
        {"ListView", T::Column, 3, "Сжатый", "Compressed"},
        {"ListView", T::Column, 4, "Состояние", "Status"},
        {"TrackPanel", T::ToolTip, 0, "Треков", "Tracks"},
        {"TimePanel", T::ToolTip, 0, "Общее время", "Total time"},
        {"SizePanel", T::ToolTip, 0, "Размер", "Size"},
        {"ProfileDefault", T::Text, 0, "&По умолчанию", "&Default"},
        {"ProfileSave", T::Text, 0, "&Сохранить", "&Save"},
        {"ProfileDelete", T::Text, 0, "Удалить", "Delete"},
        {"GrabHintPrefix", T::Value, 0, "Сграбить в ", "Grab to "},
        {"CompressPrefix", T::Value, 0, "сжатие ", "compressing "},
        {"DataTrack", T::Value, 0, "Data track", "Data track"},
        {"FLAC1", T::Text, 0, "FLAC", "FLAC"},
        {"FLAC2", T::Text, 0, "FLAC (с CUE внутри)", "FLAC (with the CUE sheet inside)"},
    }};
    return texts;
}

const WindowTexts& SettingsFormTexts() {
    static const WindowTexts texts{kSettingsSection, {
        {"TSettingsForm", T::Title, 0, "Настройки", "Settings"},
        {"CancelButton", T::Text, 0, "Отмена", "Cancel"},
        {"PageControl1", T::Tab, 0, "Файлы", "Files"},
        {"PageControl1", T::Tab, 1, "Привод", "Drive"},
        {"PageControl1", T::Tab, 2, "Кодирование", "Encoding"},
        {"PageControl1", T::Tab, 4, "Интерфейс", "Interface"},
        {"WorkDirLabel", T::Text, 0, "Папка для музыки:", "Music folder:"},
        {"WorkDirButton", T::Text, 0, "Обзор...", "Browse..."},
        {"NamingGroup", T::Title, 0, "Имя файла", "File name"},
        {"File_UseTrackName", T::Text, 0, "Название трека", "Track title"},
        {"File_UseAlbumName", T::Text, 0, "Название альбома", "Album title"},
        {"File_UseArtistName", T::Text, 0, "Исполнитель", "Artist"},
        {"File_UseTrackNum", T::Text, 0, "Номер трека", "Track number"},
        {"FoldersGroup", T::Title, 0, "Папки", "Folders"},
        {"Dir_AsArtistName", T::Text, 0, "Папка для каждого исполнителя", "A folder for each artist"},
        {"Dir_AsAlbumName", T::Text, 0, "Папка для каждого альбома", "A folder for each album"},
        {"UseFormatString", T::Text, 0, "Использовать строку формата", "Use a format string"},
        {"FormatPreviewLabel", T::Text, 0, "Пример:", "Example:"},
        {"CUEBox", T::Text, 0, "Создавать CUE файл при копировании всего диска", "Write a CUE sheet when the whole disc is grabbed"},
        {"DeviceNameLabel", T::Text, 0, "Привод:", "Drive:"},
        {"SpeedLabel", T::Text, 0, "Скорость чтения:", "Read speed:"},
        {"NumSecReadLabel", T::Text, 0, "Секторов за одно чтение:", "Sectors per read:"},
        {"InterfaceGroup", T::Title, 0, "Интерфейс доступа", "Access interface"},
        {"CommandTypeLabel", T::Text, 0, "Команда чтения:", "Read command:"},
        {"DetectButton", T::Text, 0, "Определить...", "Detect..."},
        {"ExtractMethodLabel", T::Text, 0, "Метод извлечения:", "Extraction method:"},
        {"ExtractMethodBox", T::Item, 0, "Быстрое копирование", "Fast copy"},
        {"ExtractMethodBox", T::Item, 1, "Быстрое чтение с коррекцией шумов", "Fast read with noise correction"},
        {"ExtractMethodBox", T::Item, 2, "До 5 повторов с коррекцией шумов", "Up to 5 retries with noise correction"},
        {"ExtractMethodBox", T::Item, 3, "До 10 повторов с коррекцией шумов", "Up to 10 retries with noise correction"},
        {"RCDBox", T::Text, 0, "Отключать кэширование данных приводом", "Switch the drive's read cache off"},
        {"RotateBox", T::Text, 0, "Раскручивать диск перед копированием", "Spin the disc up before copying"},
        {"LockCDBox", T::Text, 0, "Блокировать лоток при копировании", "Lock the tray while copying"},
        {"EjectACopy", T::Text, 0, "Извлекать диск после копирования", "Eject the disc after copying"},
        {"VolumeOnCDBox", T::Text, 0, "Регулировать громкость на приводе", "Set the volume on the drive"},
        {"DPBox", T::Text, 0, "Цифровое воспроизведение", "Digital playback"},
        {"PageControl2", T::Tab, 3, "Внешние кодеры", "External encoders"},
        {"PageControl2", T::Tab, 4, "Нормализация", "Normalisation"},
        {"CodecLabel", T::Text, 0, "Кодер:", "Encoder:"},
        {"MaxBitrateLabel", T::Text, 0, "макс", "max"},
        {"ModeLabel", T::Text, 0, "Режим:", "Mode:"},
        {"VBRQualityLabel", T::Text, 0, "Качество VBR:", "VBR quality:"},
        {"OnTheFlyEncodingBox", T::Text, 0, "Сжимать во время чтения", "Encode while reading"},
        {"MP3AsOGGBox", T::Text, 0, "Кнопка MP3 грабит в OGG", "The MP3 button grabs to OGG"},
        {"OggQualityBox", T::Text, 0, "Качество вместо битрейта", "Quality instead of bit rate"},
        {"OggQualityLabel", T::Text, 0, "Качество:", "Quality:"},
        {"OggNomLabel", T::Text, 0, "Битрейт: номинальный", "Bit rate: nominal"},
        {"OggMinLabel", T::Text, 0, "минимальный", "minimum"},
        {"OggMaxLabel", T::Text, 0, "максимальный", "maximum"},
        {"WMABitrateLabel", T::Text, 0, "Битрейт:", "Bit rate:"},
        {"UseDRMBox", T::Text, 0, "Защищать WMA файлы (DRM)", "Protect WMA files (DRM)"},
        {"ExtEncoderLabel", T::Text, 0, "Кодер:", "Encoder:"},
        {"APE_LevelLabel", T::Text, 0, "Степень сжатия:", "Compression level:"},
        {"APE_MonoBox", T::Text, 0, "Моно", "Mono"},
        {"FAACBitrateLabel", T::Text, 0, "Битрейт:", "Bit rate:"},
        {"FAACObjectTypeLabel", T::Text, 0, "Профиль:", "Profile:"},
        {"FAACAllowMSBox", T::Text, 0, "Разрешить mid/side", "Allow mid/side"},
        {"ACMCodecLabel", T::Text, 0, "Кодек:", "Codec:"},
        {"ACMFormatLabel", T::Text, 0, "Формат:", "Format:"},
        {"ACMFileExtLabel", T::Text, 0, "Расширение файлов:", "File extension:"},
        {"ACMWriteWAVEHeadBox", T::Text, 0, "Записывать WAV заголовок", "Write a WAV header"},
        {"ACMWriteTagBox", T::Text, 0, "Записывать тег ID3v2", "Write an ID3v2 tag"},
        {"CheckBox1", T::Text, 0, "Нормализовать уровень", "Normalise the level"},
        {"SetMinLabel", T::Text, 0, "Если уровень ниже (%):", "When the level is below (%):"},
        {"MinLabel", T::Text, 0, "поднять до (%):", "raise it to (%):"},
        {"SetMaxLabel", T::Text, 0, "Если уровень выше (%):", "When the level is above (%):"},
        {"MaxLabel", T::Text, 0, "понизить до (%):", "lower it to (%):"},
        {"ServerGroup", T::Title, 0, "Сервер CDDB", "CDDB server"},
        {"ServerLabel", T::Text, 0, "Сервер:", "Server:"},
        {"PathLabel", T::Text, 0, "Путь:", "Path:"},
        {"PortLabel", T::Text, 0, "Порт:", "Port:"},
        {"TimeOutLabel", T::Text, 0, "Тайм-аут (с):", "Time-out (s):"},
        {"ServerBoxLabel", T::Text, 0, "Зеркала:", "Mirrors:"},
        {"GetSitesButton", T::Text, 0, "Получить список доступных сайтов", "Get the list of available sites"},
        {"ProxyGroup", T::Title, 0, "Прокси", "Proxy"},
        {"ProxyLabel", T::Text, 0, "Прокси:", "Proxy:"},
        {"UserLabel", T::Text, 0, "Пользователь:", "User:"},
        {"PasswordLabel", T::Text, 0, "Пароль:", "Password:"},
        {"LocalGroup", T::Title, 0, "Локальная база", "Local database"},
        {"LCDDBPathLabel", T::Text, 0, "Папка:", "Folder:"},
        {"UnixBox", T::Text, 0, "Файлы в формате Unix", "Files in Unix format"},
        {"UseOnlySVBaseBox", T::Text, 0, "Искать только в своей базе", "Look up only in the own database"},
        {"ShowGridBox", T::Text, 0, "Линии сетки в списке", "Grid lines in the track list"},
        {"ButtonsGroup", T::Title, 0, "Кнопки", "Buttons"},
        {"ShowBURN", T::Text, 0, "Запись CD", "CD burning"},
        {"ShowConvert", T::Text, 0, "Конвертер", "Converter"},
        {"ShowPlayer", T::Text, 0, "Плейер", "Player"},
        {"ColorsGroup", T::Title, 0, "Цвета", "Colours"},
        {"WindowColorLabel", T::Text, 0, "Окно:", "Window:"},
        {"ControlColorLabel", T::Text, 0, "Списки:", "Lists:"},
        {"PlayBarColorLabel", T::Text, 0, "Полоса воспроизведения:", "Play bar:"},
        {"UseAsCDPlayerBox", T::Text, 0, "Использовать как плейер аудио CD", "Use as the audio CD player"},
        {"PriorityBox", T::Text, 0, "Высший приоритет при копировании", "Highest priority while copying"},
        {"ShutComp", T::Text, 0, "Выключить компьютер после копирования", "Switch the computer off after copying"},
        {"FAACUseTns", T::Text, 0, "Временное формирование шума (TNS)", "Temporal noise shaping"},
        {"ReadOffsetLabel", T::Text, 0, "Смещение чтения (сэмплы):", "Read offset (samples):"},
        {"FindOffsetButton", T::Text, 0, "Найти по AccurateRip", "Find with AccurateRip"},
        {"FlacLevelLabel", T::Text, 0, "Степень сжатия (0 - быстрее, 8 - компактнее):",
         "Compression level (0 fastest, 8 smallest):"},
    }};
    return texts;
}

const WindowTexts& ReadCommandFormTexts() {
    static const WindowTexts texts{kReadCommandSection, {
        {"TReadCommandForm", T::Title, 0, "Определение команды чтения", "Read command detection"},
        {"ResultList", T::Column, 0, "№", "No."},
        {"ResultList", T::Column, 1, "Тип команды", "Command"},
        {"ResultList", T::Column, 2, "Кол-во секторов", "Sectors"},
        {"ResultList", T::Column, 3, "Результат", "Result"},
        {"CancelButton", T::Text, 0, "Отмена", "Cancel"},
    }};
    return texts;
}

const WindowTexts& BurnFormTexts() {
    static const WindowTexts texts{kBurnFormSection, {
        {"TMainWriteForm", T::Title, 0, "Запись аудио CD", "Audio CD burning"},
        {"DriveLabel", T::Text, 0, "Привод:", "Drive:"},
        {"FileList", T::Column, 0, "№", "No."},
        {"FileList", T::Column, 1, "Файл", "File"},
        {"FileList", T::Column, 2, "Время", "Time"},
        {"FileList", T::Column, 3, "Размер", "Size"},
        {"FileList", T::Column, 4, "Папка", "Folder"},
        {"AddFilesButton", T::Text, 0, "Добавить файлы...", "Add files..."},
        {"AddFolderButton", T::Text, 0, "Добавить папку...", "Add folder..."},
        {"RemoveButton", T::Text, 0, "Удалить", "Remove"},
        {"UpButton", T::Text, 0, "Вверх", "Up"},
        {"DownButton", T::Text, 0, "Вниз", "Down"},
        {"OpenProjectButton", T::Text, 0, "Открыть проект...", "Open project..."},
        {"SaveProjectButton", T::Text, 0, "Сохранить проект...", "Save project..."},
        {"StartButton", T::Text, 0, "Записать", "Burn"},
        {"TestButton", T::Text, 0, "Тестовая запись", "Test burn"},
        {"FullEraseButton", T::Text, 0, "Полная очистка", "Full erase"},
        {"QuickEraseButton", T::Text, 0, "Быстрая очистка", "Quick erase"},
        {"EjectButton", T::Text, 0, "Извлечь/Загрузить", "Eject/Load"},
        {"SettingsButton", T::Text, 0, "Настройки...", "Settings..."},
        {"DriveInfoButton", T::Text, 0, "О приводе...", "Drive information..."},
        {"CloseButton", T::Text, 0, "Закрыть", "Close"},
        {"PrevButton", T::ToolTip, 0, "Предыдущий файл", "Previous file"},
        {"PlayButton", T::ToolTip, 0, "Прослушать выбранный файл", "Play the selected file"},
        {"StopButton", T::ToolTip, 0, "Остановить", "Stop"},
        {"NextButton", T::ToolTip, 0, "Следующий файл", "Next file"},
        {"PlayPosition", T::ToolTip, 0, "Позиция", "Position"},
        {"PlayVolume", T::ToolTip, 0, "Громкость", "Volume"},
        {"TimeHint", T::Value, 0, "Время", "Time"},
        {"SizeHint", T::Value, 0, "Размер", "Size"},
        {"FilesHint", T::Value, 0, "Файлов", "Files"},
        {"NoDisc", T::Value, 0, "Нет диска", "No disc"},
        {"BlankDisc", T::Value, 0, "Чистый диск", "Blank disc"},
        {"WrittenDisc", T::Value, 0, "Диск записан", "Written disc"},
        {"Rewritable", T::Value, 0, "перезаписываемый", "rewritable"},
        {"ImageMode", T::Value, 0, "Запись в файл WAV", "Writing into a WAV file"},
        {"AddFilesTitle", T::Value, 0, "Добавить файлы", "Add files"},
        {"AddFolderTitle", T::Value, 0, "Выбрать папку", "Choose a folder"},
        {"ImageTitle", T::Value, 0, "Файл образа", "Image file"},
        {"ProjectTitle", T::Value, 0, "Проект", "Project"},
        {"ProjectFailed", T::Value, 0, "Не удалось записать файл проекта.", "The project file could not be written."},
        {"Skipped", T::Value, 0, "Не добавлены файлы проекта:", "Files of the project not added:"},
        {"Done", T::Value, 0, "Запись завершена.", "Burning completed."},
        {"Failed", T::Value, 0, "Запись не завершена.", "Burning did not complete."},
        {"EraseFailed", T::Value, 0, "Диск не очищен.", "The disc was not erased."},
    }};
    return texts;
}

const WindowTexts& WriteSettingFormTexts() {
    static const WindowTexts texts{kWriteSettingSection, {
        {"TWriteSettingForm", T::Title, 0, "Настройки записи", "Burn settings"},
        {"SpeedLabel", T::Text, 0, "Скорость записи:", "Write speed:"},
        {"PriorityLabel", T::Text, 0, "Приоритет:", "Priority:"},
        {"SectorsLabel", T::Text, 0, "Секторов за одну запись:", "Sectors per write:"},
        {"AskBox", T::Text, 0, "Спрашивать перед операциями с диском", "Ask before disc operations"},
        {"DecodeBox", T::Text, 0, "Декодировать во время записи", "Decode while writing"},
        {"EjectBox", T::Text, 0, "Извлечь диск после записи", "Eject the disc after burning"},
        {"RememberBox", T::Text, 0, "Запоминать последний проект", "Remember the last project"},
        {"CueBox", T::Text, 0, "Записывать файл CUE к образу WAV", "Write a CUE file with a WAV image"},
        {"PlaySoundBox", T::Text, 0, "Проиграть звук по окончании записи", "Play a sound when burning ends"},
        {"BrowseButton", T::Text, 0, "Обзор...", "Browse..."},
        {"OkButton", T::Text, 0, "OK", "OK"},
        {"CancelButton", T::Text, 0, "Отмена", "Cancel"},
        {"SoundTooLong", T::Value, 0, "Путь к звуковому файлу слишком длинный.", "The sound file's path is too long."},
        {"CdTextBox", T::Text, 0, "Записывать CD-TEXT (названия из тегов файлов)",
         "Write CD-TEXT (the titles from the files' tags)"},
    }};
    return texts;
}

const WindowTexts& ProgressFormTexts() {
    static const WindowTexts texts{kProgressFormSection, {
        {"TProgressForm", T::Title, 0, "Запись", "Burning"},
        {"TrackLabel", T::Text, 0, "Трек:", "Track:"},
        {"TotalLabel", T::Text, 0, "Всего:", "Total:"},
        {"ErrorsLabel", T::Text, 0, "Ошибки записи:", "Write errors:"},
        {"CancelButton", T::Text, 0, "Отмена", "Cancel"},
    }};
    return texts;
}

const WindowTexts& ConvertFormTexts() {
    static const WindowTexts texts{kConvertFormSection, {
        {"TConvertForm", T::Title, 0, "Конвертер файлов", "File converter"},
        {"DirectionLabel", T::Text, 0, "Направление:", "Direction:"},
        {"FormatLabel", T::Text, 0, "Битрейт:", "Bit rate:"},
        {"OutDirLabel", T::Text, 0, "Папка для файлов:", "Output folder:"},
        {"BrowseButton", T::Text, 0, "Обзор...", "Browse..."},
        {"SaveDirBox", T::Text, 0, "Сохранять рядом с исходным файлом", "Save beside the source file"},
        {"DelAfterEncodingBox", T::Text, 0, "Удалять исходные файлы после сжатия", "Delete the sources after encoding"},
        {"FileList", T::Column, 0, "Файл", "File"},
        {"FileList", T::Column, 1, "Состояние", "Status"},
        {"FileList", T::Column, 2, "Папка", "Folder"},
        {"AddFilesButton", T::Text, 0, "Добавить файлы...", "Add files..."},
        {"AddFolderButton", T::Text, 0, "Добавить папку...", "Add folder..."},
        {"SelectAllButton", T::Text, 0, "Выбрать все", "Check all"},
        {"SelectNoneButton", T::Text, 0, "Снять выбор", "Check none"},
        {"RemoveAllButton", T::Text, 0, "Удалить все", "Remove all"},
        {"RemoveUncheckedButton", T::Text, 0, "Удалить невыбранные", "Remove unchecked"},
        {"RemoveCheckedButton", T::Text, 0, "Удалить выбранные", "Remove checked"},
        {"TagButton", T::Text, 0, "Теги...", "Tags..."},
        {"EncoderSettingsButton", T::Text, 0, "Настройки кодера...", "Encoder settings..."},
        {"StartButton", T::Text, 0, "Старт", "Start"},
        {"CancelButton", T::Text, 0, "Отмена", "Cancel"},
        {"CloseButton", T::Text, 0, "Закрыть", "Close"},
        {"AddFilesTitle", T::Value, 0, "Добавить файлы", "Add files"},
        {"AddFolderTitle", T::Value, 0, "Выбрать папку", "Choose a folder"},
        {"Done", T::Value, 0, "завершено", "completed"},
    }};
    return texts;
}

const WindowTexts& Id3FormTexts() {
    static const WindowTexts texts{kId3FormSection, {
        {"TID3Form", T::Title, 0, "Теги ID3", "ID3 tags"},
        {"TrackLabel", T::Text, 0, "Трек:", "Track:"},
        {"PresentBox", T::Text, 0, "Записывать тег", "Write the tag"},
        {"MainGroup", T::Title, 0, "Основное", "Main"},
        {"TitleLabel", T::Text, 0, "Название:", "Title:"},
        {"ArtistLabel", T::Text, 0, "Исполнитель:", "Artist:"},
        {"AlbumLabel", T::Text, 0, "Альбом:", "Album:"},
        {"YearLabel", T::Text, 0, "Год:", "Year:"},
        {"GenreLabel", T::Text, 0, "Жанр:", "Genre:"},
        {"TrackNumberLabel", T::Text, 0, "Номер трека:", "Track number:"},
        {"CommentLabel", T::Text, 0, "Комментарий:", "Comment:"},
        {"ExtraGroup", T::Title, 0, "Дополнительно", "More"},
        {"ComposerLabel", T::Text, 0, "Композитор:", "Composer:"},
        {"OriginalArtistLabel", T::Text, 0, "Исходный исполнитель:", "Original artist:"},
        {"CopyrightLabel", T::Text, 0, "Авторские права:", "Copyright:"},
        {"UrlLabel", T::Text, 0, "URL:", "URL:"},
        {"EncodedByLabel", T::Text, 0, "Кодировщик:", "Encoded by:"},
        {"CompilationBox", T::Text, 0, "Сборник (разные исполнители)", "Compilation (various artists)"},
        {"CopyAllLabel", T::Text, 0, "Скопировать для всех треков", "Copy to all tracks"},
        {"CopyAllLabel", T::ToolTip, 0, "Общие поля формы и данные диска попадут в теги всех треков",
         "The form's shared fields and the disc's data go into the tags of every track"},
        {"OkButton", T::Text, 0, "OK", "OK"},
        {"CancelButton", T::Text, 0, "Отмена", "Cancel"},
        {"TooLong", T::Value, 0, "Текст не помещается в поле «%s» и не принят.",
         "The text does not fit into the field \"%s\" and was not taken."},
        {"Shortened", T::Value, 0, "Поле «%s» длиннее, чем вмещает тег: показано и будет записано сокращённым.",
         "The field \"%s\" is longer than the tag holds: it is shown and will be stored shortened."},
    }};
    return texts;
}

const WindowTexts& CddbEditFormTexts() {
    static const WindowTexts texts{kCddbEditSection, {
        {"TCDDBEditForm", T::Title, 0, "Редактор локальной CDDB", "Local CDDB editor"},
        {"TreeView", T::Column, 0, "Исполнители и альбомы", "Artists and albums"},
        {"TrackList", T::Column, 0, "Название", "Title"},
        {"TrackList", T::Column, 1, "Длина", "Length"},
        {"TrackList", T::Column, 2, "Размер", "Size"},
        {"CompilationBox", T::Text, 0, "Сборник", "Compilation"},
        {"ID3Button", T::Text, 0, "ID3v2 ...", "ID3v2 ..."},
        {"DeleteAlbumButton", T::Text, 0, "Удалить альбом", "Delete album"},
        {"DeleteArtistButton", T::Text, 0, "Удалить все альбомы выбранной группы", "Delete all albums of the selected artist"},
        {"HintLabel", T::Text, 0, "Двойной щелчок или F2 — переименовать", "Double-click or F2 to rename"},
        {"CloseButton", T::Text, 0, "Закрыть", "Close"},
        {"Damaged", T::Value, 0, "Эти файлы не являются файлами альбомов и оставлены как есть:",
         "These files are not album files and were left as they are:"},
        {"TooLong", T::Value, 0, "Слишком длинное название: поле вмещает не больше %s байт. Название не изменено.",
         "The name is too long: the field holds at most %s bytes. The name was not changed."},
        {"WriteFailed", T::Value, 0, "Не удалось записать изменения альбомов:", "Could not write the changes of these albums:"},
    }};
    return texts;
}

const WindowTexts& TrackPropFormTexts() {
    static const WindowTexts texts{kTrackPropSection, {
        {"TTrackPropForm", T::Title, 0, "Свойства трека", "Track properties"},
        {"TrackLabel", T::Text, 0, "Трек:", "Track:"},
        {"StartCaption", T::Text, 0, "Начало:", "Start:"},
        {"EndCaption", T::Text, 0, "Конец:", "End:"},
        {"PlayButton", T::Text, 0, "Играть диапазон", "Play range"},
        {"StopButton", T::Text, 0, "Стоп", "Stop"},
        {"FollowButton", T::Text, 0, "Текущая позиция", "Current position"},
        {"FollowButton", T::ToolTip, 0, "Активный ползунок следует за позицией воспроизведения",
         "The active slider follows the play position"},
        {"OkButton", T::Text, 0, "Ok", "Ok"},
        {"CancelButton", T::Text, 0, "Отмена", "Cancel"},
        {"TimeFormat", T::Value, 0, "Абсолютное время: начало - %s:%s:%s, конец - %s:%s:%s. Длительность: %s:%s:%s",
         "Absolute time: start - %s:%s:%s, end - %s:%s:%s. Length: %s:%s:%s"},
        {"SizeFormat", T::Value, 0, "Размер трека на диске: %s, размер в mp3 %s", "Track size on disc: %s, as mp3 %s"},
        {"FileFormat", T::Value, 0, "Имя файла: %s", "File name: %s"},
    }};
    return texts;
}

const WindowTexts& OtherTexts() {
    static const WindowTexts texts{kOtherTextsSection, {
        {"TCDInfo", T::Title, 0, "Информация о приводе", "Drive information"},
        {"CopyButton", T::Text, 0, "Копировать", "Copy"},
        {"Yes", T::Value, 0, "Да", "Yes"},
        {"No", T::Value, 0, "Нет", "No"},
        {"AboutTitle", T::Value, 0, "О программе Sornaval", "About Sornaval"},
        {"AboutSummary", T::Value, 0, "Граббер, проигрыватель, конвертер и запись аудио CD.",
         "Audio CD grabber, player, converter and burner."},
        {"AboutVersion", T::Value, 0, "Версия", "Version"},
        {"AboutLicence", T::Value, 0, "Распространяется на условиях GNU GPL версии 3 или более поздней.",
         "Distributed under the GNU GPL, version 3 or later."},
        {"AboutLibraries", T::Value, 0, "Используемые библиотеки и их лицензии:", "Libraries used and their licences:"},
        {"AboutDataFolder", T::Value, 0, "Папка данных:", "Data folder:"},
        {"GrabWritten", T::Value, 0, "Записано треков: %1 из %2, в папку %3", "%1 of %2 tracks written to %3"},
        {"ArAccurate", T::Value, 0, "AccurateRip: точно (достоверность %1)", "AccurateRip: accurately ripped (confidence %1)"},
        {"ArInaccurate", T::Value, 0, "AccurateRip: не совпадает (диск в базе, достоверность до %1)",
         "AccurateRip: not accurate (the disc is known, confidence up to %1)"},
        {"ArUnknown", T::Value, 0, "AccurateRip: диска нет в базе", "AccurateRip: disc not in the database"},
        {"ArUnchecked", T::Value, 0, "AccurateRip: не проверено (%1)", "AccurateRip: not checked (%1)"},
        {"ArTrimmed", T::Value, 0, "диапазон трека обрезан", "the track's range is trimmed"},
        {"OffsetFound", T::Value, 0, "Смещение чтения: %1 (совпало треков: %2, достоверность %3)",
         "Read offset: %1 (%2 tracks match, confidence %3)"},
        {"OffsetNotFound", T::Value, 0, "Смещение не найдено: %1", "No offset found: %1"},
        {"WholeDiscWritten", T::Value, 0, "Записан файл %1", "Written: %1"},
        {"GuideMissing", T::Value, 0, "Руководство пользователя не найдено. Искали:", "The user guide was not found. Looked in:"},
        {"CddbAddressBad", T::Value, 0, "E-mail для серверов CDDB пишется как имя@домен.",
         "The e-mail address for CDDB servers is written name@domain."},
    }};
    return texts;
}

const WindowTexts& LookupTexts() {
    static const WindowTexts texts = [] {
        WindowTexts table{kLookupTextsSection, {}};
        for (const LookupTextEntry& e : kLookupTexts) table.texts.push_back({e.key, T::Value, 0, e.russian, e.english});
        return table;
    }();
    return texts;
}

const WindowTexts& SettingsFormMoreTexts() {
    static const WindowTexts texts{kSettingsMoreSection, {
        {"PageControl1", T::Tab, 3, "Названия", "Titles"},
        {"SourceGroup", T::Title, 0, "Поиск названий", "Title lookup"},
        {"LookupSourceLabel", T::Text, 0, "Искать названия:", "Look titles up with:"},
        {"LookupSourceBox", T::Item, 0, "Только CDDB", "CDDB only"},
        {"LookupSourceBox", T::Item, 1, "Только MusicBrainz", "MusicBrainz only"},
        {"LookupSourceBox", T::Item, 2, "MusicBrainz, затем CDDB", "MusicBrainz, then CDDB"},
        {"LookupSourceBox", T::Item, 3, "CDDB, затем MusicBrainz", "CDDB, then MusicBrainz"},
        {"MusicBrainzLabel", T::Text, 0, "Сервер MusicBrainz:", "MusicBrainz server:"},
        {"MusicBrainzEdit", T::ToolTip, 0, "Адрес сервера MusicBrainz; off - не обращаться к MusicBrainz",
         "The MusicBrainz server's address; off: MusicBrainz is not asked"},
        {"CddbEmailLabel", T::Text, 0, "E-mail для серверов CDDB:", "E-mail for CDDB servers:"},
        {"CddbEmailEdit", T::ToolTip, 0,
         "Серверы вроде gnudb отвечают только на адрес, зарегистрированный у них. Пусто - имя пользователя и компьютера",
         "Servers such as gnudb answer only to an address registered with them. Empty: the login and host names"},
        {"LookupOnInsertBox", T::Text, 0, "Искать названия нового диска сразу после вставки",
         "Look a new disc's titles up as soon as it is inserted"},
    }};
    return texts;
}

std::string WindowValue(const WindowTexts& table, const char* key, TLanguage& language, const std::string& languageName) {
    if (languageName != "Russian" && language.CurrentIndex() >= 0) {
        for (std::size_t i = 0; i < table.texts.size(); ++i) {
            if (std::string_view(table.texts[i].object) != key || table.texts[i].target != TextTarget::Value) continue;
            // An English file written before this window existed has no
            // section for it: the built-in English text stands in.
            if (!language.SeekSection(table.section)) {
                if (languageName == "English") return table.texts[i].english;
                break;
            }
            std::string text = language.GetText(static_cast<int>(i) + 2);
            if (!text.empty()) return text;
        }
    }
    return table.Russian(key);
}

std::vector<const WindowTexts*> AllWindowTexts() {
    return {&MainWindowTexts(),   &SettingsFormTexts(), &BurnFormTexts(),        &ConvertFormTexts(), &Id3FormTexts(),
            &CddbEditFormTexts(), &WriteSettingFormTexts(), &TrackPropFormTexts(), &ProgressFormTexts(), &ReadCommandFormTexts(), &OtherTexts(),
            &LookupTexts(),       &SettingsFormMoreTexts()};
}

}  // namespace sv
