#pragma once

#include <QDockWidget>
#include <QString>
#include <QVariantList>

class Notification;
class QPlainTextEdit;
class Request;
class Response;

// Everything said between the workstation and the zones: requests, their
// results with the reply values, events and link changes, time-stamped.
class LogDock : public QDockWidget
{
    Q_OBJECT
public:
    static constexpr int MaxLines = 5000;

    explicit LogDock(QWidget* parent = nullptr);

    // "zone 12 \"Zarechny District\"" for a zone object.
    static QString zoneLabel(QObject* zone);
    // Values as the log prints them: numbers plain, text quoted, bytes in hex.
    static QString valuesText(const QVariantList& values);
    // "4609 >INV_STRAT (неправильный номер стратегии)", or "1 (unknown result code)".
    static QString resultCodeText(qint64 code);
    // The outcome of a finished response: transport error, or result code with
    // symbol and text, the reply code and the reply values.
    static QString resultText(const Response* response);
    // Event id with its name, its own time stamp and values.
    static QString eventText(const Notification* notification);
    // Command code and parameter of a request as it goes out.
    static QString requestText(const Request* request);

    QString text() const;

public slots:
    // typed is the command line as the user wrote it; the zone's own requests have none.
    void logRequest(QObject* zone, const Request* request, const QString& typed = QString());
    void logNotSent(QObject* zone, const QString& command, const QString& reason);
    void logResult(QObject* zone, const Response* response);
    void logEvent(QObject* zone, const Notification* notification);
    void logInfo(const QString& text);

private:
    void append(const QString& line);

    QPlainTextEdit* m_view;
};
