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
        <source>use for whole week</source>
        <translation>использовать на всю неделю</translation>
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
        <source>The program editor %1 could not be started: %2</source>
        <translation>Не удалось запустить редактор программ %1: %2</translation>
    </message>
    <message>
        <source>The program editor %1 crashed</source>
        <translation>Редактор программ %1 завершился аварийно</translation>
    </message>
    <message>
        <source>The program editor %1 exited with status %2</source>
        <translation>Редактор программ %1 завершился с кодом %2</translation>
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
        <source>invalid kml file</source>
        <translation type="unfinished" />
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
        <source>use for whole week</source>
        <translation>использовать на всю неделю</translation>
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
</TS>