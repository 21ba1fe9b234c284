#pragma once

#include <QByteArray>
#include <QDomDocument>
#include <QDomElement>
#include <QString>

// An element as one line, "Tag a=1 b=2 'text' [Child ...]": attributes sorted
// (QDom keeps no order) and blank text left out, so that two elements compare
// by content and a mismatch shows where.
QString describe(const QDomElement& element);
// The same for XML text; "(not XML)" when it does not parse.
QString describeXml(const QByteArray& xml);
// The root element of `xml`, kept by `document`; bad test XML ends the program.
QDomElement parseXml(QDomDocument* document, const QString& xml);

// A file's bytes, empty when it cannot be read.
QByteArray readFile(const QString& path);
// Replaces a file's content; false when it cannot be written.
bool writeFile(const QString& path, const QByteArray& bytes);
// The same as most editors save: a new file renamed onto the old one.
bool replaceFile(const QString& path, const QByteArray& bytes);
