#pragma once

#include <QDockWidget>
#include <QString>
#include <QVariantList>

#include "LogModel.h"

class Notification;
class QTreeView;
class Request;
class Response;

namespace Velmora {

// Everything said between the workstation and the zones: requests, their
// results with the reply values, events and link changes. Commands and
// replies by name, results and codes in words with the code beside them, the
// protocol's own (Russian) wording in the tool tip; failures in red. Each line
// has this computer's time and, for replies and events, the service's.
class LogDock : public QDockWidget
{
    Q_OBJECT
public:
    static constexpr int MaxLines = LogModel::MaxLines;

    explicit LogDock(QWidget* parent = nullptr);

    // "zone 12 \"Zarechny District\"" for a zone object.
    static QString zoneLabel(QObject* zone);
    // Values as the log prints them: numbers plain, text quoted, bytes in hex.
    static QString valuesText(const QVariantList& values);
    // "no such strategy (>INV_STRAT 4609)", or "unknown result (1)".
    static QString resultCodeText(qint64 code);
    // The outcome of a finished response in words: the reply's name, whether
    // it succeeded, and its values; a STATE reply decoded, with the zone's
    // strategy and area names when the zone is given.
    static QString resultText(const Response* response, QObject* zone = nullptr);
    // The protocol row's own text for the response's result.
    static QString resultOriginal(const Response* response);
    static bool isFailure(const Response* response);
    // The service's time stamp on a reply; invalid for a failed or short one.
    static QDateTime replyStamp(const Response* response);
    // Event id with its name and values in words.
    static QString eventText(const Notification* notification);
    // Command name, its parameters by name, and what it does.
    static QString requestText(const Request* request);
    // The decoded STATE reply: zone control source, strategy, each area's state.
    static QString stateText(const QVariantList& values, QObject* zone);

    LogModel* model() const;
    QTreeView* view() const;
    // Every line, those still waiting for the view included.
    QString text() const;

public slots:
    // typed is the command line as the user wrote it; the zone's own requests have none.
    void logRequest(QObject* zone, const Request* request, const QString& typed = QString());
    void logNotSent(QObject* zone, const QString& command, const QString& reason);
    void logResult(QObject* zone, const Response* response);
    // A request that will get no reply: the link went down while it waited.
    void logNoReply(QObject* zone, const Response* response);
    void logEvent(QObject* zone, const Notification* notification);
    void logInfo(const QString& text);
    void logFailure(const QString& text);

private:
    void append(LogEntry entry);
    void followEnd();
    QString zoneColumnText(QObject* zone);

    LogModel* m_model;
    QTreeView* m_view;
    bool m_atEnd = true;
    // The zone column's text of the last zone logged, by its id.
    int m_labelledZoneId = 0;
    QString m_zoneColumnText;
};

} // namespace Velmora
