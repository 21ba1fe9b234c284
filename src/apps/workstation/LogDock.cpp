#include "LogDock.h"

#include "Velmora/format/Protocol.h"

#include <QDateTime>
#include <QFont>
#include <QFontDatabase>
#include <QPlainTextEdit>

#include "semtra/Notification.h"
#include "semtra/Request.h"
#include "semtra/Response.h"

namespace {

namespace Protocol = Velmora::Protocol;

// Names are the protocol's own wording, as the operators know them.
QString eventName(int id)
{
    const Protocol::EventRow* row = Protocol::findEvent(id);
    return row ? QString::fromUtf8(row->name) : LogDock::tr("unknown event");
}

} // namespace

LogDock::LogDock(QWidget* parent)
    : QDockWidget(tr("Log"), parent)
    , m_view(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("LogDock"));
    m_view->setReadOnly(true);
    m_view->setMaximumBlockCount(MaxLines);
    m_view->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setWidget(m_view);
}

QString LogDock::zoneLabel(QObject* zone)
{
    if (!zone)
        return tr("no zone");
    return tr("zone %1 \"%2\"").arg(zone->property("id").toInt()).arg(zone->property("name").toString());
}

QString LogDock::valuesText(const QVariantList& values)
{
    QStringList texts;
    for (const QVariant& value : values) {
        switch (int(value.type())) {
        case QMetaType::QString:
            texts << QLatin1Char('"') + value.toString() + QLatin1Char('"');
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            // Long blobs (configurations, programs) would flood the log.
            const QByteArray shown = bytes.left(32).toHex(' ');
            texts << QStringLiteral("#%1%2 (%3 bytes)")
                         .arg(QString::fromLatin1(shown), bytes.size() > 32 ? QStringLiteral(" …") : QString())
                         .arg(bytes.size());
            break;
        }
        default:
            texts << value.toString();
        }
    }
    return texts.join(QLatin1String(", "));
}

QString LogDock::resultCodeText(qint64 code)
{
    const Protocol::ResultRow* row = Protocol::findResult(code);
    if (!row)
        return tr("%1 (unknown result code)").arg(code);
    return QStringLiteral("%1 %2 (%3)").arg(code).arg(QString::fromUtf8(row->symbol), QString::fromUtf8(row->text));
}

QString LogDock::resultText(const Response* response)
{
    if (!response)
        return tr("no response");
    if (response->error() != 0)
        return tr("failed: %1").arg(resultCodeText(response->error()));
    const qint64 result = response->resultCode();
    if (result < 0)
        return tr("reply without a head (%1 bytes): %2")
            .arg(response->reply().size())
            .arg(QString::fromLatin1(response->reply().toHex(' ')));
    QString text = tr("result %1, reply %2").arg(resultCodeText(result)).arg(response->replyCode());
    const QVariantList values = response->data();
    if (!values.isEmpty())
        text += tr(": %1").arg(valuesText(values));
    return text;
}

QString LogDock::eventText(const Notification* notification)
{
    if (!notification)
        return tr("no event");
    const QDateTime stamp = notification->timeStamp();
    return tr("event %1 (%2) at %3: %4")
        .arg(notification->id())
        .arg(eventName(notification->id()))
        .arg(stamp.isValid() ? stamp.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : tr("no time"))
        .arg(valuesText(notification->data()));
}

QString LogDock::requestText(const Request* request)
{
    if (!request)
        return tr("no request");
    const QVariant param = request->param();
    QString text = tr("code %1").arg(request->command().toString());
    if (param.type() == QVariant::List)
        text += tr(": %1").arg(valuesText(param.toList()));
    else if (param.isValid())
        text += tr(": %1").arg(valuesText({param}));
    return text;
}

QString LogDock::text() const
{
    return m_view->toPlainText();
}

void LogDock::logRequest(QObject* zone, const Request* request, const QString& typed)
{
    if (!request)
        return;
    const QString what = typed.isEmpty() ? requestText(request) : tr("%1 (%2)").arg(typed, requestText(request));
    append(tr("#%1 %2 → %3").arg(request->number()).arg(zoneLabel(zone), what));
}

void LogDock::logNotSent(QObject* zone, const QString& command, const QString& reason)
{
    append(tr("%1 %2 not sent: %3").arg(zoneLabel(zone), command, reason));
}

void LogDock::logResult(QObject* zone, const Response* response)
{
    const int number = response && response->request() ? response->request()->number() : 0;
    append(tr("#%1 %2 ← %3").arg(number).arg(zoneLabel(zone), resultText(response)));
}

void LogDock::logEvent(QObject* zone, const Notification* notification)
{
    append(tr("%1 %2").arg(zoneLabel(zone), eventText(notification)));
}

void LogDock::logInfo(const QString& text)
{
    append(text);
}

void LogDock::append(const QString& line)
{
    m_view->appendPlainText(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz ")) + line);
}
