<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="ru_RU">
<context>
    <name>AreaEditDlg</name>
    <message>
        <source>Area edit</source>
        <translation>Редактирование района</translation>
    </message>
    <message>
        <source>Area id:</source>
        <translation>Номер района:</translation>
    </message>
    <message>
        <source>Area name:</source>
        <translation>Название района:</translation>
    </message>
    <message>
        <source>Controllers</source>
        <translation>Контроллеры</translation>
    </message>
    <message>
        <source>Create from map</source>
        <translation>Создать по карте</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Добавить</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Удалить</translation>
    </message>
    <message>
        <source>State of controllers</source>
        <translation>Состояния контроллеров</translation>
    </message>
    <message>
        <source>Day cards</source>
        <translation>Суточные карты</translation>
    </message>
    <message>
        <source>Special days</source>
        <translation>Особые дни</translation>
    </message>
    <message>
        <source>weekly schedule:</source>
        <translation>недельное расписание:</translation>
    </message>
    <message>
        <source>Day card</source>
        <translation>Суточная карта</translation>
    </message>
    <message>
        <source>Monday</source>
        <translation>Понедельник</translation>
    </message>
    <message>
        <source>Tuesday</source>
        <translation>Вторник</translation>
    </message>
    <message>
        <source>Wednesday</source>
        <translation>Среда</translation>
    </message>
    <message>
        <source>Thursday</source>
        <translation>Четверг</translation>
    </message>
    <message>
        <source>Friday</source>
        <translation>Пятница</translation>
    </message>
    <message>
        <source>Saturday</source>
        <translation>Суббота</translation>
    </message>
    <message>
        <source>Sunday</source>
        <translation>Воскресенье</translation>
    </message>
    <message>
        <source>Edit geometry</source>
        <translation>Изменить контур</translation>
    </message>
    <message>
        <source>Load TRANSYT report ...</source>
        <translation>Загрузить отчёт TRANSYT ...</translation>
    </message>
    <message>
        <source>Area creation</source>
        <translation>Создание района</translation>
    </message>
    <message>
        <source>end creation</source>
        <translation>завершить создание</translation>
    </message>
    <message>
        <source>end edit</source>
        <translation>завершить изменение</translation>
    </message>
    <message>
        <source>Another area of the zone has the id %1</source>
        <translation>Другой район зоны уже имеет номер %1</translation>
    </message>
    <message>
        <source>The area has no name</source>
        <translation>У района нет названия</translation>
    </message>
    <message>
        <source>Changes</source>
        <translation>Изменения</translation>
    </message>
    <message>
        <source>List what this edit changes in the area</source>
        <translation>Показать, что эта правка изменит в районе</translation>
    </message>
    <message>
        <source>No changes.</source>
        <translation>Изменений нет.</translation>
    </message>
    <message>
        <source>Discard changes to area %1 &quot;%2&quot;?</source>
        <translation>Отменить изменения района %1 «%2»?</translation>
    </message>
</context>
<context>
    <name>ControllersStateEditdlg</name>
    <message>
        <source>Controllers state edit</source>
        <translation>Редактирование состояния контроллеров</translation>
    </message>
    <message>
        <source>State id:</source>
        <translation>Номер состояния:</translation>
    </message>
    <message>
        <source>State name:</source>
        <translation>Название состояния:</translation>
    </message>
    <message>
        <source>Controller</source>
        <translation>Контроллер</translation>
    </message>
    <message>
        <source>Special state</source>
        <translation>Особое состояние</translation>
    </message>
    <message>
        <source>Program</source>
        <translation>Программа</translation>
    </message>
    <message>
        <source>Special program</source>
        <translation>Особая программа</translation>
    </message>
    <message>
        <source>local control</source>
        <translation>локальное управление</translation>
    </message>
    <message>
        <source>yellow flashing</source>
        <translation>жёлтое мигание</translation>
    </message>
    <message>
        <source>off</source>
        <translation>выключен</translation>
    </message>
    <message>
        <source>defined</source>
        <translation>задана</translation>
    </message>
    <message>
        <source>Change</source>
        <translation>Изменить</translation>
    </message>
    <message>
        <source>Change local</source>
        <translation>Изменить локальную</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Предупреждение</translation>
    </message>
    <message>
        <source>RPC Object connected</source>
        <translation>RPC-объект подключён</translation>
    </message>
    <message>
        <source>RPC Object disconnected</source>
        <translation>RPC-объект отключён</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Ошибка</translation>
    </message>
    <message>
        <source>Error creating temporary file</source>
        <translation>Ошибка создания временного файла</translation>
    </message>
    <message>
        <source>Error open result file</source>
        <translation>Ошибка открытия файла результата</translation>
    </message>
    <message>
        <source>When calling method 'getConfig' error occurred in storage service</source>
        <translation>При вызове метода 'getConfig' в службе хранения произошла ошибка</translation>
    </message>
    <message>
        <source>Storage service return empty data</source>
        <translation>Служба хранения вернула пустые данные</translation>
    </message>
    <message>
        <source>The program editor morvix was not found. It was looked for in the application&apos;s folder and then in each folder of PATH:
%1</source>
        <translation>Редактор программ morvix не найден. Его искали в папке приложения, затем в каждой папке PATH:
%1</translation>
    </message>
    <message>
        <source>Controller %1</source>
        <translation>Контроллер %1</translation>
    </message>
    <message>
        <source>Controller %1 &quot;%2&quot;</source>
        <translation>Контроллер %1 «%2»</translation>
    </message>
    <message>
        <source>Special state: %1</source>
        <translation>Особое состояние: %1</translation>
    </message>
    <message>
        <source>Runs its signal program %1</source>
        <translation>Работает по сигнальной программе %1</translation>
    </message>
    <message>
        <source>Runs the special program of this state</source>
        <translation>Работает по особой программе этого состояния</translation>
    </message>
    <message>
        <source>No special state, program or special program chosen</source>
        <translation>Не выбраны ни особое состояние, ни программа, ни особая программа</translation>
    </message>
    <message>
        <source>elements nested deeper than %1 levels (line %2)</source>
        <translation>элементы вложены глубже %1 уровней (строка %2)</translation>
    </message>
    <message>
        <source>%1 (line %2, column %3)</source>
        <translation>%1 (строка %2, столбец %3)</translation>
    </message>
    <message>
        <source>its root element is %1, not Program</source>
        <translation>его корневой элемент %1, а не Program</translation>
    </message>
    <message>
        <source>The program editor saved %1 bytes, more than a special program can hold (%2 bytes). Nothing was changed.</source>
        <translation>Редактор программ сохранил %1 байт, больше, чем может занимать специальная программа (%2 байт). Ничего не изменено.</translation>
    </message>
    <message>
        <source>more than %1 bytes</source>
        <translation>больше %1 байт</translation>
    </message>
    <message>
        <source>The program editor saved no special program: %1. Nothing was changed.</source>
        <translation>Редактор программ сохранил не специальную программу: %1. Ничего не изменено.</translation>
    </message>
    <message>
        <source>Another state of the area has the id %1</source>
        <translation>У другого состояния района уже есть номер %1</translation>
    </message>
    <message>
        <source>The state has no name</source>
        <translation>У состояния нет названия</translation>
    </message>
</context>
<context>
    <name>Velmora::Editors::ProgramEditorRun</name>
    <message>
        <source>Program editor</source>
        <translation>Редактор программ</translation>
    </message>
    <message>
        <source>Waiting for the program editor…</source>
        <translation>Ожидание редактора программ…</translation>
    </message>
    <message>
        <source>The program editor %1 could not be started: %2</source>
        <translation>Не удалось запустить редактор программ %1: %2</translation>
    </message>
    <message>
        <source>The program editor %1 crashed. Nothing was changed.</source>
        <translation>Редактор программ %1 завершился аварийно. Ничего не изменено.</translation>
    </message>
    <message>
        <source>The program editor %1 ended with error status %2. Nothing was changed.</source>
        <translation>Редактор программ %1 завершился с кодом ошибки %2. Ничего не изменено.</translation>
    </message>
</context>
<context>
    <name>DaycardEditDlg</name>
    <message>
        <source>Day card edit</source>
        <translation>Редактирование суточной карты</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Время</translation>
    </message>
    <message>
        <source>Strategy</source>
        <translation>Стратегия</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Добавить</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Удалить</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Состояние</translation>
    </message>
    <message>
        <source>Row %1 has no state</source>
        <translation>В строке %1 не выбрано состояние</translation>
    </message>
    <message>
        <source>Row %1 has no strategy</source>
        <translation>В строке %1 не выбрана стратегия</translation>
    </message>
    <message>
        <source>Row %1: there is no state %2</source>
        <translation>Строка %1: состояния %2 нет</translation>
    </message>
    <message>
        <source>Row %1: there is no strategy %2</source>
        <translation>Строка %1: стратегии %2 нет</translation>
    </message>
    <message>
        <source>Row %1: &quot;%2&quot; is no time of day</source>
        <translation>Строка %1: «%2» — не время суток</translation>
    </message>
    <message>
        <source>The card has no switching points</source>
        <translation>В карте нет ни одной точки переключения</translation>
    </message>
</context>
<context>
    <name>KmlImportDlg</name>
    <message>
        <source>Kml import</source>
        <translation>Импорт KML</translation>
    </message>
    <message>
        <source>Replace names</source>
        <translation>Заменить названия</translation>
    </message>
    <message>
        <source>Item name</source>
        <translation>Название объекта</translation>
    </message>
    <message>
        <source>Item type</source>
        <translation>Тип объекта</translation>
    </message>
    <message>
        <source>Kml area</source>
        <translation>Область KML</translation>
    </message>
    <message>
        <source>Kml areas:</source>
        <translation>Области KML:</translation>
    </message>
    <message>
        <source>Error open kml file: %1</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1 is larger than %2 MiB, the most a KML import reads.</source>
        <translation>Файл %1 больше %2 МиБ — это наибольший размер, который читает импорт KML.</translation>
    </message>
    <message>
        <source>Error writing kml file %1: %2</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Select kml file</source>
        <translation>Выберите файл KML</translation>
    </message>
    <message>
        <source>Kml files (*.kml)</source>
        <translation>Файлы KML (*.kml)</translation>
    </message>
    <message>
        <source>Error processing file %1 (%2:%3): %4</source>
        <translation>Ошибка обработки файла %1 (%2:%3): %4</translation>
    </message>
    <message>
        <source>zone</source>
        <translation>зона</translation>
    </message>
    <message>
        <source>area</source>
        <translation>район</translation>
    </message>
    <message>
        <source>not using</source>
        <translation>не использовать</translation>
    </message>
    <message>
        <source>Cannot export %1: the name "%2" holds the character U+%3, which KML cannot carry</source>
        <translation>Невозможно экспортировать %1: название "%2" содержит символ U+%3, который нельзя записать в KML</translation>
    </message>
</context>
<context>
    <name>SpecialDayEditdlg</name>
    <message>
        <source>Special day edit</source>
        <translation>Редактирование особого дня</translation>
    </message>
    <message>
        <source>Date:</source>
        <translation>Дата:</translation>
    </message>
    <message>
        <source>repeat every year</source>
        <translation>повторять каждый год</translation>
    </message>
    <message>
        <source>Day card</source>
        <translation>Суточная карта</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is no date; pick the day</source>
        <translation>«%1» — не дата; выберите день</translation>
    </message>
</context>
<context>
    <name>StratEditDlg</name>
    <message>
        <source>Strategy edit</source>
        <translation>Редактирование стратегии</translation>
    </message>
    <message>
        <source>Strategy id:</source>
        <translation>Номер стратегии:</translation>
    </message>
    <message>
        <source>Strategy name:</source>
        <translation>Название стратегии:</translation>
    </message>
    <message>
        <source>Area</source>
        <translation>Район</translation>
    </message>
    <message>
        <source>Used</source>
        <translation>Используется</translation>
    </message>
    <message>
        <source>Control source</source>
        <translation>Источник управления</translation>
    </message>
    <message>
        <source>calendar</source>
        <translation>календарь</translation>
    </message>
    <message>
        <source>adaptive system</source>
        <translation>адаптивная система</translation>
    </message>
    <message>
        <source>local control</source>
        <translation>локальное управление</translation>
    </message>
    <message>
        <source>This strategy drives area %1</source>
        <translation>Эта стратегия управляет районом %1</translation>
    </message>
    <message>
        <source>This strategy leaves area %1 alone</source>
        <translation>Эта стратегия не управляет районом %1</translation>
    </message>
    <message>
        <source>Area %1 has no known control source</source>
        <translation>У района %1 неизвестный источник управления</translation>
    </message>
    <message>
        <source>The strategy uses no area</source>
        <translation>Стратегия не использует ни одного района</translation>
    </message>
    <message>
        <source>Another strategy of the zone has the id %1</source>
        <translation>Другая стратегия зоны уже имеет номер %1</translation>
    </message>
    <message>
        <source>The strategy has no name</source>
        <translation>У стратегии нет названия</translation>
    </message>
</context>
<context>
    <name>TolImportDlg</name>
    <message>
        <source>Import report data</source>
        <translation>Импорт данных отчёта</translation>
    </message>
    <message>
        <source>Select transyt report</source>
        <translation>Выберите отчёт TRANSYT</translation>
    </message>
    <message>
        <source>HTML files (*.html *.htm)</source>
        <translation>Файлы HTML (*.html *.htm)</translation>
    </message>
    <message>
        <source>output xml parsing error (line %1,column %2): %3</source>
        <translation>ошибка разбора выходного XML (строка %1, столбец %2): %3</translation>
    </message>
</context>
<context>
    <name>Velmora::Plugin</name>
    <message>
        <source>Select file for save</source>
        <translation>Выберите файл для сохранения</translation>
    </message>
    <message>
        <source>zone configuration files (*.xtsc)</source>
        <translation>файлы конфигурации зоны (*.xtsc)</translation>
    </message>
    <message>
        <source>Cannot open file %1 for writing</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Error</source>
        <translation>Ошибка</translation>
    </message>
    <message>
        <source>The zone could not be saved to %1: %2
Choose another file to keep your changes.</source>
        <translation>Не удалось сохранить зону в %1: %2
Выберите другой файл, чтобы сохранить изменения.</translation>
    </message>
    <message>
        <source>Zone name "%1" is no file name: nothing written to %2</source>
        <translation>Название зоны "%1" не годится как имя файла: в %2 ничего не записано</translation>
    </message>
    <message>
        <source>The zone name "%1" cannot be a file name.
Choose the file to save the zone to.</source>
        <translation>Название зоны "%1" не может быть именем файла.
Выберите файл для сохранения зоны.</translation>
    </message>
</context>
<context>
    <name>ZoneEditDlg</name>
    <message>
        <source>Zone edit</source>
        <translation>Редактирование зоны</translation>
    </message>
    <message>
        <source>Zone id:</source>
        <translation>Номер зоны:</translation>
    </message>
    <message>
        <source>Zone name:</source>
        <translation>Название зоны:</translation>
    </message>
    <message>
        <source>Areas:</source>
        <translation>Районы:</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Добавить</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Удалить</translation>
    </message>
    <message>
        <source>Strategies:</source>
        <translation>Стратегии:</translation>
    </message>
    <message>
        <source>id</source>
        <translation>номер</translation>
    </message>
    <message>
        <source>name</source>
        <translation>название</translation>
    </message>
    <message>
        <source>default</source>
        <translation>по умолчанию</translation>
    </message>
    <message>
        <source>Day cards:</source>
        <translation>Суточные карты:</translation>
    </message>
    <message>
        <source>weekly schedule:</source>
        <translation>недельное расписание:</translation>
    </message>
    <message>
        <source>Day card</source>
        <translation>Суточная карта</translation>
    </message>
    <message>
        <source>Monday</source>
        <translation>Понедельник</translation>
    </message>
    <message>
        <source>Tuesday</source>
        <translation>Вторник</translation>
    </message>
    <message>
        <source>Wednesday</source>
        <translation>Среда</translation>
    </message>
    <message>
        <source>Thursday</source>
        <translation>Четверг</translation>
    </message>
    <message>
        <source>Friday</source>
        <translation>Пятница</translation>
    </message>
    <message>
        <source>Saturday</source>
        <translation>Суббота</translation>
    </message>
    <message>
        <source>Sunday</source>
        <translation>Воскресенье</translation>
    </message>
    <message>
        <source>Edit geometry</source>
        <translation>Изменить контур</translation>
    </message>
    <message>
        <source>Import kml ...</source>
        <translation>Импорт KML ...</translation>
    </message>
    <message>
        <source>Export kml ...</source>
        <translation>Экспорт KML ...</translation>
    </message>
    <message>
        <source>Error opening file %1: %2</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Error processing file %1 (%2:%3): %4</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>end edit</source>
        <translation>завершить изменение</translation>
    </message>
    <message>
        <source>Check</source>
        <translation>Проверить</translation>
    </message>
    <message>
        <source>List what the configuration refers to but lacks, repeats or gets wrong</source>
        <translation>Показать, на что конфигурация ссылается без цели, что повторяет или задаёт неверно</translation>
    </message>
    <message>
        <source>Discard changes to zone %1 &quot;%2&quot;?</source>
        <translation>Отменить изменения зоны %1 «%2»?</translation>
    </message>
    <message>
        <source>The zone has no name</source>
        <translation>У зоны нет названия</translation>
    </message>
    <message>
        <source>The file %1 cannot be read: %2</source>
        <translation>Не удаётся прочитать файл %1: %2</translation>
    </message>
    <message>
        <source>Changes</source>
        <translation>Изменения</translation>
    </message>
    <message>
        <source>No changes.</source>
        <translation>Изменений нет.</translation>
    </message>
    <message>
        <source>List what saving changes in the file on disk</source>
        <translation>Показать, что сохранение изменит в файле на диске</translation>
    </message>
</context>
<context>
    <name>Velmora::Editors::StrategyTable</name>
    <message>
        <source>The zone&apos;s default strategy</source>
        <translation>Стратегия зоны по умолчанию</translation>
    </message>
    <message>
        <source>Not the default strategy</source>
        <translation>Не стратегия по умолчанию</translation>
    </message>
    <message>
        <source>No strategy</source>
        <translation>Нет ни одной стратегии</translation>
    </message>
    <message>
        <source>No default strategy</source>
        <translation>Нет стратегии по умолчанию</translation>
    </message>
</context>
<context>
    <name>Velmora::Editors::ZoneKml</name>
    <message>
        <source>Error</source>
        <translation>Ошибка</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Предупреждение</translation>
    </message>
    <message>
        <source>These names in the KML file hold characters a zone file cannot carry and were not taken: %1</source>
        <translation>Эти названия из файла KML содержат символы, которые нельзя записать в файл зоны, и не приняты: %1</translation>
    </message>
</context>
<context>
    <name>Velmora::Editors::FindingsWindow</name>
    <message>
        <source>Check</source>
        <translation>Проверить</translation>
    </message>
    <message>
        <source>error</source>
        <translation>ошибка</translation>
    </message>
    <message>
        <source>warning</source>
        <translation>предупреждение</translation>
    </message>
    <message>
        <source>%1: %2 (line %3)</source>
        <translation>%1: %2 (строка %3)</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>No faults found.</source>
        <translation>Ошибок не найдено.</translation>
    </message>
</context>
<context>
    <name>Velmora::Editors::CalendarEditor</name>
    <message>
        <source>use for whole week</source>
        <translation>использовать на всю неделю</translation>
    </message>
</context>
<context>
    <name>Velmora::Editors</name>
    <message>
        <source>The name holds the character %1, which a zone file cannot carry.</source>
        <translation>Название содержит символ %1, который нельзя записать в файл зоны.</translation>
    </message>
    <message>
        <source>Discard changes</source>
        <translation>Отменить изменения</translation>
    </message>
    <message>
        <source>Discard</source>
        <translation>Отменить</translation>
    </message>
    <message>
        <source>Keep editing</source>
        <translation>Продолжить редактирование</translation>
    </message>
    <message>
        <source>File changed</source>
        <translation>Файл изменён</translation>
    </message>
    <message>
        <source>The file %1 was deleted after this editor opened it.</source>
        <translation>Файл %1 удалён после того, как редактор его открыл.</translation>
    </message>
    <message>
        <source>Save anyway writes it again.</source>
        <translation>«Всё равно сохранить» запишет его заново.</translation>
    </message>
    <message>
        <source>The file %1 was saved by someone else after this editor opened it.</source>
        <translation>Файл %1 сохранён кем-то другим после того, как редактор его открыл.</translation>
    </message>
    <message>
        <source>The other save changed only the file&apos;s layout.</source>
        <translation>Другое сохранение изменило только оформление файла.</translation>
    </message>
    <message>
        <source>The other save changed:
%1

Save anyway replaces these changes; the other version is kept as the backup file.</source>
        <translation>Другое сохранение изменило:
%1

«Всё равно сохранить» заменит эти изменения; другая версия сохранится как резервная копия.</translation>
    </message>
    <message>
        <source>Save anyway</source>
        <translation>Всё равно сохранить</translation>
    </message>
    <message>
        <source>Back to editing</source>
        <translation>Вернуться к редактированию</translation>
    </message>
    <message>
        <source>%1 has no day card</source>
        <translation>%1: нет карты дня</translation>
    </message>
    <message>
        <source>%1 have no day card</source>
        <translation>%1: нет карты дня</translation>
    </message>
</context>
<context>
    <name>Velmora::ConfigChecker</name>
    <message>
        <source>No strategy uses %1, so the zone never controls it.</source>
        <translation>Ни одна стратегия не использует %1, поэтому зона им никогда не управляет.</translation>
    </message>
    <message>
        <source>Controller %1 is in no area, so no area state or strategy ever reaches it.</source>
        <translation>Контроллер %1 не входит ни в один район, поэтому до него не доходят ни состояния районов, ни стратегии.</translation>
    </message>
    <message>
        <source>Strategy %1 names area %2 twice (first on line %3); the later control source counts.</source>
        <translation>Стратегия %1 дважды называет район %2 (первый раз в строке %3); действует последний источник управления.</translation>
    </message>
    <message>
        <source>No strategy is marked default; strategy %1, the first, stands in, but the zone editor accepts no zone without a default.</source>
        <translation>Ни одна стратегия не отмечена как стратегия по умолчанию; её заменяет первая, стратегия %1, но редактор зоны не принимает зону без стратегии по умолчанию.</translation>
    </message>
    <message>
        <source>Controller %1 is in %2 and in %3 (line %4); a controller belongs to one area.</source>
        <translation>Контроллер %1 входит и в %2, и в %3 (строка %4); контроллер принадлежит только одному району.</translation>
    </message>
    <message>
        <source>controller %1 in %2</source>
        <translation>контроллера %1 в %2</translation>
    </message>
    <message>
        <source>phase number %1</source>
        <translation>фаза номер %1</translation>
    </message>
    <message>
        <source>phase %1</source>
        <translation>фаза %1</translation>
    </message>
    <message>
        <source>The program of %1 starts %2 at %3, outside its cycle of %4 (0 to %5).</source>
        <translation>В программе %1 %2 начинается в %3, вне цикла длиной %4 (от 0 до %5).</translation>
    </message>
    <message>
        <source>In the program of %1, %2 has no intergreen after it: its full length equals its length (%3).</source>
        <translation>В программе %1 %2 не имеет промежуточного такта после себя: её полная длительность равна длительности (%3).</translation>
    </message>
    <message>
        <source>The phases of the program of %1 take %2 with their intergreens, more than its cycle of %3.</source>
        <translation>Фазы программы %1 вместе с промежуточными тактами занимают %2, больше цикла длиной %3.</translation>
    </message>
    <message>
        <source>%1 runs controller %2 on a cycle of %3 and controller %4 on one of %5, which are not whole multiples of each other, so they cannot stay coordinated.</source>
        <translation>%1 задаёт контроллеру %2 цикл %3, а контроллеру %4 — цикл %5; они не кратны друг другу, поэтому координация невозможна.</translation>
    </message>
    <message>
        <source>The outline of %1 overlaps that of %2 by %3 % of its own area and %4 % of %2&apos;s.</source>
        <translation>Контур %1 перекрывает контур %2 на %3 % своей площади и на %4 % площади %2.</translation>
    </message>
    <message>
        <source>The outline of %1 lies %2 % outside the zone&apos;s outline.</source>
        <translation>Контур %1 на %2 % лежит вне контура зоны.</translation>
    </message>
</context>
</TS>
