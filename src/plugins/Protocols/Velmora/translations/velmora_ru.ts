<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
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
        <source>When calling method &apos;getConfig&apos; error occurred in storage service</source>
        <translation>При вызове метода &apos;getConfig&apos; в службе хранения произошла ошибка</translation>
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
</TS>
