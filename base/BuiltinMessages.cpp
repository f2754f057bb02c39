// The built-in message texts Rnn of the Russian and English language files.
#include "base/BuiltinMessages.h"

namespace sv {

const std::array<std::string_view, 100> kRussianMessages = {{
    "Уже сжат.",  // R00
    "Вы уверены, что вам хватит места на жестком диске?",  // R01
    "Невозможно получиь доступ к приводу.",  // R02
    "Не скопирован",  // R03
    "Cкопирован",  // R04
    "Сервер вернул не верный идентификатор диска.",  // R05
    "Не получилось установить соединение.",  // R06
    "В базе нет информации об этом диске.",  // R07
    "Не получилось установить соединение c сервером. Попробовать еще раз?",  // R08
    "Не получилось прочитать данные об этом диске.",  // R09
    "Кодирование в WMA невозможно т.к. кодер не установлен.",  // R10
    "Кодирование в OGG невозможно т.к. нет необходимых библиотек.",  // R11
    "Неиз.Исполнитель",  // R12
    "Неиз.Альбом",  // R13
    "Директории '%s' не существует. Выбирете другую папку.",  // R14
    "Программе не удалось узнать путь к плейеру из реестра. Хотите указать его в рyчную?",  // R15
    "Выбранный файл не является программой.",  // R16
    "Вы хотите прервать копироание ?",  // R17
    "Отменено",  // R18
    "копирование",  // R19
    "Скопирован",  // R20
    "Нельзя создать больше 10 конфигураций.",  // R21
    "Введите название конфигурации",  // R22
    "Данная конфигурация уже существует. Заменить?",  // R23
    "Что удалять будем?",  // R24
    "Удалить эту конфигурацию?",  // R25
    "Вы хотите останоить сжатие?",  // R26
    "сжатие",  // R27
    "%A - Исполнитель            %G - жанр",  // R28
    "%D - Название альбома       %Y - год",  // R29
    "%T - Название трека         %С - кол-во треков",  // R30
    "%N - Номер трека            %I - идентификатор диска",  // R31
    "Выберете папку с музыкой",  // R32
    "Неверная сторока формата имени файлов.",  // R33
    "Директории '%s' не существует. Создать?",  // R34
    "Битрейт: мин",  // R35
    "Формат",  // R36
    "Удалить альбом?",  // R37
    "Удалить все альбомы?",  // R38
    "Чтение CD-DA      :",  // R39
    "Чтение CD-R       :",  // R40
    "Чтение CD-RW      :",  // R41
    "Чтение мультисессионых CD:",  // R42
    "Чтение DVD-ROM    :",  // R43
    "Чтение DVD-R      :",  // R44
    "Чтение DVD-RAM    :",  // R45
    "Запись CD-R       :",  // R46
    "Запись CD-RW      :",  // R47
    "Запись DVD-R      :",  // R48
    "Запись DVD-RAM    :",  // R49
    "Тестовая запись   :",  // R50
    "Воспроизв. звука  :",  // R51
    "Возможность блокировки :",  // R52
    "Извлечение дисков :",  // R53
    "Размер буфера     :",  // R54
    "Привод :",  // R55
    "Выбирете верные данные",  // R56
    "Нет необходимой библиотеки mpegdec.dll",  // R57
    "Уже сжат",  // R58
    "Ждет начала",  // R59
    "Декодирование WMA файлов невозможно т.к. необходимый компонент не установлен.",  // R60
    "Ошибка открытия",  // R61
    "Ошибка: невозможно открыть файл для записи",  // R62
    "Ошибка декодирования",  // R63
    "Битрейт меньше заданного",  // R64
    "Конвертирование файлов",  // R65
    "Готово",  // R66
    "Произошла ошибка во время декодирования файла",  // R67
    "Остановить процесс?",  // R68
    "невозможно прочитать",  // R69
    "не содержит звука",  // R70
    "ошибка чтения",  // R71
    "Вставьте музыкальный диск и нажмите Ok.",  // R72
    "неудачно",  // R73
    "успешно",  // R74
    "Диск чист. Продолжить?",  // R75
    "Чистим диск ...",  // R76
    "Файл существует. Удалить его?",  // R77
    "Неполучилось открыть .cue файл для записи.",  // R78
    "Общее время не должно превышать 79 минут!  Продолжить?",  // R79
    "Добавьте файлы для записи!",  // R80
    "Начать запись?",  // R81
    "Не получилось настроить страницу режима записи!",  // R82
    "Невозможно записать таблицу размещения треков!",  // R83
    "Отмена?",  // R84
    "Не могу сохранить настройки!",  // R85
    "Тестовая запись ...",  // R86
    "Запись диска ...",  // R87
    "Запись OPC ...",  // R88
    "Запись Lead-Out ...",  // R89
    "Запись Lead-In ...",  // R90
    "Нет устройства вывода звука!",  // R91
    "Не удалось загрузить библиотеку WNASPI32.DLL  Переустановите  ASPI Manager!",  // R92
    "ASPI Manager для NT установлен не корректно!  Срочно переустановить!",  // R93
    "Программа не нашла устройство CDROM.  Переустановите ASPI Manager.",  // R94
    "Произвести полную чистку диска?",  // R95
    "Произвести быструю чистку диска?",  // R96
    "Исходный файл недоступен.",  // R97
    "Нету lame_enc.dll !",  // R98
    "Файл lame_enc.dll поврежден!",  // R99
}};

const std::array<std::string_view, 100> kEnglishMessages = {{
    "Already compressed.",  // R00
    "Are you sure there is enough space on the hard disk?",  // R01
    "Cannot access the drive.",  // R02
    "Not copied",  // R03
    "Copied",  // R04
    "The server returned a wrong disc identifier.",  // R05
    "Could not establish a connection.",  // R06
    "The database has no information about this disc.",  // R07
    "Could not connect to the server. Try again?",  // R08
    "Could not read the data about this disc.",  // R09
    "Encoding to WMA is impossible: the encoder is not installed.",  // R10
    "Encoding to OGG is impossible: the required libraries are missing.",  // R11
    "Unknown artist",  // R12
    "Unknown album",  // R13
    "The folder '%s' does not exist. Choose another folder.",  // R14
    "The program could not find the path to the player. Do you want to choose it yourself?",  // R15
    "The chosen file is not a program.",  // R16
    "Do you want to abort copying?",  // R17
    "Cancelled",  // R18
    "copying",  // R19
    "Copied",  // R20
    "You cannot create more than 10 profiles.",  // R21
    "Enter the profile name",  // R22
    "This profile already exists. Replace it?",  // R23
    "What shall we delete?",  // R24
    "Delete this profile?",  // R25
    "Do you want to stop compressing?",  // R26
    "compressing",  // R27
    "%A - Artist                 %G - genre",  // R28
    "%D - Album title            %Y - year",  // R29
    "%T - Track title            %C - track count",  // R30
    "%N - Track number           %I - disc identifier",  // R31
    "Choose the music folder",  // R32
    "Invalid file name format string.",  // R33
    "The folder '%s' does not exist. Create it?",  // R34
    "Bit rate: min",  // R35
    "Format",  // R36
    "Delete the album?",  // R37
    "Delete all albums?",  // R38
    "Reads CD-DA       :",  // R39
    "Reads CD-R        :",  // R40
    "Reads CD-RW       :",  // R41
    "Reads multisession CD:",  // R42
    "Reads DVD-ROM     :",  // R43
    "Reads DVD-R       :",  // R44
    "Reads DVD-RAM     :",  // R45
    "Writes CD-R       :",  // R46
    "Writes CD-RW      :",  // R47
    "Writes DVD-R      :",  // R48
    "Writes DVD-RAM    :",  // R49
    "Test writing      :",  // R50
    "Audio play        :",  // R51
    "Tray lock         :",  // R52
    "Disc eject        :",  // R53
    "Buffer size       :",  // R54
    "Drive :",  // R55
    "Choose valid data",  // R56
    "The MPEG audio decoder library (libmpg123) is missing",  // R57
    "Already compressed",  // R58
    "Waiting",  // R59
    "Decoding WMA files is impossible: the required component is not installed.",  // R60
    "Open error",  // R61
    "Error: cannot open the file for writing",  // R62
    "Decoding error",  // R63
    "Bit rate lower than requested",  // R64
    "Converting files",  // R65
    "Done",  // R66
    "An error occurred while decoding the file",  // R67
    "Stop the process?",  // R68
    "cannot be read",  // R69
    "contains no sound",  // R70
    "read error",  // R71
    "Insert an audio disc and press Ok.",  // R72
    "failed",  // R73
    "succeeded",  // R74
    "The disc is blank. Continue?",  // R75
    "Blanking the disc ...",  // R76
    "The file exists. Delete it?",  // R77
    "Could not open the .cue file for writing.",  // R78
    "The total time must not exceed 79 minutes! Continue?",  // R79
    "Add files to write!",  // R80
    "Start writing?",  // R81
    "Could not set the write mode page!",  // R82
    "Cannot write the table of contents!",  // R83
    "Cancel?",  // R84
    "Cannot save the settings!",  // R85
    "Test writing ...",  // R86
    "Writing the disc ...",  // R87
    "Writing OPC ...",  // R88
    "Writing the lead-out ...",  // R89
    "Writing the lead-in ...",  // R90
    "No sound output is available!",  // R91
    "Could not load the SCSI generic layer. Check the sg driver!",  // R92
    "The SCSI generic layer is not set up correctly!",  // R93
    "The program found no CD-ROM device.",  // R94
    "Blank the whole disc?",  // R95
    "Blank the disc quickly?",  // R96
    "The source file is not available.",  // R97
    "The LAME MP3 library (libmp3lame.so.0) is missing!",  // R98
    "The LAME MP3 library is damaged: an entry point is missing!",  // R99
}};

}  // namespace sv
