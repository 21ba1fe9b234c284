#include "DomText.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <algorithm>

QString describe(const QDomElement& element)
{
    QStringList parts{element.tagName()};
    const QDomNamedNodeMap map = element.attributes();
    for (int i = 0; i < map.count(); ++i)
        parts << map.item(i).nodeName() + QLatin1Char('=') + map.item(i).nodeValue();
    std::sort(parts.begin() + 1, parts.end());
    for (QDomNode node = element.firstChild(); !node.isNull(); node = node.nextSibling()) {
        if (node.isText() && !node.nodeValue().trimmed().isEmpty())
            parts << QLatin1Char('\'') + node.nodeValue() + QLatin1Char('\'');
        else if (node.isElement())
            parts << QLatin1Char('[') + describe(node.toElement()) + QLatin1Char(']');
    }
    return parts.join(QLatin1Char(' '));
}

QString describeXml(const QByteArray& xml)
{
    QDomDocument document;
    return document.setContent(xml) ? describe(document.documentElement()) : QStringLiteral("(not XML)");
}

QDomElement parseXml(QDomDocument* document, const QString& xml)
{
    QString error;
    int line = 0;
    if (!document->setContent(xml, &error, &line))
        qFatal("bad test XML, line %d: %s", line, qPrintable(error));
    return document->documentElement();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

bool replaceFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}
